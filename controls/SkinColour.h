#pragma once
#include <wx/colour.h>

#include "platform/WinTypes.h"

namespace skin {
inline wxColour ColourOf(COLORREF c) { return wxColour(GetRValue(c), GetGValue(c), GetBValue(c)); }
inline COLORREF ColorRefOf(const wxColour& c) { return RGB(c.Red(), c.Green(), c.Blue()); }
}  // namespace skin
