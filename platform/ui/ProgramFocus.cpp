#include "platform/ui/ProgramFocus.h"

#include <cstdlib>

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <wx/window.h>
#include <xcb/xcb.h>

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
    // A connection of its own: the toolkit's is not shared, and the question
    // is asked rarely (when the program is reported to lose the focus).
    xcb_connection_t* conn = xcb_connect(gdk_display_get_name(display), nullptr);
    xcb_window_t focus = XCB_NONE;
    xcb_window_t root = XCB_NONE;
    if (!xcb_connection_has_error(conn)) {
        if (xcb_get_input_focus_reply_t* reply = xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)) {
            focus = reply->focus;
            std::free(reply);
        }
        if (const xcb_setup_t* setup = xcb_get_setup(conn)) root = xcb_setup_roots_iterator(setup).data->root;
    }
    xcb_disconnect(conn);
    // None, pointer root (1) and the root window: the keys go where the
    // pointer is, or nowhere; no other program has taken them.
    if (focus == XCB_NONE || focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus == root) return false;
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
