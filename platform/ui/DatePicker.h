#pragma once
// The drop-down date picker of the dialog templates.
#include <wx/gdicmn.h>

class wxWindow;

namespace plat {

// A date picker with a drop-down calendar (and the century shown) whose
// calendar closes when a day is clicked, as the operator expects of a date
// control.  GTK's calendar stays open after the click, the day already in
// the box, and the next click anywhere in the form only closed it.
wxWindow* CreateDropDownDatePicker(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size);

}  // namespace plat
