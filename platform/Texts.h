#pragma once
// The operator's words for what the platform layer reports: each text has a
// key of the program's language pack and the English shown when the pack
// lacks the key or no pack is read at all.
#include <functional>

#include <wx/string.h>

namespace plat {

struct LangText {
    const char* key;
    const char* english;
};

// The program's lookup of a text in its language pack, set at start-up.
// Without one every text is its English.
void SetTextLookup(std::function<wxString(const LangText&)> lookup);

wxString Text(const LangText& text);
// The text with "%1" in it replaced by `value`: a pack's text is no format
// string, so a stray "%s" in it cannot read past the arguments.
wxString Text(const LangText& text, const wxString& value);

// The word processor's failures; its reason follows as it comes.
inline constexpr LangText kDocSaveFailed{"IDS_DOC_SAVE_FAILED", "The document could not be saved:"};
inline constexpr LangText kPrintFailed{"IDS_PRINT_FAILED", "The document could not be printed:"};

// Why it failed, in the operator's words.
inline constexpr LangText kOfficeMissing{"IDS_OFFICE_MISSING", "LibreOffice (soffice) is not installed."};
inline constexpr LangText kOfficeNotStarted{"IDS_OFFICE_NOT_STARTED", "LibreOffice could not be started."};
inline constexpr LangText kOfficeTimedOut{"IDS_OFFICE_TIMED_OUT", "LibreOffice did not finish it within %1 seconds."};
inline constexpr LangText kOfficeConvertFailed{"IDS_OFFICE_CONVERT_FAILED",
                                               "LibreOffice failed to convert it (it ended with code %1)."};
inline constexpr LangText kOfficeNoDocument{"IDS_OFFICE_NO_DOCUMENT", "LibreOffice wrote no Word 97 document."};
inline constexpr LangText kNoPrinter{"IDS_NO_PRINTER",
                                     "there is no printer to print on (no default printer is set up)."};
inline constexpr LangText kPrinterRefused{"IDS_PRINTER_REFUSED", "LibreOffice could not print it on the printer %1."};
inline constexpr LangText kDocFolderMissing{"IDS_DOC_FOLDER_MISSING", "its folder does not exist."};
inline constexpr LangText kTempFolderUnusable{"IDS_TEMP_FOLDER_UNUSABLE", "the temporary folder %1 could not be used:"};
inline constexpr LangText kDiskFull{"IDS_DISK_FULL", "there is no space left on the disk."};
inline constexpr LangText kFolderReadOnly{"IDS_FOLDER_READ_ONLY", "the folder cannot be written."};

}  // namespace plat
