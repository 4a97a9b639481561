#pragma once
// Rendering a window (with its children) into an image through GTK, which
// works even where the window is covered on screen.
#include <wx/image.h>
#include <wx/window.h>

namespace skin {

// The pixels `parent` shows in `area` (the parent's client coordinates),
// children included, as an RGB image of the area's size.  While it runs,
// IsCapturing() is true so that self-drawn buttons inside the area can keep
// themselves out of the picture.  An unrealized parent gives a black image.
wxImage CaptureWindowArea(wxWindow* parent, const wxRect& area);

// The whole client area of `win` with its children.
wxImage CaptureWindow(wxWindow* win);

bool IsCapturing();

}  // namespace skin
