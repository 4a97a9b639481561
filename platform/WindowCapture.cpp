#include "platform/WindowCapture.h"

#include <gtk/gtk.h>
#include <wx/window.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace plat {

namespace {

// Renders `area` of the client area of `win` and hands each row to `row` as
// native-endian 0x00RRGGBB words (cairo's RGB24; the top byte is unspecified).
// False when there is nothing to render.
bool RenderArea(wxWindow* win, const wxRect& area,
                const std::function<void(int y, const std::uint32_t* pixels)>& row) {
    if (win == nullptr || area.width <= 0 || area.height <= 0 || !win->IsShownOnScreen()) return false;
    GtkWidget* outer = GTK_WIDGET(win->GetHandle());
    if (outer == nullptr || !gtk_widget_get_realized(outer)) return false;
    const wxSize client = win->GetClientSize();
    if (client.x <= 0 || client.y <= 0) return false;

    // The client area is wx's inner widget; drawing the outer one keeps the
    // background and the children exactly as GTK shows them, shifted so the
    // area's corner lands at (0, 0).
    int dx = 0;
    int dy = 0;
    GtkWidget* inner = win->m_wxwindow;
    if (inner != nullptr && inner != outer &&
        !gtk_widget_translate_coordinates(inner, outer, 0, 0, &dx, &dy)) {
        dx = dy = 0;
    }

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, area.width, area.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return false;
    }
    cairo_t* cr = cairo_create(surface);
    // Whatever the widgets leave unpainted comes out black, as a fresh screen
    // bitmap would; so does what lies beyond the client area.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_rectangle(cr, -area.x, -area.y, client.x, client.y);
    cairo_clip(cr);
    cairo_translate(cr, -dx - area.x, -dy - area.y);
    gtk_widget_draw(outer, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);

    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < area.height; ++y)
        row(y, reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(y) * stride));
    cairo_surface_destroy(surface);
    return true;
}

}  // namespace

cv::Mat CaptureClientArea(wxWindow* win) {
    if (win == nullptr) return {};
    return CaptureClientArea(win, wxRect(win->GetClientSize()));
}

cv::Mat CaptureClientArea(wxWindow* win, const wxRect& area) {
    cv::Mat out(std::max(area.height, 0), std::max(area.width, 0), CV_8UC4);
    const bool drawn = RenderArea(win, area, [&](int y, const std::uint32_t* src) {
        unsigned char* dst = out.ptr<unsigned char>(y);
        for (int x = 0; x < area.width; ++x) {
            const std::uint32_t px = src[x];
            dst[4 * x + 0] = static_cast<unsigned char>(px & 0xFF);
            dst[4 * x + 1] = static_cast<unsigned char>((px >> 8) & 0xFF);
            dst[4 * x + 2] = static_cast<unsigned char>((px >> 16) & 0xFF);
            dst[4 * x + 3] = 0;
        }
    });
    return drawn ? out : cv::Mat();
}

wxImage CaptureClientAreaImage(wxWindow* win, const wxRect& area) {
    if (area.width <= 0 || area.height <= 0) return wxImage();
    wxImage out(area.width, area.height, false);
    unsigned char* rgb = out.GetData();
    const bool drawn = RenderArea(win, area, [&](int y, const std::uint32_t* src) {
        unsigned char* dst = rgb + static_cast<std::size_t>(y) * area.width * 3;
        for (int x = 0; x < area.width; ++x, dst += 3) {
            const std::uint32_t px = src[x];
            dst[0] = static_cast<unsigned char>((px >> 16) & 0xFF);
            dst[1] = static_cast<unsigned char>((px >> 8) & 0xFF);
            dst[2] = static_cast<unsigned char>(px & 0xFF);
        }
    });
    return drawn ? out : wxImage();
}

}  // namespace plat
