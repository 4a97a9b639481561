#pragma once
// LibreOffice as the word processor behind "Word.Application": a document
// written as rich text is converted into Word 97, printed, or opened for the
// operator by the `soffice` program found on the PATH.
//
// Each conversion and print runs a headless LibreOffice of its own, with a
// profile folder of its own that is removed afterwards, so an operator's
// running Writer neither blocks it nor sees it; it is waited for within a
// bound and ended when it overruns.  The rich text lives in a scratch folder
// that never stays behind.  Called on the user-interface thread, the wait
// keeps the windows alive (they repaint, worker threads' sends run) and drops
// the operator's clicks and keys meanwhile.
#include <chrono>
#include <string>

#include <wx/string.h>

namespace plat::office {

// The `soffice` program on the PATH; empty when there is none.
std::string FindOffice();

// Converts the rich text into a Word 97 document at `target` (a full path in
// an existing folder).  The new file is written beside the target and moved
// into its place, so an existing file of that name is replaced whole or not
// at all.  False with the reason in *error when it could not be written.
bool SaveAsWord97(const std::string& rtf, const wxString& target, wxString* error);

// Prints the rich text, one copy, on the default printer; false with the
// reason (no printer, no LibreOffice, a failed run) in *error.
bool Print(const std::string& rtf, wxString* error);

// The default printer's name as the printing system (CUPS) reports it;
// empty when there is none or no printing system can be reached.
std::string DefaultPrinter();

// Opens the document in the word processor for the operator, without
// waiting; nothing when the environment variable QUILLMARSH_HEADLESS is set
// or the LibreOffice found has no user interface.
void OpenForOperator(const wxString& path);

// Tests: how long one LibreOffice run may take (0: the normal bound).
void SetRunBoundForTesting(std::chrono::milliseconds bound);
// Tests: the default printer in place of the printing system's ("" asks the
// printing system again).
void SetDefaultPrinterForTesting(const std::string& name);

}  // namespace plat::office
