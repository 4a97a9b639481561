#include "station/BitmapButton.h"

#include <wx/dcbuffer.h>
#include <wx/image.h>

bool CBitmapButton::Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long style) {
    if (!CSkinButton::Create(parent, id, rect, text, style)) return false;
    Bind(wxEVT_PAINT, &CBitmapButton::OnPaint, this);
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
