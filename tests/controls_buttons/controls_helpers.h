#pragma once
// Helpers of the skinned-control tests with a display.
#include <functional>

#include <wx/frame.h>
#include <wx/image.h>
#include <wx/panel.h>

#include "support/Pump.h"


// A top-level window whose client area is painted in one colour by its own
// paint handler, as the station's dialogs paint their backgrounds.
class PaintedFrame : public wxFrame {
public:
    PaintedFrame(const wxColour& colour, const wxSize& size, const wxPoint& where = wxPoint(50, 50));
    wxColour m_colour;
};

// Sends a synthetic mouse event of `type` at client point `pt` to `win`.
void SendMouse(wxWindow* win, wxEventType type, const wxPoint& pt);

// The bounding box of the pixels of `image` within `tolerance` of `colour`;
// an empty rectangle when there are none.
wxRect BoxOfColour(const wxImage& image, const wxColour& colour, int tolerance = 40);
bool Near(const wxImage& image, int x, int y, const wxColour& colour, int tolerance = 2);
// What `win` shows in `area` (its client coordinates), every child drawing
// itself as on screen.
wxImage ShownArea(wxWindow* win, const wxRect& area);
