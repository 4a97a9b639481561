#pragma once
// Puts a B, G, R picture straight onto a control's native X window through
// shared memory, from whichever thread rendered it, on a display connection
// of its own.
//
// A camera frame reaches the screen this way without a paint cycle of the
// toolkit on the user-interface thread (an event, a double buffer made and
// copied, a conversion of the whole view there): the display server copies
// the picture from memory it shares with us.  Where that cannot be done (not
// an X display, no shared memory, an unusual pixel format, a scaled display),
// ForWindow gives nothing and the control repaints as before.
#include <cstddef>
#include <memory>

#include <opencv2/core.hpp>

struct _GdkWindow;
struct xcb_connection_t;

namespace plat {

// `width` pixels B, G, R into the display's words (B, G, R, unused).
void BgrRowToBgrx(const unsigned char* bgr, unsigned char* out, int width);
// After the last row of a picture: the rows this thread wrote with
// BgrRowToBgrx (with stores that bypass the cache, which drain on their own
// meanwhile) are all in memory, for another thread to show them.  Showing
// them from the writing thread does this itself.
void RowsToBgrxDone();

class ShmPresenter {
public:
    // User-interface thread: a presenter for a realized native window, or
    // nothing where the window cannot be drawn this way.
    static std::unique_ptr<ShmPresenter> ForWindow(_GdkWindow* window);
    ~ShmPresenter();
    ShmPresenter(const ShmPresenter&) = delete;
    ShmPresenter& operator=(const ShmPresenter&) = delete;

    // Any thread, one call at a time: puts `bgr` (8-bit, 3 channels, rows
    // top-down) at the window's origin.  Returns false, for this and every
    // later call, once the display refused a request (the window is gone) or
    // the connection broke; the caller then repaints the usual way.
    bool Present(const cv::Mat& bgr);

    // For a maker that writes the next picture in the display's own format
    // (BgrRowToBgrx) as it makes it: rows of `size` to write, `*step` bytes
    // apart, that the display no longer reads; nullptr where it cannot be.
    // PresentReserved then puts them on the window, once.  Present meanwhile
    // leaves them alone.  Calls one at a time, as for Present.
    // The rows stay mapped while the maker holds them, even once the
    // presenter is gone (the window closed while a frame was being made).
    std::shared_ptr<unsigned char> Reserve(cv::Size size, std::size_t* step);
    bool PresentReserved(cv::Size size);
    // The picture last put on the window, back into `bgr` (of its size);
    // false when there is none of that size.
    bool ReadShown(cv::Mat& bgr);

private:
    struct Segment {
        std::shared_ptr<unsigned char> addr;  // unmapped with its last holder
        std::size_t size = 0;
        unsigned seg = 0;
    };
    ShmPresenter() = default;
    // Shared memory for at least `bytes`, attached on both sides.
    bool EnsureSegment(Segment& segment, std::size_t bytes);
    void DropSegment(Segment& segment);
    // Waits until the display has done with the last picture and takes any
    // error it reported.
    bool Settle();
    bool Fits(cv::Size size) const;
    // Puts segment `index` (a picture of `size`) on the window.
    bool Put(int index, cv::Size size);

    xcb_connection_t* m_conn = nullptr;
    unsigned m_window = 0;
    unsigned m_gc = 0;
    unsigned char m_depth = 0;
    // Two pictures: the one last put on the window, and the next.
    Segment m_segments[2];
    int m_front = 0;
    bool m_reserved = false;
    cv::Size m_reservedSize, m_shownSize;
    bool m_pending = false;
    unsigned m_syncSequence = 0;
    bool m_broken = false;
};

}  // namespace plat
