#pragma once
// A control whose picture is rendered by a capture thread.  The thread draws
// into the surface's own buffer under its mutex and asks for a repaint (at
// most one pending); the user-interface thread copies the buffer to the screen
// when it paints.
#include <functional>
#include <mutex>

#include <opencv2/core.hpp>
#include <wx/window.h>

namespace plat {

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
    // requests one coalesced repaint.
    void Render(const std::function<void(cv::Mat& buffer)>& draw);

    // Any thread: the buffer's size (the client size when last laid out).
    cv::Size GetBufferSize() const;
    // Any thread: a copy of the buffer (tests, window screenshots).
    cv::Mat Snapshot() const;
    // Whether the buffer has been drawn since creation or the last Clear.
    bool HasPicture() const;
    // Forgets the picture; the control paints its background again.
    void Clear();

private:
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void RequestRepaint();

    mutable std::mutex m_mutex;
    cv::Mat m_buffer;
    bool m_hasPicture = false;
    bool m_repaintPending = false;
    std::shared_ptr<bool> m_alive;
};

}  // namespace plat
