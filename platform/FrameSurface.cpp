#include "platform/FrameSurface.h"

#include <atomic>

#include <gtk/gtk.h>
#include <opencv2/imgproc.hpp>
#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/image.h>

#include "platform/CrossThread.h"
#include "platform/FairMutex.h"
#include "platform/ShmPresenter.h"

namespace plat {

struct FrameSurfaceState {
    // Fair: a capture thread renders frame after frame under it, and the
    // user-interface thread must get in between to paint, resize or close.
    mutable FairMutex mutex;
    cv::Mat buffer;
    bool hasPicture = false;
    std::atomic<bool> repaintPending{false};
    // Puts each rendered picture on the screen from the rendering thread,
    // where the display allows (under the mutex; null otherwise).
    std::unique_ptr<ShmPresenter> presenter;
    std::atomic<unsigned> presented{0};
    // The last picture went to the screen straight from display rows and is
    // not in the buffer yet; it is read back when the buffer is wanted.
    bool bufferBehind = false;
    // User-interface thread only: the control, cleared by its destructor.
    wxWindow* window = nullptr;
    std::atomic<bool> alive{false};
};

namespace {

// Under the mutex, before the buffer is read or drawn into.
void CatchUp(FrameSurfaceState& state) {
    if (!state.bufferBehind) return;
    state.bufferBehind = false;
    if (!state.presenter || !state.presenter->ReadShown(state.buffer)) state.buffer.setTo(cv::Scalar(0, 0, 0));
}

void RequestRepaint(const std::shared_ptr<FrameSurfaceState>& state) {
    if (!state->alive || state->repaintPending.exchange(true)) return;
    PostToUiThread([state] {
        state->repaintPending = false;
        if (state->window) state->window->Refresh(false);
    });
}

void RenderInto(const std::shared_ptr<FrameSurfaceState>& state, const std::function<void(cv::Mat&)>& draw) {
    {
        std::lock_guard<FairMutex> lock(state->mutex);
        if (state->buffer.empty()) return;
        CatchUp(*state);
        draw(state->buffer);
        state->hasPicture = true;
        ShmPresenter* p = state->alive ? state->presenter.get() : nullptr;
        if (p && p->Present(state->buffer)) {
            ++state->presented;
            return;
        }
    }
    RequestRepaint(state);
}

}  // namespace

void FrameSurfaceRef::Render(const std::function<void(cv::Mat&)>& draw) const {
    if (m_state) RenderInto(m_state, draw);
}

bool FrameSurfaceRef::ShowDisplayRows(cv::Size size) const {
    if (!m_state) return false;
    std::lock_guard<FairMutex> lock(m_state->mutex);
    ShmPresenter* p = m_state->alive ? m_state->presenter.get() : nullptr;
    if (!p || m_state->buffer.size() != size || !p->PresentReserved(size)) return false;
    m_state->bufferBehind = true;
    m_state->hasPicture = true;
    ++m_state->presented;
    return true;
}

std::shared_ptr<unsigned char> FrameSurfaceRef::ReserveDisplayRows(cv::Size size, std::size_t* step) const {
    if (!m_state) return nullptr;
    std::lock_guard<FairMutex> lock(m_state->mutex);
    if (!m_state->presenter || !m_state->alive || m_state->buffer.size() != size) return nullptr;
    return m_state->presenter->Reserve(size, step);
}

cv::Size FrameSurfaceRef::GetBufferSize() const {
    if (!m_state) return {};
    std::lock_guard<FairMutex> lock(m_state->mutex);
    return m_state->buffer.size();
}

cv::Mat FrameSurfaceRef::Snapshot() const {
    if (!m_state) return {};
    std::lock_guard<FairMutex> lock(m_state->mutex);
    CatchUp(*m_state);
    return m_state->buffer.clone();
}

bool FrameSurfaceRef::HasPicture() const {
    if (!m_state) return false;
    std::lock_guard<FairMutex> lock(m_state->mutex);
    return m_state->hasPicture;
}

bool FrameSurfaceRef::IsAlive() const { return m_state && m_state->alive; }

CFrameSurface::CFrameSurface() : m_state(std::make_shared<FrameSurfaceState>()) {}

CFrameSurface::CFrameSurface(wxWindow* parent, int id, const wxRect& rect) : CFrameSurface() {
    Create(parent, id, rect);
}

CFrameSurface::~CFrameSurface() {
    {
        // A rendering thread in the middle of a picture finishes it first;
        // none draws on the window after this.
        std::lock_guard<FairMutex> lock(m_state->mutex);
        m_state->presenter.reset();
    }
    m_state->alive = false;
    m_state->window = nullptr;
    if (m_screen) cairo_surface_destroy(m_screen);
}

bool CFrameSurface::Create(wxWindow* parent, int id, const wxRect& rect, const wxString&, long) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxWindow::Create(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE))
        return false;
    SetBackgroundColour(*wxBLACK);
    Bind(wxEVT_PAINT, &CFrameSurface::OnPaint, this);
    Bind(wxEVT_SIZE, &CFrameSurface::OnSize, this);
    m_state->window = this;
    m_state->alive = true;
    // Repainted at the camera's rate, the surface gets a window of its own on
    // the display: GTK 3 draws a child without one as part of its parent, so
    // each frame made the parent paint its background under the view as well.
    // (Where the display offers none, as on Wayland, nothing changes.)
    GtkWidget* widget = m_wxwindow ? m_wxwindow : GTK_WIDGET(GetHandle());
    gtk_widget_realize(widget);
    if (GdkWindow* own = gtk_widget_get_window(widget)) gdk_window_ensure_native(own);
    ResizeBuffer();
    return true;
}

