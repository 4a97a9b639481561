#include "controls/ImgButton.h"

#include <wx/dcclient.h>

namespace skin {

wxString StripAccessKey(const wxString& caption, int* underlineIndex) {
    wxString out;
    int underline = -1;
    for (auto it = caption.begin(); it != caption.end(); ++it) {
        if (*it == '&') {
            auto next = it + 1;
            if (next == caption.end()) break;   // a trailing ampersand shows nothing
            if (*next == '&') {
                out += '&';
                it = next;
                continue;
            }
            if (underline < 0) underline = static_cast<int>(out.length());
            continue;
        }
        out += *it;
    }
    if (underlineIndex) *underlineIndex = underline;
    return out;
}

}  // namespace skin

CImgButton::CImgButton() {
    Bind(wxEVT_PAINT, &CImgButton::OnPaint, this);
    Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& e) { Refresh(false); e.Skip(); });
    Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& e) { Refresh(false); e.Skip(); });
}

void CImgButton::SizeToContent() {
    if (m_bitmap.IsOk()) SetSize(m_bitmap.GetWidth(), m_bitmap.GetHeight());
}

void CImgButton::DrawItem(wxDC& dc, const wxRect& rcItem, UINT itemState) {
    const wxBitmap* face = &m_bitmap;
    if ((itemState & ODS_SELECTED) && m_bitmapSel.IsOk())
        face = &m_bitmapSel;
    else if ((itemState & ODS_FOCUS) && m_bitmapFocus.IsOk())
        face = &m_bitmapFocus;
    else if ((itemState & ODS_DISABLED) && m_bitmapDisabled.IsOk())
        face = &m_bitmapDisabled;
    if (face->IsOk()) {
        // The face is copied unscaled; what lies beyond the item is cut off.
        wxDCClipper clip(dc, rcItem);
        dc.DrawBitmap(*face, rcItem.x, rcItem.y, false);
    }

    // Captions are cut at 259 characters.
    const wxString caption = GetLabel().Left(259);
    if (caption.empty()) return;
    dc.SetFont(GetFont());
    // The caption is measured as written, ampersands included.
    wxCoord w = 0, h = 0;
    dc.GetTextExtent(caption, &w, &h);
    int x = (rcItem.GetLeft() + rcItem.GetRight() + 1) / 2 - w / 2;
    int y = (rcItem.GetTop() + rcItem.GetBottom() + 1) / 2 - h / 2;
    if (itemState & ODS_SELECTED) {
        ++x;
        ++y;
    }
    int underline = -1;
    const wxString shown = skin::StripAccessKey(caption, &underline);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    auto draw = [&](int px, int py, const wxColour& colour) {
        dc.SetTextForeground(colour);
        dc.DrawLabel(shown, wxRect(px, py, w, h), wxALIGN_LEFT | wxALIGN_TOP, underline);
    };
    if (itemState & ODS_DISABLED) {
        // Embossed: a highlight one pixel down-right under the shadow-grey text.
        draw(x + 1, y + 1, wxColour(255, 255, 255));
        draw(x, y, wxColour(160, 160, 160));
    } else {
        draw(x, y, wxColour(GetRValue(m_clrCaption), GetGValue(m_clrCaption), GetBValue(m_clrCaption)));
    }
}

void CImgButton::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    UINT state = 0;
    if (m_bPressed) state |= ODS_SELECTED;
    if (HasFocus()) state |= ODS_FOCUS;
    if (!IsEnabled()) state |= ODS_DISABLED;
    DrawItem(dc, GetClientRect(), state);
}
