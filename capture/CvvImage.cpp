#include "capture/CvvImage.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/rawbmp.h>

#include "platform/CvCompat.h"
#include "platform/FrameSurface.h"
#include "platform/ViewScale.h"

namespace {

enum class Scale { None, Smooth, Nearest };

// The held image's pixels without their region of interest; no copy.
cv::Mat Pixels(const IplImage* img) {
    return cv::Mat(img->height, img->width, CV_MAKETYPE(CV_8U, img->nChannels), img->imageData,
                   static_cast<std::size_t>(img->widthStep));
}

bool Drawable(const IplImage* img) {
    return img && img->depth == IPL_DEPTH_8U && img->imageData && img->width > 0 && img->height > 0 &&
           (img->nChannels == 1 || img->nChannels == 3 || img->nChannels == 4);
}

// A smoothed reduction (the halftone stretch's place).  Area averaging at an
// uneven ratio is several times slower than the rest of a frame's path, so a
// reduction by two or more is done as a square whole-number block average
// (OpenCV's fast path) followed by a bilinear step of less than two, which
// still weighs every source pixel in.
void SmoothResize(const cv::Mat& src, cv::Mat& dst, cv::Size size) {
    const int k = std::min(src.cols / size.width, src.rows / size.height);
    if (k < 2) {
        // The live view's usual case (a camera frame into the view): the
        // platform's scaler costs a fraction of the library's.
        if (src.type() == CV_8UC3) {
            dst.create(size, CV_8UC3);
            if (plat::ScaleBilinearBGR(src.data, src.cols, src.rows, src.step, dst.data, dst.cols, dst.rows,
                                       dst.step))
                return;
        }
        cv::resize(src, dst, size, 0, 0, cv::INTER_LINEAR);
        return;
    }
    // Whole blocks only, so the block average takes its fast path; at most
    // k - 1 columns and rows at the far edges are left out.
    const cv::Mat whole = src(cv::Rect(0, 0, src.cols / k * k, src.rows / k * k));
    const cv::Size blocks(whole.cols / k, whole.rows / k);
    if (blocks == size) {
        cv::resize(whole, dst, size, 0, 0, cv::INTER_AREA);
        return;
    }
    cv::Mat averaged;
    cv::resize(whole, averaged, blocks, 0, 0, cv::INTER_AREA);
    cv::resize(averaged, dst, size, 0, 0, cv::INTER_LINEAR);
}

void Resize(const cv::Mat& src, cv::Mat& dst, cv::Size size, Scale mode) {
    if (mode == Scale::Smooth)
        SmoothResize(src, dst, size);
    else
        cv::resize(src, dst, size, 0, 0, cv::INTER_NEAREST);
}

// Puts the part `src` of `pixels` into `out` (8-bit, 3 channels, the size drawn):
// scaled when the sizes differ, rows reversed for a bottom-up image, grey
// through the grey palette, a fourth channel dropped, and red first when `rgb`.
// Only scaling and the row reversal of a bottom-up image use a buffer of their own.
void Compose(const cv::Mat& pixels, const cv::Rect& src, bool bottomUp, Scale mode, bool rgb, cv::Mat& out) {
    cv::Mat part = pixels(src);
    const bool plainCopy = part.channels() == 3 && !rgb;
    if (part.size() != out.size()) {
        if (plainCopy && !bottomUp) {
            Resize(part, out, out.size(), mode);
            return;
        }
        cv::Mat scaled;
        Resize(part, scaled, out.size(), mode);
        part = scaled;
    }
    if (bottomUp) {
        if (plainCopy) {
            cv::flip(part, out, 0);
            return;
        }
        cv::Mat flipped;
        cv::flip(part, flipped, 0);
        part = flipped;
    }
    switch (part.channels()) {
        case 1: cv::cvtColor(part, out, rgb ? cv::COLOR_GRAY2RGB : cv::COLOR_GRAY2BGR); break;
        case 4: cv::cvtColor(part, out, rgb ? cv::COLOR_BGRA2RGB : cv::COLOR_BGRA2BGR); break;
        default:
            if (rgb)
                cv::cvtColor(part, out, cv::COLOR_BGR2RGB);
            else
                part.copyTo(out);
    }
}

// Into a frame surface's buffer (8-bit B, G, R), cut at the buffer's edges.
void DrawInto(cv::Mat& target, const cv::Mat& pixels, const cv::Rect& src, bool bottomUp, const cv::Rect& dst,
              Scale mode) {
    if (target.type() != CV_8UC3 || src.empty() || dst.empty()) return;
    const cv::Rect visible = dst & cv::Rect(0, 0, target.cols, target.rows);
    if (visible.empty()) return;
    if (visible == dst) {
        cv::Mat out = target(dst);
        Compose(pixels, src, bottomUp, mode, false, out);
        return;
    }
    cv::Mat out = target(visible);
    if (mode == Scale::None) {
        // Unscaled: cut the source the same way.
        const int dx = visible.x - dst.x, dy = visible.y - dst.y;
        const int sy = bottomUp ? src.y + src.height - (dy + visible.height) : src.y + dy;
        Compose(pixels, cv::Rect(src.x + dx, sy, visible.width, visible.height), bottomUp, mode, false, out);
        return;
    }
    cv::Mat whole(dst.size(), CV_8UC3);
    Compose(pixels, src, bottomUp, mode, false, whole);
    whole(visible - dst.tl()).copyTo(out);
}

// Into a wx device context, through a bitmap of the size drawn.
void DrawInto(wxDC* dc, const cv::Mat& pixels, const cv::Rect& src, bool bottomUp, const cv::Rect& dst, Scale mode) {
    if (!dc || !dc->IsOk() || src.empty() || dst.empty()) return;
    wxBitmap bitmap(dst.width, dst.height, 24);
    if (!bitmap.IsOk()) return;
    {
        wxNativePixelData data(bitmap);
        if (!data) return;
        wxNativePixelData::Iterator it(data);
        static_assert(wxNativePixelFormat::RED == 0 && wxNativePixelFormat::BLUE == 2 &&
                          wxNativePixelFormat::SizePixel == 3,
                      "bitmap rows are expected as R, G, B bytes");
        cv::Mat out(dst.height, dst.width, CV_8UC3, it.m_ptr, static_cast<std::size_t>(data.GetRowStride()));
        Compose(pixels, src, bottomUp, mode, true, out);
    }
    dc->DrawBitmap(bitmap, dst.x, dst.y, false);
}

// The part of the image Show draws, or an empty rectangle.
cv::Rect ShowSource(const IplImage* img, int width, int height, int fromX, int fromY) {
    fromX = std::clamp(fromX, 0, img->width - 1);
    fromY = std::clamp(fromY, 0, img->height - 1);
    const int w = std::max(0, std::min(width, img->width - fromX));
    const int h = std::max(0, std::min(height, img->height - fromY));
    return cv::Rect(fromX, fromY, w, h);
}

// The image's region of interest, the whole image without one.
cv::Rect RoiOf(const IplImage* img) {
    const CvRect r = cvGetImageROI(img);
    return cv::Rect(r.x, r.y, r.width, r.height) & cv::Rect(0, 0, img->width, img->height);
}

// Show's work for either kind of target (a wx device context or a buffer).
template <class Target>
void ShowPart(const IplImage* img, Target& target, int x, int y, int width, int height, int fromX, int fromY) {
    if (!Drawable(img)) return;
    const cv::Rect src = ShowSource(img, width, height, fromX, fromY);
    DrawInto(target, Pixels(img), src, img->origin == IPL_ORIGIN_BL, cv::Rect(x, y, src.width, src.height),
             Scale::None);
}

// DrawToHDC's work: the region of interest into the rectangle, copied at the
// same size, smoothed into a narrower one, stretched nearest-neighbour otherwise.
template <class Target>
void DrawFitted(const IplImage* img, Target& target, const RECT* destination) {
    if (!destination || !Drawable(img)) return;
    const cv::Rect src = RoiOf(img);
    const CvRect d = RectToCvRect(*destination);
    if (src.width == d.width && src.height == d.height) {
        ShowPart(img, target, d.x, d.y, d.width, d.height, src.x, src.y);
        return;
    }
    DrawInto(target, Pixels(img), src, img->origin == IPL_ORIGIN_BL, cv::Rect(d.x, d.y, d.width, d.height),
             d.width < src.width ? Scale::Smooth : Scale::Nearest);
}

// Top-level window that shows a copy of an image, found again by its title.
class CvvNamedWindow : public wxFrame {
public:
    explicit CvvNamedWindow(const wxString& title)
        : wxFrame(nullptr, wxID_ANY, title, wxDefaultPosition, wxDefaultSize,
                  wxDEFAULT_FRAME_STYLE & ~(wxRESIZE_BORDER | wxMAXIMIZE_BOX)) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, &CvvNamedWindow::OnPaint, this);
    }
    void SetPicture(CvvImage& image) {
        m_picture.CopyOf(image, -1);
        Refresh();
    }
    static CvvNamedWindow* Find(const wxString& title) {
        for (wxWindow* w : wxTopLevelWindows) {
            auto* named = dynamic_cast<CvvNamedWindow*>(w);
            if (named && !named->IsBeingDeleted() && named->GetTitle() == title) return named;
        }
        return nullptr;
    }

