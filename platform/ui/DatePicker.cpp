#include "platform/ui/DatePicker.h"

#include <gtk/gtk.h>

#include <memory>

// The calendar header first: it chooses which calendar class the date
// picker's own header names.
#include <wx/calctrl.h>
#include <wx/combo.h>
#include <wx/datectrl.h>

namespace plat {

namespace {

// Whether the toolkit is handling a click of the pointer just now.
bool InClick() {
    GdkEvent* event = gtk_get_current_event();
    if (!event) return false;
    const GdkEventType type = event->type;
    gdk_event_free(event);
    return type == GDK_BUTTON_PRESS || type == GDK_BUTTON_RELEASE;
}

}  // namespace

wxWindow* CreateDropDownDatePicker(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size) {
    auto* picker = new wxDatePickerCtrl(parent, id, wxDefaultDateTime, pos, size, wxDP_DROPDOWN | wxDP_SHOWCENTURY);
    auto* calendar = picker->GetCalendar();
    wxComboCtrl* combo = nullptr;
    for (wxWindow* child : picker->GetChildren())
        if (!combo) combo = dynamic_cast<wxComboCtrl*>(child);
    if (!calendar || !combo) return picker;
    // A click on the month or year arrows also moves the chosen day: it comes
    // right after the page has turned, and keeps the calendar open.
    auto turning = std::make_shared<bool>(false);
    calendar->Bind(wxEVT_CALENDAR_PAGE_CHANGED, [picker, turning](wxCalendarEvent& event) {
        event.Skip();
        *turning = true;
        picker->CallAfter([turning] { *turning = false; });
    });
    calendar->Bind(wxEVT_CALENDAR_SEL_CHANGED, [picker, combo, turning](wxCalendarEvent& event) {
        event.Skip();
        // Keys move the day within the open calendar; only a click chooses it.
        if (*turning || !InClick()) return;
        picker->CallAfter([combo] {
            if (combo->IsPopupShown()) combo->Dismiss();
        });
    });
    return picker;
}

}  // namespace plat
