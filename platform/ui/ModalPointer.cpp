#include "platform/ui/ModalPointer.h"

#include <gtk/gtk.h>

namespace plat {

namespace {

// "grab-notify": wasGrabbed is FALSE when a grab outside the widget has just
// shut it off from the pointer.  The leave is queued, not sent: the control
// may be on its way out while GTK rearranges its grabs, and a queued event
// goes with its window.
void OnGrabNotify(GtkWidget*, gboolean wasGrabbed, gpointer data) {
    if (wasGrabbed) return;
    auto* control = static_cast<wxWindow*>(data);
    auto* leave = new wxMouseEvent(wxEVT_LEAVE_WINDOW);
    leave->SetEventObject(control);
    leave->SetId(control->GetId());
    const wxPoint at = control->ScreenToClient(wxGetMousePosition());
    leave->m_x = at.x;
    leave->m_y = at.y;
    wxQueueEvent(control, leave);
}

}  // namespace

void KeepInputUnderModalRuns(wxWindow* topLevel) {
    GtkWidget* widget = topLevel ? topLevel->GetHandle() : nullptr;
    if (!widget || !GTK_IS_WINDOW(widget)) return;
    GtkWindowGroup* group = gtk_window_group_new();
    gtk_window_group_add_window(group, GTK_WINDOW(widget));
    g_object_unref(group);  // the window keeps it
}

void LeaveWhenShutOffByModalRuns(wxWindow* control) {
    GtkWidget* widget = control ? control->GetHandle() : nullptr;
    if (!widget) return;
    const gulong id = g_signal_connect(widget, "grab-notify", G_CALLBACK(OnGrabNotify), control);
    // The widget may outlive the window object by a moment while wx tears it
    // down; from then on it reports to no one.
    control->Bind(wxEVT_DESTROY, [control, widget, id](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == control) g_signal_handler_disconnect(widget, id);
        event.Skip();
    });
}

bool PopupWindow::Create(wxWindow* owner, int flags) {
    if (!wxPopupWindow::Create(owner, flags)) return false;
    // wx puts a popup in its owner's window group; there a modal run of the
    // owner would take every click and move meant for the popup.
    KeepInputUnderModalRuns(this);
    return true;
}

}  // namespace plat
