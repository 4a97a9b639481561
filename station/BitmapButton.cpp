#include "station/BitmapButton.h"

#include <wx/dcbuffer.h>
#include <wx/image.h>

bool CBitmapButton::Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE)) return false;
    SetLabel(text);
    Bind(wxEVT_PAINT, &CBitmapButton::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CBitmapButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CBitmapButton::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CBitmapButton::OnLeftUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { m_bHeld = false; });
    return true;
}

void CBitmapButton::SetImage(const wxBitmap& bitmap) {
    m_bitmap = bitmap;
    Refresh();
}

wxSize CBitmapButton::DoGetBestSize() const { return m_bitmap.IsOk() ? m_bitmap.GetSize() : wxSize(38, 38); }

void CBitmapButton::OnPaint(wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (!m_bitmap.IsOk() || size.x <= 0 || size.y <= 0) {
        dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
        dc.Clear();
        return;
    }
    if (m_bitmap.GetSize() == size) {
        dc.DrawBitmap(m_bitmap, 0, 0, false);
    } else {
        const wxImage scaled = m_bitmap.ConvertToImage().Scale(size.x, size.y);
        dc.DrawBitmap(wxBitmap(scaled), 0, 0, false);
    }
}

void CBitmapButton::OnLeftDown(wxMouseEvent&) {
    m_bHeld = true;
    if (!HasCapture()) CaptureMouse();
}

void CBitmapButton::OnLeftUp(wxMouseEvent& event) {
    const bool wasHeld = m_bHeld;
    m_bHeld = false;
    if (HasCapture()) ReleaseMouse();
    if (!wasHeld || !GetClientRect().Contains(event.GetPosition())) return;
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    ProcessWindowEvent(click);
}
