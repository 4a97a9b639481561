#pragma once
// The C run-time conversions the station's code reads numbers with.
#include <wx/string.h>

// The whole number at the start of `text`: blanks before it and one sign are
// taken, reading stops at the first character that is not a digit, no digits
// give 0; a number beyond the int range gives INT_MAX or INT_MIN.
int _wtoi(const wxString& text);
