#include "platform/ui/Stacking.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace plat {

namespace {

bool HasWindowManager(GdkWindow* window) {
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_WINDOW(window))
        return gdk_x11_screen_supports_net_wm_hint(gdk_window_get_screen(window),
                                                   gdk_atom_intern_static_string("_NET_ACTIVE_WINDOW"));
#endif
    (void)window;
    return true;  // elsewhere the compositor decides stacking and focus
}

GtkWidget* Held(wxWindow* window) {
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    if (!widget || !GTK_IS_WINDOW(widget)) return nullptr;
    g_object_ref(widget);
    return widget;
}

}  // namespace

KeptAbove::KeptAbove(wxWindow* upper, wxWindow* lower, std::function<void(const wxPoint&)> lowerMoved,
                     std::function<void(const wxPoint&)> upperPlaced)
    : m_upper(Held(upper)),
      m_lower(Held(lower)),
      m_lowerMoved(std::move(lowerMoved)),
      m_upperPlaced(std::move(upperPlaced)) {
    GtkWidget* up = m_upper;
    GtkWidget* low = m_lower;
    if (!up || !low) return;
    // X reports a change of the lower window's place in the stacking order
    // (a raise) as a configure notification too.
    gtk_widget_add_events(low, GDK_STRUCTURE_MASK);
    m_configured = g_signal_connect(low, "configure-event", G_CALLBACK(OnLowerConfigured), this);
    m_mapped = g_signal_connect_swapped(up, "map", G_CALLBACK(OnUpperMapped), this);
    if (m_upperPlaced) {
        gtk_widget_add_events(up, GDK_STRUCTURE_MASK);
        m_upperConfigured = g_signal_connect(up, "configure-event", G_CALLBACK(OnUpperConfigured), this);
    }
    gtk_window_set_transient_for(GTK_WINDOW(up), GTK_WINDOW(low));
    if (gtk_widget_get_mapped(up)) Apply();
}

KeptAbove::~KeptAbove() {
    // A destroyed widget has let go of its handlers already; the references
    // keep it from being freed before that can be asked.
    for (auto [object, id] :
         {std::pair{m_upper, m_mapped}, std::pair{m_upper, m_upperConfigured}, std::pair{m_lower, m_configured}}) {
        if (!object) continue;
        if (id && g_signal_handler_is_connected(object, id)) g_signal_handler_disconnect(object, id);
    }
    for (GtkWidget* object : {m_upper, m_lower})
        if (object) g_object_unref(object);
}

void KeptAbove::Apply() {
    GtkWidget* up = m_upper;
    GtkWidget* low = m_lower;
    if (!up || !low) return;
    if (gtk_window_get_transient_for(GTK_WINDOW(up)) != GTK_WINDOW(low))
        gtk_window_set_transient_for(GTK_WINDOW(up), GTK_WINDOW(low));
    GdkWindow* above = gtk_widget_get_window(up);
    GdkWindow* below = gtk_widget_get_window(low);
    if (above && below && gtk_widget_get_mapped(up) && !HasWindowManager(above))
        gdk_window_restack(above, below, TRUE);
}

int KeptAbove::OnLowerConfigured(GtkWidget*, GdkEventConfigure* event, KeptAbove* self) {
    if (self->m_lowerMoved) self->m_lowerMoved(wxPoint(event->x, event->y));
    self->Apply();
    return FALSE;  // the lower window's own handlers see the event as well
}

int KeptAbove::OnUpperConfigured(GtkWidget*, GdkEventConfigure* event, KeptAbove* self) {
    // Only the first answer to the map is the window manager's placement;
    // what follows answers the window's own moves.
    if (self->m_placing) {
        self->m_placing = false;
        self->m_upperPlaced(wxPoint(event->x, event->y));
    }
    return FALSE;
}

void KeptAbove::OnUpperMapped(KeptAbove* self) {
    self->m_placing = static_cast<bool>(self->m_upperPlaced);
    self->Apply();
}

void KeepAboveOwner(wxWindow* window, wxWindow* owner, std::function<void(const wxPoint&)> ownerMoved,
                    std::function<void(const wxPoint&)> placed) {
    if (!window || !owner) return;
    auto* link = new KeptAbove(window, owner, std::move(ownerMoved), std::move(placed));
    window->Bind(wxEVT_DESTROY, [window, link](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == window) delete link;
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
