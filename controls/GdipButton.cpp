#include "controls/GdipButton.h"

#include <algorithm>
#include <cmath>

#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/tooltip.h>

#include "app/QuillmarshApp.h"
#include "platform/WindowCapture.h"

namespace skin {

static unsigned char ClampByte(double v) {
    return static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
}

wxImage HoverPicture(const wxImage& image) {
    wxImage out = image.Copy();
    unsigned char* p = out.GetData();
    const long n = static_cast<long>(out.GetWidth()) * out.GetHeight() * 3;
    for (long i = 0; i < n; ++i) p[i] = ClampByte(p[i] * 1.05 + 0.05 * 255.0);
    return out;
}

wxImage GreyPicture(const wxImage& image) {
    wxImage out = image.Copy();
    unsigned char* p = out.GetData();
    const long n = static_cast<long>(out.GetWidth()) * out.GetHeight();
    for (long i = 0; i < n; ++i, p += 3) {
        const unsigned char g = ClampByte(0.30 * p[0] + 0.59 * p[1] + 0.11 * p[2]);
        p[0] = p[1] = p[2] = g;
    }
    return out;
}

wxImage ComposePicture(const wxImage& background, const wxImage& picture, int dx, int dy, int width,
                       int height) {
    wxImage out = background.Copy();
    if (out.HasAlpha()) out.ClearAlpha();
    if (!picture.IsOk() || width <= 0 || height <= 0) return out;
    wxImage scaled = (picture.GetWidth() == width && picture.GetHeight() == height)
                         ? picture
                         : picture.Scale(width, height, wxIMAGE_QUALITY_HIGH);
    const int bw = out.GetWidth(), bh = out.GetHeight();
    unsigned char* dst = out.GetData();
    const unsigned char* src = scaled.GetData();
    const unsigned char* alpha = scaled.HasAlpha() ? scaled.GetAlpha() : nullptr;
    for (int y = 0; y < height; ++y) {
        const int ty = y + dy;
        if (ty < 0 || ty >= bh) continue;
        for (int x = 0; x < width; ++x) {
            const int tx = x + dx;
            if (tx < 0 || tx >= bw) continue;
            const long si = static_cast<long>(y) * width + x;
            const long di = (static_cast<long>(ty) * bw + tx) * 3;
            const int a = alpha ? alpha[si] : 255;
            for (int c = 0; c < 3; ++c)
                dst[di + c] = static_cast<unsigned char>((src[si * 3 + c] * a + dst[di + c] * (255 - a) + 127) / 255);
        }
    }
    return out;
}

}  // namespace skin

namespace {

// Set while a button takes the parent's pixels under it: the parent renders
// with its children, and the buttons keep out of that picture.
int s_takingBackground = 0;

}  // namespace

bool CGdiPlusBitmapResource::LoadFromMemory(const void* data, std::size_t size) {
    m_pBitmap.reset();
    if (!data || size == 0) return false;
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    wxLogNull quiet;   // an undecodable resource is a plain failure, not a message box
    wxMemoryInputStream stream(data, size);
    auto image = std::make_unique<wxImage>();
    if (!image->LoadFile(stream, wxBITMAP_TYPE_ANY) || !image->IsOk()) return false;
    m_pBitmap = std::move(image);
    return true;
}

CGdipButton::CGdipButton() {
    Bind(wxEVT_PAINT, &CGdipButton::OnPaint, this);
    Bind(wxEVT_MOTION, &CGdipButton::OnMouseMove, this);
    Bind(wxEVT_LEAVE_WINDOW, &CGdipButton::OnMouseLeave, this);
}

CGdipButton::~CGdipButton() {
    delete m_pStdImage;
    delete m_pAltImage;
}

void CGdipButton::EnableToggle(BOOL enable) {
    if (!m_bHasAltImage) return;
    m_bToggleButton = enable;
    m_pCurrentDC = enable ? &m_dcAltNormal : &m_dcNormal;
}

void CGdipButton::SetToolTipText(const wxString& text, BOOL activate) {
    if (text.empty()) return;
    m_strToolTip = text;
    // The window owns its tooltip; an inactive one is kept with no text, so
    // that it shows nothing until activated again.
    if (!m_pToolTip) {
        SetToolTip(text);
        m_pToolTip = GetToolTip();
    }
    wxToolTip::SetAutoPop(2000);
    if (m_pToolTip) m_pToolTip->SetTip(activate ? text : wxString());
}

