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

private:
    ShmPresenter() = default;
    // Shared memory for at least `bytes`, attached on both sides.
    bool EnsureSegment(std::size_t bytes);
    void DropSegment();
    // Waits until the display has done with the last picture and takes any
    // error it reported.
    bool Settle();

    xcb_connection_t* m_conn = nullptr;
    unsigned m_window = 0;
    unsigned m_gc = 0;
    unsigned char m_depth = 0;
    unsigned m_seg = 0;
    int m_shmId = -1;
    void* m_shmAddr = nullptr;
    std::size_t m_shmSize = 0;
    bool m_pending = false;
    unsigned m_syncSequence = 0;
    bool m_broken = false;
};

}  // namespace plat
