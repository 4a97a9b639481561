#include "platform/ui/ControlStyle.h"

#include <gtk/gtk.h>

namespace plat {

void InstallCompactControlStyle() {
    static bool installed = false;
    if (installed) return;
    GdkScreen* screen = gdk_screen_get_default();
    if (!screen) return;
    installed = true;
    GtkCssProvider* css = gtk_css_provider_new();
    static const char kStyle[] =
        "entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
        "button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
        "combobox button { padding: 0 2px; }\n"
        "radio, check { min-height: 0; min-width: 0; margin: 0 2px 0 0; }\n"
        "radiobutton, checkbutton { padding: 0; }\n";
    gtk_css_provider_load_from_data(css, kStyle, -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

}  // namespace plat
