#pragma once
// Who holds the keyboard focus of the display, as the X server sees it.

#include <functional>

class wxWindow;

namespace plat {

// True when a window of another program holds the keyboard focus.  False
// when one of the program's windows holds it, when the focus follows the
// pointer (no window manager), or when the display is not an X display.
bool AnotherProgramHasTheFocus();

// From now on `taken` runs (queued, while `window` lives) each time the
// keyboard focus leaves `window` for a window of another program, also focus
// that had only followed the pointer into it.  The program may already count
// as inactive then, and hears nothing else of it.
void WhenAnotherProgramTakesTheFocus(wxWindow* window, std::function<void()> taken);

}  // namespace plat
