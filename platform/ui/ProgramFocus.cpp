#include "platform/ui/ProgramFocus.h"

#include <X11/Xlib.h>
#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/window.h>

namespace plat {

namespace {

struct FocusWatch {
    wxWindow* window;
    std::function<void()> taken;
};

gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
    auto* watch = static_cast<FocusWatch*>(data);
    if (AnotherProgramHasTheFocus()) watch->window->CallAfter(watch->taken);
    return FALSE;
}

}  // namespace

bool AnotherProgramHasTheFocus() {
    GdkDisplay* display = gdk_display_get_default();
    if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
    // Asked on the toolkit's own connection: one round trip, and the answer
    // comes after every request the program has made so far.
    Display* xdisplay = gdk_x11_display_get_xdisplay(display);
    Window focus = None;
    int revert = 0;
    XGetInputFocus(xdisplay, &focus, &revert);
    // None, pointer root and the root window: the keys go where the pointer
    // is, or nowhere; no other program has taken them.
    if (focus == None || focus == PointerRoot || focus == DefaultRootWindow(xdisplay)) return false;
    return gdk_x11_window_lookup_for_display(display, focus) == nullptr;
}

void WhenAnotherProgramTakesTheFocus(wxWindow* window, std::function<void()> taken) {
    GtkWidget* widget = window ? window->GetHandle() : nullptr;
    if (!widget) return;
    auto* watch = new FocusWatch{window, std::move(taken)};
    const gulong id = g_signal_connect_data(
        widget, "focus-out-event", G_CALLBACK(OnFocusOut), watch,
        [](gpointer data, GClosure*) { delete static_cast<FocusWatch*>(data); }, GConnectFlags(0));
    // The widget may outlive the window object by a moment while wx tears it
    // down; from then on it reports to no one.
    window->Bind(wxEVT_DESTROY, [window, widget, id](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == window) g_signal_handler_disconnect(widget, id);
        event.Skip();
    });
}

}  // namespace plat
