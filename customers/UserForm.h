#pragma once
// The texts the customer form and its queries are made of: numbers with four
// digits, the number typed into the search box, names
// without blanks and the birthday as the table keeps it.
#include <wx/datetime.h>
#include <wx/string.h>

namespace form {

// "%04d": 7 gives "0007".
wxString NumberText(int number);
// The whole number at the start of `text`: blanks and one sign before the
// digits are accepted, reading stops at the first other character, no digits
// give 0; a number past the int range stops at its end.
int LeadingNumber(const wxString& text);
// `text` without any U+0020 blank (other white space stays).
wxString RemoveSpaces(const wxString& text);
// The birthday as stored: "%Y/%m/%d".
wxString FormatBirthday(const wxDateTime& date);
// A stored birthday back into a date: year, month and day separated by '/',
// a time of day after it ignored, or what the locale's date reader
// accepts.  False when the text holds no valid date.
bool ParseBirthday(const wxString& text, wxDateTime& date);

// True when the file at `path` can be opened for reading; otherwise false
// with the reason, naming the file, in `reason`.
bool FileReadable(const wxString& path, wxString* reason);

}  // namespace form
