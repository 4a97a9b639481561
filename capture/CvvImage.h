#pragma once
// Holder of one image-library image (IplImage) that draws it into a window.
//
// Drawing targets stand where the Windows device context stood:
//  - a wx device context (wxDC*), drawn on the user-interface thread;
//  - a frame surface buffer (cv::Mat of 8-bit B, G, R, as plat::CFrameSurface::Render
//    hands it), on any thread;
//  - a frame surface itself, or a handle on one, rendered through its Render
//    call (one coalesced repaint), on any thread.
// A picture drawn at its own size is copied; into a narrower rectangle it is
// reduced with smoothing (pixel-area averaging); otherwise it is stretched
// nearest-neighbour.  One-channel images are drawn through a grey palette,
// four-channel images without their fourth channel.  An image whose origin is
// bottom-left is shown with its rows in the opposite order, as a bottom-up
// bitmap is.
#include <opencv2/core/core_c.h>

#include "platform/WinTypes.h"
#include "platform/camera/DShow.h"

class wxDC;
namespace cv {
class Mat;
}
namespace plat {
class CFrameSurface;
class FrameSurfaceRef;
}  // namespace plat

// Bitmap header with room for a 256-entry palette.
struct CvvBitmapInfo {
    BITMAPINFOHEADER bmiHeader;
    struct {
        BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
    } bmiColors[256];
};

constexpr DWORD kBitmapRgb = 0;  // BI_RGB: uncompressed

// Describes an image of the given size as a bitmap: top-down (negative height)
// for origin 0, bottom-up for origin 1; 8 bits per pixel get a grey palette.
void FillBitmapInfo(CvvBitmapInfo* bmi, int width, int height, int bpp, int origin);
// The rectangle with its corners put in order.
CvRect RectToCvRect(const RECT& rect);
// What CvvImage::DrawToHDC draws into a frame surface buffer, straight from
// an image the caller holds: the same pixels, without a copy of the image.
void DrawImageToBuffer(const IplImage* img, cv::Mat& target, RECT* destination);

class CvvImage {
public:
    CvvImage();
    virtual ~CvvImage();
    // The holder owns its image: copies are made with CopyOf only.
    CvvImage(const CvvImage&) = delete;
    CvvImage& operator=(const CvvImage&) = delete;

    // Bits per pixel 8, 24 or 32; width and height 0..9999; origin 0 (top-left)
    // or 1 (bottom-left).  An image already held with the same size and bits
    // per pixel is kept (pixels untouched), only its origin set.
    virtual bool Create(int width, int height, int bpp, int origin = 0);
    // Desired colour: 1 colour, 0 grey, negative as stored.  On failure the
    // holder keeps what it held.
    virtual bool Load(const char* filename, int desiredColor = 1);
    virtual bool LoadRect(const char* filename, int desiredColor, RECT rect);
    virtual bool LoadRect(const char* filename, int desiredColor, CvRect rect);
    // False without an image or when the file cannot be written.
    virtual bool Save(const char* filename);
    // Deep copy of the image (its region of interest when set), converted to
    // the desired colour; ignored for a missing or invalid image.
    virtual void CopyOf(IplImage* img, int desiredColor = 1);
    virtual void CopyOf(CvvImage& image, int desiredColor = 1);
    virtual void Destroy();
    // The colour's lowest byte goes to the first channel.
    virtual void Fill(int color);

    // Draws the part (fromX, fromY, width, height) of the image at (x, y),
    // unscaled, cut at the image's edges.
    virtual void Show(wxDC* dc, int x, int y, int width, int height, int fromX = 0, int fromY = 0);
    virtual void Show(cv::Mat& target, int x, int y, int width, int height, int fromX = 0, int fromY = 0);
    // Shows the image in a top-level window of that title, made on first use
    // (user-interface thread).
    virtual void Show(const char* window);
    // Draws the image's region of interest (the whole image without one) into
    // the rectangle, scaled to fit it.
    virtual void DrawToHDC(wxDC* dc, RECT* destination);
    virtual void DrawToHDC(cv::Mat& target, RECT* destination);
    virtual void DrawToHDC(plat::CFrameSurface* surface, RECT* destination);
    virtual void DrawToHDC(const plat::FrameSurfaceRef& surface, RECT* destination);

protected:
    IplImage* m_img = nullptr;
};
