#pragma once
// A push button showing one bitmap and nothing else (the station window's
// minimise and close buttons).  Pressing, holding and the click sent to the
// owner as wxEVT_BUTTON with the button's id are the skinned buttons' own.
#include <wx/bitmap.h>

#include "controls/SkinButton.h"

class CBitmapButton : public CSkinButton {
public:
    CBitmapButton() = default;
    // Two-step creation in place of a template button.
    bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long style);
    // The set-image message: the bitmap is drawn stretched over the button.
    void SetImage(const wxBitmap& bitmap);
    const wxBitmap& GetImage() const { return m_bitmap; }

private:
    void OnPaint(wxPaintEvent& event);
    wxSize DoGetBestSize() const override;

    wxBitmap m_bitmap;
};
