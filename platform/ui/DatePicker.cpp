#include "platform/ui/DatePicker.h"

#include <gtk/gtk.h>

// The calendar header first: it chooses which calendar class the date
// picker's own header names.
#include <wx/calctrl.h>
#include <wx/combo.h>
#include <wx/datectrl.h>

namespace plat {

namespace {

// The time of the pointer press being handled just now; 0 when none is.
guint32 PressTime() {
    GdkEvent* event = gtk_get_current_event();
    if (!event) return 0;
    const guint32 time = event->type == GDK_BUTTON_PRESS ? gdk_event_get_time(event) : 0;
    gdk_event_free(event);
    return time;
}

// GtkCalendar takes a press on a greyed day of the neighbouring month in two
// steps: it turns the page, which selects the old day number in the new
// month, then it selects the day pressed.  A press on a month or year arrow
// stops after the first step.  So a press chooses a day unless the only day
// it selected came with a page turn.  The toolkit's own signals are watched,
// not wx's: wx drops the second selection when it repeats the first date.
struct DayClicks {
    wxDatePickerCtrl* picker;
    wxComboCtrl* combo;
    guint32 turnedBy = 0;      // the press that turned the page
    bool turnSelecting = false;  // its own selection is still to come
};

void OnMonthChanged(GtkCalendar*, gpointer data) {
    auto* clicks = static_cast<DayClicks*>(data);
    clicks->turnedBy = PressTime();
    clicks->turnSelecting = clicks->turnedBy != 0;
}

void OnDaySelected(GtkCalendar*, gpointer data) {
    auto* clicks = static_cast<DayClicks*>(data);
    // Keys move the day within the open calendar; only a press chooses it.
    const guint32 press = PressTime();
    if (press == 0) return;
    if (clicks->turnSelecting && press == clicks->turnedBy) {
        clicks->turnSelecting = false;
        return;
    }
    // After the picker has taken the day from the calendar.
    wxComboCtrl* combo = clicks->combo;
    clicks->picker->CallAfter([combo] {
        if (combo->IsPopupShown()) combo->Dismiss();
    });
}

void Forget(gpointer data, GClosure*) { delete static_cast<DayClicks*>(data); }

}  // namespace

wxWindow* CreateDropDownDatePicker(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size) {
    auto* picker = new wxDatePickerCtrl(parent, id, wxDefaultDateTime, pos, size, wxDP_DROPDOWN | wxDP_SHOWCENTURY);
    auto* calendar = picker->GetCalendar();
    wxComboCtrl* combo = nullptr;
    for (wxWindow* child : picker->GetChildren())
        if (!combo) combo = dynamic_cast<wxComboCtrl*>(child);
    GtkWidget* widget = calendar ? calendar->GetHandle() : nullptr;
    if (!combo || !widget || !GTK_IS_CALENDAR(widget)) return picker;
    // The state goes with the calendar's handlers; a queued dismissal goes
    // with the picker, and the combo lives as long as the picker.
    auto* clicks = new DayClicks{picker, combo};
    g_signal_connect_data(widget, "month-changed", G_CALLBACK(OnMonthChanged), clicks, nullptr, GConnectFlags(0));
    g_signal_connect_data(widget, "day-selected", G_CALLBACK(OnDaySelected), clicks, Forget, GConnectFlags(0));
    return picker;
}

}  // namespace plat
