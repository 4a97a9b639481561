#include "platform/WindowCapture.h"

#include <gtk/gtk.h>
#include <wx/window.h>

#include <cstddef>
#include <cstdint>

namespace plat {

cv::Mat CaptureClientArea(wxWindow* win) {
    if (win == nullptr || !win->IsShownOnScreen()) return {};
    GtkWidget* outer = GTK_WIDGET(win->GetHandle());
    if (outer == nullptr || !gtk_widget_get_realized(outer)) return {};

    const wxSize client = win->GetClientSize();
    if (client.x <= 0 || client.y <= 0) return {};

    // The client area is wx's inner widget; drawing the outer one keeps the
    // background and the children exactly as GTK shows them, shifted so the
    // client area's corner lands at (0, 0).
    int dx = 0;
    int dy = 0;
    GtkWidget* inner = win->m_wxwindow;
    if (inner != nullptr && inner != outer &&
        !gtk_widget_translate_coordinates(inner, outer, 0, 0, &dx, &dy)) {
        dx = dy = 0;
    }

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, client.x, client.y);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return {};
    }
    cairo_t* cr = cairo_create(surface);
    // Whatever the widgets leave unpainted comes out black, as a fresh screen
    // bitmap would.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_paint(cr);
    cairo_translate(cr, -dx, -dy);
    gtk_widget_draw(outer, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);

    // RGB24 keeps each pixel as a native-endian 32-bit 0x00RRGGBB word whose
    // top byte is unspecified.
    cv::Mat out(client.y, client.x, CV_8UC4);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < client.y; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride);
        unsigned char* dst = out.ptr<unsigned char>(y);
        for (int x = 0; x < client.x; ++x) {
            const std::uint32_t px = src[x];
            dst[4 * x + 0] = static_cast<unsigned char>(px & 0xFF);
            dst[4 * x + 1] = static_cast<unsigned char>((px >> 8) & 0xFF);
            dst[4 * x + 2] = static_cast<unsigned char>((px >> 16) & 0xFF);
            dst[4 * x + 3] = 0;
        }
    }
    cairo_surface_destroy(surface);
    return out;
}

}  // namespace plat
