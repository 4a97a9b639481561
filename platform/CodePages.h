#pragma once
// Texts that other programs stored in a Windows "ANSI" code page rather than
// in UTF-8: which reading of their bytes to show.
#include <cstddef>

#include <wx/string.h>

namespace plat {

// The reading of `size` bytes that are not UTF-8: first in `codePage` (the
// code page of the station's language, iconv's name), then in CP936 (the
// code page most such files come from), each taken only when it reads
// cleanly: every byte is part of a character, the characters give the same
// bytes back, and none is a control or private-use character.  A reading in
// a single-byte code page (CP1252) must also look like Latin text, each
// letter beyond ASCII standing beside an ASCII letter or digit, or a
// double-byte reading that is clean comes first; without one it is still
// taken.  Empty when no reading is clean (the caller shows its replacement
// marks then).
wxString ReadCodePageText(const char* bytes, std::size_t size, const char* codePage);

}  // namespace plat
