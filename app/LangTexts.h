#pragma once
// The messages the program shows beyond the language pack's first keys, each
// under a key of its own with the English a pack without it gives.  What
// comes after them (a path, the system's reason) is shown as it comes.
#include "platform/Texts.h"

namespace lang {

inline constexpr plat::LangText kCompareOpenFailed{"IDS_COMPARE_OPEN_FAILED",
                                                   "The comparison window could not be opened."};
inline constexpr plat::LangText kFolderOpenFailed{"IDS_FOLDER_OPEN_FAILED", "The customer's folder cannot be opened:"};
inline constexpr plat::LangText kNoFileManager{"IDS_NO_FILE_MANAGER", "No file manager could be started for"};
inline constexpr plat::LangText kFolderNotCustomers{"IDS_FOLDER_NOT_CUSTOMERS",
                                                    "The folder is not one of the image folder's customer folders."};
inline constexpr plat::LangText kFolderNotMade{"IDS_FOLDER_NOT_MADE", "The folder could not be made:"};
inline constexpr plat::LangText kFolderIsFile{"IDS_FOLDER_IS_FILE", "The path names a file, not a folder."};
inline constexpr plat::LangText kFolderOutside{"IDS_FOLDER_OUTSIDE", "The folder lies outside the image folder."};
inline constexpr plat::LangText kSnapshotFailed{"IDS_SNAPSHOT_FAILED", "The snapshot could not be saved:"};
inline constexpr plat::LangText kPathTooLong{"IDS_PATH_TOO_LONG", "The path is too long."};
inline constexpr plat::LangText kNoPicture{"IDS_NO_PICTURE", "There is no picture."};
inline constexpr plat::LangText kFileNotWritten{"IDS_FILE_NOT_WRITTEN", "The file could not be written."};
inline constexpr plat::LangText kFolderMissing{"IDS_FOLDER_MISSING", "The folder does not exist."};
inline constexpr plat::LangText kWindowNotCopied{"IDS_WINDOW_NOT_COPIED", "The window could not be copied."};
// A photo the photo box cannot show, followed by why.
inline constexpr plat::LangText kPhotoNotShown{"IDS_PHOTO_NOT_SHOWN", "The photo %1 cannot be shown:"};
inline constexpr plat::LangText kStoredPhotoNotShown{"IDS_STORED_PHOTO_NOT_SHOWN",
                                                     "The customer's stored photo cannot be shown:"};
inline constexpr plat::LangText kPictureUnreadable{"IDS_PICTURE_UNREADABLE", "the file cannot be read."};
inline constexpr plat::LangText kPictureNotTaken{"IDS_PICTURE_NOT_TAKEN",
                                                 "only BMP, PNG and JPEG pictures can be used."};
inline constexpr plat::LangText kPictureTooLarge{"IDS_PICTURE_TOO_LARGE", "the picture is too large."};
inline constexpr plat::LangText kPictureDamaged{"IDS_PICTURE_DAMAGED", "the picture is damaged."};

inline constexpr const plat::LangText* kAll[] = {
    &kCompareOpenFailed, &kFolderOpenFailed, &kNoFileManager, &kFolderNotCustomers, &kFolderNotMade,
    &kFolderIsFile,      &kFolderOutside,    &kSnapshotFailed, &kPathTooLong,       &kNoPicture,
    &kFileNotWritten,    &kFolderMissing,    &kWindowNotCopied, &plat::kDocSaveFailed, &plat::kPrintFailed,
    &plat::kOfficeMissing, &plat::kOfficeNotStarted, &plat::kOfficeTimedOut, &plat::kOfficeConvertFailed,
    &plat::kOfficeNoDocument, &plat::kNoPrinter, &plat::kPrinterRefused, &plat::kDocFolderMissing,
    &plat::kTempFolderUnusable, &plat::kDiskFull, &plat::kFolderReadOnly, &kPhotoNotShown, &kStoredPhotoNotShown,
    &kPictureUnreadable, &kPictureNotTaken, &kPictureTooLarge, &kPictureDamaged,
};

}  // namespace lang
