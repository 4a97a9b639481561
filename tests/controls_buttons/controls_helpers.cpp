#include "controls_helpers.h"

#include <chrono>
#include <cstdlib>
#include <thread>

#include <wx/app.h>
#include <wx/dcclient.h>

#include "platform/WindowCapture.h"

PaintedFrame::PaintedFrame(const wxColour& colour, const wxSize& size, const wxPoint& where)
    : wxFrame(nullptr, wxID_ANY, "skinned controls", wxDefaultPosition, wxDefaultSize, wxBORDER_NONE),
      m_colour(colour) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
        wxPaintDC dc(this);
        dc.SetBrush(wxBrush(m_colour));
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.DrawRectangle(GetClientRect());
    });
    Move(where);
    SetClientSize(size);
}

void SendMouse(wxWindow* win, wxEventType type, const wxPoint& pt) {
    wxMouseEvent ev(type);
    ev.SetPosition(pt);
    ev.SetEventObject(win);
    ev.SetId(win->GetId());
    ev.m_leftDown = (type == wxEVT_LEFT_DOWN || type == wxEVT_LEFT_DCLICK);
    win->GetEventHandler()->ProcessEvent(ev);
}

static int Diff(int a, int b) { return std::abs(a - b); }

wxRect BoxOfColour(const wxImage& image, const wxColour& colour, int tolerance) {
    int x0 = image.GetWidth(), y0 = image.GetHeight(), x1 = -1, y1 = -1;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (Diff(image.GetRed(x, y), colour.Red()) <= tolerance &&
                Diff(image.GetGreen(x, y), colour.Green()) <= tolerance &&
                Diff(image.GetBlue(x, y), colour.Blue()) <= tolerance) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    if (x1 < 0) return wxRect();
    return wxRect(wxPoint(x0, y0), wxPoint(x1, y1));
}

bool Near(const wxImage& image, int x, int y, const wxColour& colour, int tolerance) {
    return Diff(image.GetRed(x, y), colour.Red()) <= tolerance &&
           Diff(image.GetGreen(x, y), colour.Green()) <= tolerance &&
           Diff(image.GetBlue(x, y), colour.Blue()) <= tolerance;
}

wxImage ShownArea(wxWindow* win, const wxRect& area) {
    const wxImage shown = plat::CaptureClientAreaImage(win, area);
    return shown.IsOk() ? shown : wxImage(area.width, area.height, true);
}
