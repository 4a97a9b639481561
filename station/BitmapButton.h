#pragma once
// A push button showing one bitmap and nothing else (the station window's
// minimise and close buttons).  A click is sent to the owner as wxEVT_BUTTON
// with the button's id, as the dialogs bind their click handlers.
#include <wx/bitmap.h>
#include <wx/control.h>

class CBitmapButton : public wxControl {
public:
    CBitmapButton() = default;
    // Two-step creation in place of a template button.
    bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long style);
    // The set-image message: the bitmap is drawn stretched over the button.
    void SetImage(const wxBitmap& bitmap);
    const wxBitmap& GetImage() const { return m_bitmap; }

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    wxSize DoGetBestSize() const override;

    wxBitmap m_bitmap;
    bool m_bHeld = false;
};
