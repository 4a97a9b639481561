#pragma once
// The texts the customer form and its queries are made of: numbers with four
// digits, names without blanks and the birthday as the table keeps it.
#include <wx/datetime.h>
#include <wx/string.h>

namespace form {

// "%04d": 7 gives "0007".
wxString NumberText(int number);
// `text` without any U+0020 blank (other white space stays).
wxString RemoveSpaces(const wxString& text);
// The birthday as stored: "%Y/%m/%d".
wxString FormatBirthday(const wxDateTime& date);
// A stored birthday back into a date: year, month and day separated by '/',
// '-' or '.' (a time of day after them allowed), or what the locale's date
// reader accepts.  False when the text holds no valid date.
bool ParseBirthday(const wxString& text, wxDateTime& date);

}  // namespace form
