#pragma once
// The customer list's view: a report list that holds no rows of its own but
// asks for the text of each cell it draws, so that a list of 100,000
// customers is shown at once and costs nothing per row.
#include <functional>

#include <wx/listctrl.h>

class CUserListView : public wxListCtrl {
public:
    // In place of the template's list view (SubclassDlgItem).
    bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString&, long) {
        return wxListCtrl::Create(parent, id, rect.GetPosition(), rect.GetSize(),
                                  wxLC_REPORT | wxLC_VIRTUAL | wxBORDER_SUNKEN);
    }
    // The text of a cell: row, column.
    std::function<wxString(long, long)> m_cellText;

protected:
    wxString OnGetItemText(long item, long column) const override {
        return m_cellText ? m_cellText(item, column) : wxString();
    }
};
