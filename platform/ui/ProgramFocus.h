#pragma once
// Who holds the keyboard focus of the display, as the X server sees it.

namespace plat {

// True when a window of another program holds the keyboard focus.  False
// when one of the program's windows holds it, when the focus follows the
// pointer (no window manager), or when the display is not an X display.
bool AnotherProgramHasTheFocus();

}  // namespace plat
