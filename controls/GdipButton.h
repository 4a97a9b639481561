#pragma once
// The image push button of the station window and the start page: drawn
// entirely from a PNG resource.  All picture work (scaling, colour matrices,
// composing over what the parent shows under the button) happens once, at the
// first paint after the normal image is loaded; every later paint copies one
// prepared bitmap.
//
// Owners create it in place of a template button (Create), then load its
// images (LoadStdImage, LoadAltImage), make it a two-state toggle when it has
// an alternate image (EnableToggle) and write m_bToggled directly to keep the
// picture in step with their own modes (followed by Refresh()).  A click is
// sent to the owner as wxEVT_BUTTON with the button's id.
#include <cstddef>
#include <memory>

#include <wx/bitmap.h>
#include <wx/image.h>

#include "controls/SkinButton.h"
#include "platform/WinTypes.h"

namespace skin {

// Hover picture: red, green and blue scaled by 1.05 with 0.05 added (on a 0..1
// scale), clamped; alpha unchanged.
wxImage HoverPicture(const wxImage& image);
// Disabled picture: each colour becomes 0.30 R + 0.59 G + 0.11 B; alpha kept.
wxImage GreyPicture(const wxImage& image);
// `picture` scaled to width x height and drawn with its alpha over a copy of
// `background` with its top-left corner at (dx, dy); whatever falls outside the
// background is cut off.  The result has the background's size, no alpha.
wxImage ComposePicture(const wxImage& background, const wxImage& picture, int dx, int dy, int width,
                       int height);

}  // namespace skin

// The owner of one decoded picture.
class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    virtual ~CGdiPlusBitmap() = default;
    CGdiPlusBitmap(const CGdiPlusBitmap&) = delete;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = delete;

    bool IsLoaded() const { return m_pBitmap != nullptr; }
    const wxImage* Image() const { return m_pBitmap.get(); }

    std::unique_ptr<wxImage> m_pBitmap;
};

// A picture decoded from the bytes of a typed resource of the program.
class CGdiPlusBitmapResource : public CGdiPlusBitmap {
public:
    // Finds resource `id` of `type` and decodes it; false (and no picture) when
    // it is missing, empty or not a picture.
    bool Load(UINT id, const char* type);
    // Decodes encoded picture bytes (PNG, BMP, ...); false (and no picture) when
    // they are empty or undecodable.  Any picture held before is dropped.
    bool LoadFromMemory(const void* data, std::size_t size);
};

class CGdipButton : public CSkinButton {
public:
    CGdipButton();
    ~CGdipButton() override;

    // Loads resource `id` of `type` ("PNG") as the normal image.
    BOOL LoadStdImage(UINT id, const char* type);
    // Loads the alternate image (shown while toggled); marks the button as
    // having one even when the load fails.
    BOOL LoadAltImage(UINT id, const char* type);
    // Makes the button a two-state toggle; ignored without an alternate image.
    void EnableToggle(BOOL enable);
    // Sets the tooltip text; an empty text changes nothing.
    void SetToolTipText(const wxString& text, BOOL activate = TRUE);
    // Copies the captured background onto dc at (0, 0).
    void PaintBk(wxDC& dc);

    // Chooses the picture for the state (of the bits only ODS_SELECTED, the
    // pressed state, counts) and copies it onto dc at (0, 0).  A toggle button
    // held down while no camera is the frame source keeps its last picture.  Before the pictures are built nothing is
    // drawn, so the parent's own pixels show through.
    void DrawItem(wxDC& dc, UINT itemState);

    // Builds the state pictures if the normal image is loaded and they are not
    // built yet; the background is taken from what the parent shows under the
    // button now.  Runs by itself at the first paint.
    void BuildPictures();

    BOOL m_bToggled = FALSE;
    BOOL m_bHasAltImage = FALSE;
    BOOL m_bImagesBuilt = FALSE;
    BOOL m_bDisabled = FALSE;     // draw the grey picture whatever the state
    BOOL m_bToggleButton = FALSE;
    BOOL m_bHover = FALSE;
    BOOL m_bTracking = FALSE;
    CGdiPlusBitmapResource* m_pAltImage = nullptr;
    CGdiPlusBitmapResource* m_pStdImage = nullptr;
    wxString m_strToolTip;
    wxToolTip* m_pToolTip = nullptr;   // owned by the window once set

    // The prepared pictures, each of the client size; a bitmap that is not Ok
    // has not been built.
    wxBitmap m_dcBackground;
    wxBitmap m_dcNormal, m_dcPressed, m_dcHover;
    wxBitmap m_dcAltNormal, m_dcAltPressed, m_dcAltHover;
    wxBitmap m_dcDisabled;
    wxBitmap* m_pCurrentDC = nullptr;   // the picture last chosen for drawing

protected:
    void OnPressBegin() override;

private:
    bool CameraIsSource() const;
    void OnPaint(wxPaintEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnMouseHover();
    void OnMouseLeave(wxMouseEvent& event);
};
