#pragma once
// The pointer while a modal run is on.
//
// A modal run (CDialog::DoModal) makes GTK hand every pointer event of the
// windows of its window group to the modal window, unless the event's window
// lies inside the modal window.  Two kinds of window suffer from that:
// - top-level windows that must take the pointer over a modal owner (a
//   modeless dialog over it, a popup menu shown from it): their clicks and
//   moves would vanish into the modal window;
// - controls of the windows the modal run shuts off: the pointer leaving them
//   for the modal window is reported by GTK only as a crossing of grab mode,
//   which wx drops, so they would believe the pointer is still over them.
#include <wx/popupwin.h>

namespace plat {

// Takes the created top-level window `topLevel` out of the window group it
// shares with other windows, so that no modal run of another window takes
// its pointer and keyboard input.
void KeepInputUnderModalRuns(wxWindow* topLevel);

// From now on `control` gets wxEVT_LEAVE_WINDOW when a modal run of another
// window shuts it off from the pointer, as when the pointer leaves it.
void LeaveWhenShutOffByModalRuns(wxWindow* control);

// A popup window that takes the pointer even while its owner, or any other
// window of the program, runs modally.  Every popup of the program is one.
class PopupWindow : public wxPopupWindow {
public:
    PopupWindow() = default;
    bool Create(wxWindow* owner, int flags = wxBORDER_NONE);
};

}  // namespace plat
