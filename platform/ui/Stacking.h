#pragma once
// Which of the program's top-level windows lies over which.
//
// Without a window manager (the station runs full screen, often with none)
// the X server stacks windows only as clients ask: a window that is raised
// lands on top of everything, its owned windows included, and a window that
// takes the keyboard focus with gtk_window_present is raised as well.
#include <wx/window.h>

namespace plat {

// Makes the created top-level window `window` an owned window of the
// top-level `owner` (transient for it, as a window manager reads it) and
// puts it back directly above the owner whenever the owner's place in the
// stacking order changes, as an owned window stays above its owner.  Holds
// until `window` is destroyed.
void KeepAboveOwner(wxWindow* window, wxWindow* owner);

// Brings the shown top-level window `topLevel` to the front.  With a window
// manager it is activated (raised and given the keyboard focus).  Without one
// it is only raised: taking the focus would end the server's focus that
// follows the pointer, and from then on every click on another of the
// program's windows would raise that window to take the focus back.
void BringToFront(wxWindow* topLevel);

}  // namespace plat
