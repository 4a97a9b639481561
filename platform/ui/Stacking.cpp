#include "platform/ui/Stacking.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace plat {

namespace {

// "configure-event" of the owner: X reports a change of its place in the
// stacking order (a raise) as a configure notification too.
gboolean OnOwnerConfigured(GtkWidget* owner, GdkEvent*, gpointer data) {
    auto* window = static_cast<wxWindow*>(data);
    GdkWindow* above = gtk_widget_get_window(window->GetHandle());
    GdkWindow* below = gtk_widget_get_window(owner);
    if (above && below && window->IsShown()) gdk_window_restack(above, below, TRUE);
    return FALSE;  // the owner's own handlers see the event as well
}

bool HasWindowManager(GdkWindow* window) {
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_WINDOW(window))
        return gdk_x11_screen_supports_net_wm_hint(gdk_window_get_screen(window),
                                                   gdk_atom_intern_static_string("_NET_ACTIVE_WINDOW"));
#endif
    (void)window;
    return true;  // elsewhere the compositor decides stacking and focus
}

}  // namespace

void KeepAboveOwner(wxWindow* window, wxWindow* owner) {
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    GtkWidget* ownerWidget = owner ? owner->GetHandle() : nullptr;
    if (!widget || !ownerWidget || !GTK_IS_WINDOW(widget) || !GTK_IS_WINDOW(ownerWidget)) return;
    gtk_window_set_transient_for(GTK_WINDOW(widget), GTK_WINDOW(ownerWidget));
    gtk_widget_add_events(ownerWidget, GDK_STRUCTURE_MASK);  // the owner's restacking reaches it
    const gulong id = g_signal_connect(ownerWidget, "configure-event", G_CALLBACK(OnOwnerConfigured), window);
    // The owner's widget is held until the owned window goes, so the handler
    // can always be taken off it then, whichever of the two is destroyed first.
    g_object_ref(ownerWidget);
    window->Bind(wxEVT_DESTROY, [window, ownerWidget, id](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == window) {
            if (g_signal_handler_is_connected(ownerWidget, id)) g_signal_handler_disconnect(ownerWidget, id);
            g_object_unref(ownerWidget);
        }
        event.Skip();
    });
}

void BringToFront(wxWindow* topLevel) {
    GtkWidget* widget = topLevel ? topLevel->GetHandle() : nullptr;
    GdkWindow* window = widget ? gtk_widget_get_window(widget) : nullptr;
    if (window && !HasWindowManager(window)) {
        gdk_window_raise(window);
        return;
    }
    if (topLevel) topLevel->Raise();
}

}  // namespace plat
