#pragma once
// The messages the program shows beyond the language pack's first keys, each
// under a key of its own with the English a pack without it gives.  What
// comes after them (a path, the system's reason) is shown as it comes.
#include "platform/Texts.h"

namespace lang {

// The pack's first keys, with the English a pack without them gives (a pack
// missing altogether, or one that lacks the key or holds it empty).  The sex
// values are stored as shown, in a field of three characters.
inline constexpr plat::LangText kPackKeys[] = {
    {"IDS_MEMBER_NUMBER", "Number"},
    {"IDS_MEMBER_NAME", "Name"},
    {"IDS_MEMBER_SEX", "Sex"},
    {"IDS_MEMBER_SEX_MEN", "M"},
    {"IDS_MEMBER_SEX_WOMEN", "F"},
    {"IDS_MEMBER_AGE", "Age"},
    {"IDS_MEMBER_BIRTHDAY", "Birthday"},
    {"IDS_MEMBER_PHONE", "Phone"},
    {"IDS_MEMBER_EMAIL", "E-mail"},
    {"IDS_MEMBER_ADDRESS", "Address"},
    {"IDS_MEMBER_REMARK", "Notes"},
    {"IDS_MEMBER_OPERATE", "Operator"},
    {"IDS_ADD", "Add"},
    {"IDS_DELETE", "Delete"},
    {"IDS_MODEFY", "Update"},
    {"IDS_SEACH", "Search"},
    {"IDS_ALL", "Show all"},
    {"IDS_STARTDETECT", "Start analysis"},
    {"IDS_CLOSE", "Close"},
    {"IDS_WARN_CATCH", "Database error: "},
    {"IDS_INPUT_NUMBERERROR", "The number or age is out of range. Please enter it again."},
    {"IDS_INPUT_NAMEERROR", "Please enter a name."},
    {"IDS_INPUT_NUMBEREXIST", "This number is already in use. Please choose another."},
    {"IDS_OPEN_DATA_FAILED", "The customer table could not be opened."},
    {"IDS_ADD_SUCCESS", "Customer added."},
    {"IDS_DELETE_MAKESURE", "Delete the selected customer?\nThis cannot be undone."},
    {"IDS_SEARCH_FAIL", "No matching customer was found."},
    {"IDS_SELECT_FIRST", "Please select a customer from the list first."},
    {"IDS_REPORT", "Skin/Hair Analysis Report"},
    {"IDS_ZZ_TYPE", "Condition"},
    {"IDS_RESON", "Cause"},
    {"IDS_SUGGEST", "Advice"},
    {"IDS_JG_NAME", "Salon"},
    {"IDS_DATE", "Date"},
    {"IDS_SAVE", "Save"},
    {"IDS_PRINT", "Print"},
};

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
inline constexpr plat::LangText kPictureTooLarge{"IDS_PICTURE_TOO_LARGE", "the picture is too large to show."};
inline constexpr plat::LangText kPictureDamaged{"IDS_PICTURE_DAMAGED", "the picture is damaged."};

// The report's name for a guest (no customer chosen) and what it says when
// there is no word processor.
inline constexpr plat::LangText kGuestName{"IDS_GUEST_NAME", "Customer"};
inline constexpr plat::LangText kReportNoOffice{"IDS_REPORT_NO_OFFICE", "save to file failed! maybe office not installed"};

inline constexpr plat::LangText kAlreadyRunning{"IDS_ALREADY_RUNNING", "The program is already running."};

// The customer records: what another program holding or changing the
// database, or the photo file, refuses.
inline constexpr plat::LangText kDatabaseBusy{"IDS_DB_BUSY",
                                              "Another program is using the customer database; try again in a moment."};
inline constexpr plat::LangText kChangedByOther{
    "IDS_CHANGED_BY_OTHER",
    "Another program changed this customer since it was shown, so nothing was written. Click the customer in the "
    "list again, then modify it."};
inline constexpr plat::LangText kRowGone{
    "IDS_ROW_GONE", "This customer is no longer stored as listed: another program deleted or changed it. Press Show all "
                    "to list the customers as they are now."};
inline constexpr plat::LangText kStoredNotListed{
    "IDS_STORED_NOT_LISTED", "The customer was stored, but the list could not be read again: press Show all to see it."};
inline constexpr plat::LangText kListKept{
    "IDS_LIST_KEPT", "The list could not be read again: it still shows the customers as they were before. Press Show "
                     "all to read it again."};
inline constexpr plat::LangText kPhotoNotRead{"IDS_PHOTO_NOT_READ", "The photo file %1 cannot be read:"};
inline constexpr plat::LangText kPhotoNotWritten{"IDS_PHOTO_NOT_WRITTEN", "The photo file %1 cannot be written:"};
inline constexpr plat::LangText kPhotoNotRegular{"IDS_PHOTO_NOT_REGULAR", "it is not a regular file."};
inline constexpr plat::LangText kPhotoTooLarge{"IDS_PHOTO_TOO_LARGE",
                                               "it is larger than the %1 bytes this customer's photo may have."};
inline constexpr plat::LangText kPhotoChanged{"IDS_PHOTO_CHANGED", "it changed while it was read."};

// The photo box and the loader: refusals with their true reason, what shows
// only in part, and a photo that changed after it was shown.
inline constexpr plat::LangText kPictureUnsupported{
    "IDS_PICTURE_UNSUPPORTED", "this kind of JPEG (lossless, hierarchical or more than 8 bits a sample) cannot be decoded."};
inline constexpr plat::LangText kPicturePathTooLong{"IDS_PICTURE_PATH_TOO_LONG", "its path is longer than 259 bytes."};
inline constexpr plat::LangText kPictureTooManyScans{"IDS_PICTURE_TOO_MANY_SCANS",
                                                     "the JPEG is made of more than %1 scans, too many to decode."};
inline constexpr plat::LangText kPhotoIncomplete{
    "IDS_PHOTO_INCOMPLETE", "The photo %1 is incomplete: its data ends early, and only part of the picture shows."};
inline constexpr plat::LangText kStoredPhotoIncomplete{
    "IDS_STORED_PHOTO_INCOMPLETE", "The customer's stored photo is incomplete: only part of the picture shows."};
inline constexpr plat::LangText kPhotoStillLoading{"IDS_PHOTO_STILL_LOADING",
                                                   "The photo is still being read; press the button again in a moment."};
inline constexpr plat::LangText kPhotoChangedSinceShown{
    "IDS_PHOTO_CHANGED_SINCE_SHOWN",
    "it was changed or replaced after it was shown, so nothing was stored. Choose the photo again."};
inline constexpr plat::LangText kFileGone{"IDS_FILE_GONE", "the file no longer exists."};
inline constexpr plat::LangText kFileNoAccess{"IDS_FILE_NO_ACCESS", "permission to open it is denied."};
inline constexpr plat::LangText kFileSystemError{"IDS_FILE_SYSTEM_ERROR", "the system reported error %1."};

inline constexpr const plat::LangText* kAll[] = {
    &kCompareOpenFailed, &kFolderOpenFailed, &kNoFileManager, &kFolderNotCustomers, &kFolderNotMade,
    &kFolderIsFile,      &kFolderOutside,    &kSnapshotFailed, &kPathTooLong,       &kNoPicture,
    &kFileNotWritten,    &kFolderMissing,    &kWindowNotCopied, &plat::kDocSaveFailed, &plat::kPrintFailed,
    &plat::kOfficeMissing, &plat::kOfficeNotStarted, &plat::kOfficeTimedOut, &plat::kOfficeConvertFailed,
    &plat::kOfficeNoDocument, &plat::kNoPrinter, &plat::kPrinterRefused, &plat::kDocFolderMissing,
    &plat::kTempFolderUnusable, &plat::kDiskFull, &plat::kFolderReadOnly, &kPhotoNotShown, &kStoredPhotoNotShown,
    &kPictureUnreadable, &kPictureNotTaken, &kPictureTooLarge, &kPictureDamaged, &kAlreadyRunning, &kDatabaseBusy,
    &kChangedByOther, &kRowGone, &kStoredNotListed, &kListKept, &kPhotoNotRead, &kPhotoNotWritten, &kPhotoNotRegular,
    &kPhotoTooLarge, &kPhotoChanged, &kGuestName, &kReportNoOffice, &kPictureUnsupported, &kPicturePathTooLong,
    &kPictureTooManyScans, &kPhotoIncomplete, &kStoredPhotoIncomplete, &kPhotoStillLoading, &kPhotoChangedSinceShown,
    &kFileGone, &kFileNoAccess, &kFileSystemError,
};

}  // namespace lang
