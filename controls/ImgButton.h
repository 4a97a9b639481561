#pragma once
// The captioned bitmap button of the customer records and report dialogs: a
// face bitmap for the state (released, pressed, focused, disabled) with the
// button's own window text centred over it in a colour of its own.  An
// ampersand in the text underlines the character after it ("&&" is a plain
// ampersand).  A click is sent to the owner as wxEVT_BUTTON with the id.
#include <wx/bitmap.h>

#include "controls/SkinButton.h"
#include "platform/WinTypes.h"

class CImgButton : public CSkinButton {
public:
    CImgButton();

    // Loads the faces from the program's bitmap resources (type "BITMAP"); an
    // id of 0 leaves that face empty.  FALSE when the released face or a
    // requested one is missing.
    BOOL LoadBitmaps(UINT idUp, UINT idDown = 0, UINT idFocus = 0, UINT idDisabled = 0);
    // Sizes the window to the released face, keeping its top-left corner.
    void SizeToContent();
    // The caption colour (0x00BBGGRR); nothing is redrawn.
    void SetTextColor(COLORREF clr) { m_clrCaption = clr; }

    // Draws the face for the item state (ODS_SELECTED, ODS_FOCUS, ODS_DISABLED)
    // at the rectangle's top-left corner, then the caption centred in the
    // rectangle: one pixel right and down while pressed, embossed grey when
    // disabled.
    void DrawItem(wxDC& dc, const wxRect& rcItem, UINT itemState);

    // Black until an owner sets its colour (both owners set white).
    COLORREF m_clrCaption = 0x000000;
    wxBitmap m_bitmap, m_bitmapSel, m_bitmapFocus, m_bitmapDisabled;

private:
    void OnPaint(wxPaintEvent& event);
};

namespace skin {
// The text to show for a caption with access-key ampersands, and the index in
// it of the character to underline (-1 for none).
wxString StripAccessKey(const wxString& caption, int* underlineIndex);
}