void CFrameSurface::ResizeBuffer() {
    const wxSize size = GetClientSize();
    std::lock_guard<FairMutex> lock(m_state->mutex);
    if (size.x <= 0 || size.y <= 0) {
        m_state->buffer.release();
        m_state->hasPicture = false;
        return;
    }
    if (m_state->buffer.cols == size.x && m_state->buffer.rows == size.y) return;
    CatchUp(*m_state);
    cv::Mat fresh(size.y, size.x, CV_8UC3, cv::Scalar(0, 0, 0));
    // Until the next frame, the old picture stretched is closer to the truth
    // than a black area.
    if (m_state->hasPicture && !m_state->buffer.empty())
        cv::resize(m_state->buffer, fresh, fresh.size(), 0, 0, cv::INTER_LINEAR);
    m_state->buffer = fresh;
}

void CFrameSurface::OnSize(wxSizeEvent& event) {
    ResizeBuffer();
    Refresh(false);
    event.Skip();
}

cairo_surface_t* CFrameSurface::ScreenPicture(const cv::Mat& buffer, cairo_surface_t* target) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (!m_screen || cairo_image_surface_get_width(m_screen) != buffer.cols ||
        cairo_image_surface_get_height(m_screen) != buffer.rows) {
        if (m_screen) cairo_surface_destroy(m_screen);
        // Made for the window's own surface: on X a picture in shared memory,
        // which goes to the display without another copy.
        m_screen = cairo_surface_create_similar_image(target, CAIRO_FORMAT_RGB24, buffer.cols, buffer.rows);
    }
    if (cairo_surface_status(m_screen) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(m_screen) != CAIRO_SURFACE_TYPE_IMAGE)
        return nullptr;
    cairo_surface_flush(m_screen);
    // RGB24 pixels are 32-bit words 0x00RRGGBB: bytes B, G, R and one unused.
    cv::Mat out(buffer.rows, buffer.cols, CV_8UC4, cairo_image_surface_get_data(m_screen),
                static_cast<std::size_t>(cairo_image_surface_get_stride(m_screen)));
    cv::cvtColor(buffer, out, cv::COLOR_BGR2BGRA);
    cairo_surface_mark_dirty(m_screen);
    return m_screen;
#else
    return nullptr;
#endif
}

void CFrameSurface::StartPresenting() {
    m_presenterTried = true;
    GtkWidget* widget = m_wxwindow ? m_wxwindow : GTK_WIDGET(GetHandle());
    GdkWindow* own = widget ? gtk_widget_get_window(widget) : nullptr;
    auto presenter = ShmPresenter::ForWindow(own);
    std::lock_guard<FairMutex> lock(m_state->mutex);
    m_state->presenter = std::move(presenter);
}

void CFrameSurface::OnPaint(wxPaintEvent&) {
    // Once the window is on the screen, its own window on the display can
    // take the pictures straight from the rendering thread.
    if (!m_presenterTried) StartPresenting();
    wxPaintDC dc(this);
    // The buffer goes to the screen in one conversion into the display's
    // format; a wxImage and a wxBitmap made from it cost three more passes
    // and two allocations at every frame.
    auto* cr = static_cast<cairo_t*>(dc.GetImpl() ? dc.GetImpl()->GetCairoContext() : nullptr);
    wxImage image;
    cairo_surface_t* screen = nullptr;
    {
        std::lock_guard<FairMutex> lock(m_state->mutex);
        if (m_state->hasPicture && !m_state->buffer.empty()) {
            CatchUp(*m_state);
            const cv::Mat& buf = m_state->buffer;
            if (cr) screen = ScreenPicture(buf, cairo_get_target(cr));
            if (!screen) {
                image.Create(buf.cols, buf.rows, false);
                cv::Mat rgb(buf.rows, buf.cols, CV_8UC3, image.GetData());
                cv::cvtColor(buf, rgb, cv::COLOR_BGR2RGB);
            }
        }
    }
    if (screen) {
        cairo_save(cr);
        cairo_set_source_surface(cr, screen, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
        return;
    }
    if (image.IsOk()) {
        dc.DrawBitmap(wxBitmap(image), 0, 0, false);
        return;
    }
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
}

void CFrameSurface::Render(const std::function<void(cv::Mat&)>& draw) { RenderInto(m_state, draw); }

cv::Size CFrameSurface::GetBufferSize() const { return GetRef().GetBufferSize(); }

cv::Mat CFrameSurface::Snapshot() const { return GetRef().Snapshot(); }

bool CFrameSurface::HasPicture() const { return GetRef().HasPicture(); }

unsigned CFrameSurface::PresentedCount() const { return m_state->presented; }

void CFrameSurface::Clear() {
    {
        std::lock_guard<FairMutex> lock(m_state->mutex);
        m_state->hasPicture = false;
        m_state->bufferBehind = false;
        if (!m_state->buffer.empty()) m_state->buffer.setTo(cv::Scalar(0, 0, 0));
    }
    Refresh(false);
}

}  // namespace plat
