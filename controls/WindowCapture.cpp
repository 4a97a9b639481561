#include "controls/WindowCapture.h"

#include <gtk/gtk.h>

namespace skin {

static int s_captureDepth = 0;

bool IsCapturing() { return s_captureDepth > 0; }

wxImage CaptureWindowArea(wxWindow* parent, const wxRect& area) {
    const int w = std::max(area.width, 1), h = std::max(area.height, 1);
    wxImage out(w, h, true);
    GtkWidget* widget = parent->m_wxwindow ? parent->m_wxwindow : parent->m_widget;
    if (!widget || !gtk_widget_get_realized(widget)) return out;

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(surface);
    cairo_translate(cr, -area.x, -area.y);
    ++s_captureDepth;
    gtk_widget_draw(widget, cr);
    --s_captureDepth;
    cairo_destroy(cr);
    cairo_surface_flush(surface);

    const unsigned char* src = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    unsigned char* dst = out.GetData();
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(src + y * stride);
        for (int x = 0; x < w; ++x, dst += 3) {
            const uint32_t px = row[x];
            dst[0] = (px >> 16) & 0xFF;
            dst[1] = (px >> 8) & 0xFF;
            dst[2] = px & 0xFF;
        }
    }
    cairo_surface_destroy(surface);
    return out;
}

wxImage CaptureWindow(wxWindow* win) {
    return CaptureWindowArea(win, wxRect(win->GetClientSize()));
}

}  // namespace skin
