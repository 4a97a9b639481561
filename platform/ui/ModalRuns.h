#pragma once
// What a modal run does to the windows it shuts off.
//
// The toolkit's modal run takes the input of every window of the program but
// the modal one (a grab on their window group), and the window manager keeps
// a modal dialog above the window it is transient for.  Two things escape it:
// - a top-level window that stands in for a child window of another: it has
//   a window group of its own, so that its owner's own modal run leaves it
//   its input (ModalPointer), and the modal dialog is transient for the owner,
//   not for it;
// - without a window manager, nothing keeps the modal dialog above its owner
//   when something raises the owner.
// While a modal dialog runs, the windows standing in for children of other
// windows take no input, and the dialog is kept above its owner and the
// owner's stand-ins (Stacking), with or without a window manager.
#include <wx/window.h>

namespace plat {

// Looks after every modal dialog of the program from now on.  Idempotent.
void WatchModalRuns();

// `window` stands in for a child window of `owner`: while a modal dialog
// other than `owner` runs, `window` takes no input and the dialog stays
// above it.  Holds until `window` is destroyed.
void ShutOffWithOwner(wxWindow* window, wxWindow* owner);

}  // namespace plat
