#pragma once
// A control whose picture is rendered by a capture thread.  The thread draws
// into the surface's own buffer under its mutex and asks for a repaint (at
// most one pending); the user-interface thread copies the buffer to the screen
// when it paints.  Where the display allows, Render also puts the picture on
// the screen itself, and no repaint is asked for.
//
// The buffer lives in state shared with the control.  A capture thread that
// may outlive the control keeps a FrameSurfaceRef: rendering through it after
// the control is gone draws into the orphaned buffer and repaints nothing.
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>

#include <opencv2/core.hpp>
#include <wx/window.h>

struct _cairo_surface;

namespace plat {

struct FrameSurfaceState;

// A handle on a surface's buffer; any thread; copyable.
class FrameSurfaceRef {
public:
    FrameSurfaceRef() = default;
    explicit FrameSurfaceRef(std::shared_ptr<FrameSurfaceState> state) : m_state(std::move(state)) {}

    // See CFrameSurface::Render.  Nothing happens on an empty ref.
    void Render(const std::function<void(cv::Mat& buffer)>& draw) const;
    // Rows (`*step` bytes apart) in which a maker may write the next picture,
    // of the buffer's size, in the display's own format (BgrRowToBgrx), as it
    // makes it; nullptr where the picture does not go to the screen that way.
    std::shared_ptr<unsigned char> ReserveDisplayRows(cv::Size size, std::size_t* step) const;
    // Puts the picture written into those rows on the screen as the
    // surface's picture: the buffer takes it only when it is next wanted.
    // False (nothing shown) when the rows were not reserved for the buffer's
    // present size, or the display refused.
    bool ShowDisplayRows(cv::Size size) const;
    cv::Size GetBufferSize() const;
    cv::Mat Snapshot() const;
    bool HasPicture() const;
    // Whether the control still exists (a hint: it may go right after).
    bool IsAlive() const;
    explicit operator bool() const { return static_cast<bool>(m_state); }

private:
    std::shared_ptr<FrameSurfaceState> m_state;
};

class CFrameSurface : public wxWindow {
public:
    CFrameSurface();
    CFrameSurface(wxWindow* parent, int id, const wxRect& rect);
    ~CFrameSurface() override;

    // Two-step creation, as the dialogs subclass their template controls.
    bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text = wxString(),
                long style = 0);

    // Any thread.  Calls `draw` with the buffer (8-bit, 3 channels, B, G, R,
    // rows top-down, the control's client size) under the surface mutex, then
    // requests one coalesced repaint.  Nothing is drawn while the control has
    // no client area.
    void Render(const std::function<void(cv::Mat& buffer)>& draw);

    // Any thread: the buffer's size (the client size when last laid out).
    cv::Size GetBufferSize() const;
    // Any thread: a copy of the buffer (tests, window screenshots).
    cv::Mat Snapshot() const;
    // Whether the buffer has been drawn since creation or the last Clear.
    bool HasPicture() const;
    // Pictures put on the screen straight from Render, without a repaint.
    unsigned PresentedCount() const;
    // Forgets the picture; the control paints its background again.
    void Clear();

    // A handle for threads that may outlive the control.
    FrameSurfaceRef GetRef() const { return FrameSurfaceRef(m_state); }

private:
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void ResizeBuffer();
    void StartPresenting();
    // The picture in the display's own pixel format, painted as it is.
    _cairo_surface* ScreenPicture(const cv::Mat& buffer, _cairo_surface* target);

    std::shared_ptr<FrameSurfaceState> m_state;
    _cairo_surface* m_screen = nullptr;  // user-interface thread
    bool m_presenterTried = false;       // user-interface thread
};

}  // namespace plat