private:
    void OnPaint(wxPaintEvent&) {
        wxPaintDC dc(this);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        const wxSize size = GetClientSize();
        RECT r{0, 0, size.x, size.y};
        m_picture.DrawToHDC(&dc, &r);
    }
    CvvImage m_picture;
};

}  // namespace

void FillBitmapInfo(CvvBitmapInfo* bmi, int width, int height, int bpp, int origin) {
    if (!bmi) return;
    std::memset(bmi, 0, sizeof *bmi);
    BITMAPINFOHEADER& h = bmi->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = origin ? std::abs(height) : -std::abs(height);
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bpp);
    h.biCompression = kBitmapRgb;
    if (bpp == 8) {
        for (int i = 0; i < 256; ++i) {
            bmi->bmiColors[i].rgbBlue = bmi->bmiColors[i].rgbGreen = bmi->bmiColors[i].rgbRed =
                static_cast<BYTE>(i);
        }
    }
}

CvRect RectToCvRect(const RECT& rect) {
    return cvRect(std::min(rect.left, rect.right), std::min(rect.top, rect.bottom),
                  std::abs(rect.right - rect.left), std::abs(rect.bottom - rect.top));
}

CvvImage::CvvImage() = default;

CvvImage::~CvvImage() { Destroy(); }

bool CvvImage::Create(int width, int height, int bpp, int origin) {
    if ((bpp != 8 && bpp != 24 && bpp != 32) || width < 0 || width > 9999 || height < 0 || height > 9999 ||
        (origin != IPL_ORIGIN_TL && origin != IPL_ORIGIN_BL))
        return false;
    if (m_img && m_img->nChannels * m_img->depth == bpp && m_img->width == width && m_img->height == height) {
        m_img->origin = origin;
        return true;
    }
    Destroy();
    try {
        m_img = cvCreateImage(cvSize(width, height), IPL_DEPTH_8U, bpp / 8);
    } catch (const cv::Exception&) {
        m_img = nullptr;
    }
    if (m_img) m_img->origin = origin;
    return m_img != nullptr;
}

