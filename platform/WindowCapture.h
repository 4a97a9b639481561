#pragma once
// A window's client area as it shows at this moment, child controls included,
// rendered by GTK into an image (so it works even while the window is covered
// or partly off-screen, unlike reading the screen).
#include <opencv2/core.hpp>
#include <wx/gdicmn.h>
#include <wx/image.h>

class wxWindow;

namespace plat {

// User-interface thread only.  The client area as 8-bit B, G, R, 0 pixels
// (CV_8UC4), rows top-down, the client size.  Empty when the window has no
// client area or is not shown (a hidden window renders nothing).
cv::Mat CaptureClientArea(wxWindow* win);
// The part `area` (client coordinates) of the client area, of the area's size;
// whatever lies outside the client area comes out black.  Empty as above, or
// when the area is empty.
cv::Mat CaptureClientArea(wxWindow* win, const wxRect& area);
// The same as an RGB image without alpha; not Ok when the matrix would be empty.
wxImage CaptureClientAreaImage(wxWindow* win, const wxRect& area);

}  // namespace plat
