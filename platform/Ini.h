#pragma once
// An INI reader with the rules of the Windows profile functions: section and
// key names match without regard to case, blanks around names and values are
// trimmed, one pair of surrounding quotes is stripped, and the default is
// returned when the file, section or key is missing.  Files may be UTF-16LE
// with a byte-order mark, or UTF-8 with or without one.  The file is read anew
// at each call.
#include <cstddef>
#include <wx/string.h>

namespace plat {

// The value, cut to bufferChars - 1 characters (as a buffer of that many
// UTF-16 units would hold it).
wxString GetPrivateProfileString(const wxString& section, const wxString& key,
                                 const wxString& defaultValue, const wxString& file,
                                 std::size_t bufferChars = 1000);

// The leading decimal integer of the value (optional sign), 0 when the value
// has no digits, the default when the key is missing or its value is empty.
// Values beyond the int range are clamped.
int GetPrivateProfileInt(const wxString& section, const wxString& key, int defaultValue,
                         const wxString& file);

}  // namespace plat