void CGdipButton::PaintBk(wxDC& dc) {
    if (m_dcBackground.IsOk()) dc.DrawBitmap(m_dcBackground, 0, 0, false);
}

bool CGdipButton::CameraIsSource() const { return theApp.m_bUsbCamera != 0 || theApp.m_bNetCamera != 0; }

void CGdipButton::OnPressBegin() {
    // Each press of a toggle button flips its state once, but only while a
    // camera is the frame source; otherwise the button keeps its picture.
    if (!m_bDisabled && m_bToggleButton && CameraIsSource()) m_bToggled = !m_bToggled;
}

void CGdipButton::DrawItem(wxDC& dc, UINT itemState) {
    const bool pressed = (itemState & ODS_SELECTED) != 0;
    if (m_bDisabled) {
        m_pCurrentDC = &m_dcDisabled;
    } else if (pressed && m_bToggleButton && !CameraIsSource()) {
        // The last picture stays.
    } else if (pressed) {
        m_pCurrentDC = m_bToggled ? &m_dcAltPressed : &m_dcPressed;
    } else if (m_bHover) {
        m_pCurrentDC = m_bToggled ? &m_dcAltHover : &m_dcHover;
    } else {
        m_pCurrentDC = m_bToggled ? &m_dcAltNormal : &m_dcNormal;
    }
    if (m_pCurrentDC && m_pCurrentDC->IsOk()) dc.DrawBitmap(*m_pCurrentDC, 0, 0, false);
}

void CGdipButton::BuildPictures() {
    if (m_bImagesBuilt || !m_pStdImage) return;
    const wxSize size = GetClientSize();
    const int w = std::max(size.x, 1), h = std::max(size.y, 1);

    if (!m_dcBackground.IsOk()) {
        ++s_takingBackground;
        wxImage under = plat::CaptureClientAreaImage(GetParent(), wxRect(GetPosition(), wxSize(w, h)));
        --s_takingBackground;
        // A parent that shows nothing yet gives a black background.
        if (!under.IsOk()) under = wxImage(w, h, true);
        m_dcBackground = wxBitmap(under);
    }
    const wxImage background = m_dcBackground.ConvertToImage();

    auto picture = [&](const wxImage& img, int offset) {
        return wxBitmap(skin::ComposePicture(background, img, offset, offset, w, h));
    };
    // With no decoded picture the button shows only its background.
    const wxImage none;
    const wxImage& std = m_pStdImage->Image() ? *m_pStdImage->Image() : none;
    if (!m_dcNormal.IsOk()) {
        m_dcNormal = picture(std, 0);
        if (!m_dcPressed.IsOk()) m_dcPressed = picture(std, 1);
        if (!m_dcHover.IsOk()) m_dcHover = picture(std.IsOk() ? skin::HoverPicture(std) : none, 0);
        if (!m_dcDisabled.IsOk()) m_dcDisabled = picture(std.IsOk() ? skin::GreyPicture(std) : none, 0);
    }
    if (!m_dcAltNormal.IsOk() && m_bHasAltImage) {
        const wxImage& alt = (m_pAltImage && m_pAltImage->Image()) ? *m_pAltImage->Image() : none;
        m_dcAltNormal = picture(alt, 0);
        m_dcAltPressed = picture(alt, 1);
        m_dcAltHover = picture(alt.IsOk() ? skin::HoverPicture(alt) : none, 0);
    }
    if (!m_pCurrentDC) m_pCurrentDC = &m_dcNormal;
    m_bImagesBuilt = TRUE;
}

void CGdipButton::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    // While the parent is rendered to take the background, the buttons keep
    // out of the picture.
    if (s_takingBackground) return;
    BuildPictures();
    DrawItem(dc, m_bPressed ? ODS_SELECTED : 0);
}

void CGdipButton::OnMouseMove(wxMouseEvent& event) {
    event.Skip();
    if (!m_bTracking) {
        m_bTracking = TRUE;
        OnMouseHover();
    }
}

void CGdipButton::OnMouseHover() {
    m_bHover = TRUE;
    Refresh(false);
    if (m_pToolTip) {
        UnsetToolTip();
        m_pToolTip = nullptr;
    }
    SetToolTipText(m_strToolTip, TRUE);
}

void CGdipButton::OnMouseLeave(wxMouseEvent& event) {
    event.Skip();
    m_bTracking = FALSE;
    m_bHover = FALSE;
    Refresh(false);
}