void CvvImage::CopyOf(IplImage* img, int desiredColor) {
    if (!img || !CV_IS_IMAGE_HDR(img) || !img->imageData) return;
    if (img == m_img) {
        // Copying the held image onto itself: work from a copy, since making
        // the new image may release this one.
        IplImage* copy = cvCloneImage(img);
        if (!copy) return;
        CopyOf(copy, desiredColor);
        cvReleaseImage(&copy);
        return;
    }
    const CvSize size = cvGetSize(img);
    if (desiredColor < 0) desiredColor = img->nChannels > 1 ? 1 : 0;
    const int channels = desiredColor == 0 ? 1 : (img->nChannels > 1 ? img->nChannels : 3);
    if (Create(size.width, size.height, channels * 8, img->origin)) cvConvertImage(img, m_img, 0);
}

void CvvImage::CopyOf(CvvImage& image, int desiredColor) {
    if (image.m_img) CopyOf(image.m_img, desiredColor);
}

bool CvvImage::Load(const char* filename, int desiredColor) {
    IplImage* img = cvLoadImage(filename, desiredColor);
    if (!img) return false;
    CopyOf(img, desiredColor);
    cvReleaseImage(&img);
    return true;
}

bool CvvImage::LoadRect(const char* filename, int desiredColor, CvRect r) {
    if (r.width < 0 || r.height < 0) return false;
    IplImage* img = cvLoadImage(filename, desiredColor);
    if (!img) return false;
    if (r.width == 0 || r.height == 0) r = cvRect(0, 0, img->width, img->height);
    if (r.x > img->width || r.y > img->height || r.x + r.width < 0 || r.y + r.height < 0) {
        cvReleaseImage(&img);
        return false;
    }
    if (r.x < 0) {
        r.width += r.x;
        r.x = 0;
    }
    if (r.y < 0) {
        r.height += r.y;
        r.y = 0;
    }
    r.width = std::min(r.width, img->width - r.x);
    r.height = std::min(r.height, img->height - r.y);
    // A rectangle that only touches an edge (x at the width, or x + width at 0)
    // has nothing left after clipping: there is no picture to hold, and the
    // image library refuses an empty region at the far edge.
    if (r.width <= 0 || r.height <= 0) {
        cvReleaseImage(&img);
        return false;
    }
    cvSetImageROI(img, r);
    CopyOf(img, desiredColor);
    cvReleaseImage(&img);
    return true;
}

bool CvvImage::LoadRect(const char* filename, int desiredColor, RECT r) {
    return LoadRect(filename, desiredColor, cvRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
}

bool CvvImage::Save(const char* filename) {
    if (!m_img) return false;
    return cvSaveImage(filename, m_img) != 0;
}

void CvvImage::Destroy() {
    if (m_img) cvReleaseImage(&m_img);
    m_img = nullptr;
}

void CvvImage::Fill(int color) {
    if (!m_img) return;
    cvSet(m_img, cvScalar(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF, (color >> 24) & 0xFF));
}

void CvvImage::Show(wxDC* dc, int x, int y, int width, int height, int fromX, int fromY) {
    ShowPart(m_img, dc, x, y, width, height, fromX, fromY);
}

void CvvImage::Show(cv::Mat& target, int x, int y, int width, int height, int fromX, int fromY) {
    ShowPart(m_img, target, x, y, width, height, fromX, fromY);
}

void CvvImage::Show(const char* window) {
    if (!m_img || !window) return;
    const wxString title = wxString::FromUTF8(window);
    CvvNamedWindow* frame = CvvNamedWindow::Find(title);
    if (!frame) frame = new CvvNamedWindow(title);
    frame->SetPicture(*this);
    frame->SetClientSize(std::max(1, m_img->width), std::max(1, m_img->height));
    frame->Show();
}

void CvvImage::DrawToHDC(wxDC* dc, RECT* destination) { DrawFitted(m_img, dc, destination); }

void CvvImage::DrawToHDC(cv::Mat& target, RECT* destination) { DrawFitted(m_img, target, destination); }

void DrawImageToBuffer(const IplImage* img, cv::Mat& target, RECT* destination) {
    DrawFitted(img, target, destination);
}

void CvvImage::DrawToHDC(plat::CFrameSurface* surface, RECT* destination) {
    if (!surface || !destination || !Drawable(m_img)) return;
    surface->Render([&](cv::Mat& buffer) { DrawToHDC(buffer, destination); });
}

void CvvImage::DrawToHDC(const plat::FrameSurfaceRef& surface, RECT* destination) {
    if (!surface || !destination || !Drawable(m_img)) return;
    surface.Render([&](cv::Mat& buffer) { DrawToHDC(buffer, destination); });
}
