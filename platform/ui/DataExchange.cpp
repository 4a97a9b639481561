// The data exchange between a dialog's controls and its members.
#include <climits>

#include <wx/log.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>

#include "platform/MessageBox.h"
#include "platform/ui/Dialog.h"

wxWindow* CDataExchange::PrepareCtrl(int id) {
    m_idLastControl = id;
    return m_pDlgWnd->GetDlgItem(id);
}

void CDataExchange::Fail() {
    if (wxWindow* ctrl = m_pDlgWnd->GetDlgItem(m_idLastControl)) {
        ctrl->SetFocus();
        if (auto* edit = dynamic_cast<wxTextCtrl*>(ctrl)) edit->SelectAll();
    }
    throw plat::DataExchangeFailure();
}

namespace {

// A decimal integer at the start of `text` (blanks before it allowed, anything
// after it ignored); false when there is none or it does not fit an int.
bool ParseLeadingInt(const wxString& text, int& out) {
    std::wstring s = text.ToStdWstring();
    size_t i = 0;
    while (i < s.size() && (s[i] == L' ' || s[i] == L'\t' || s[i] == L'\r' || s[i] == L'\n')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    if (i >= s.size() || s[i] < L'0' || s[i] > L'9') return false;
    long long v = 0;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i) {
        v = v * 10 + (s[i] - L'0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT_MAX || v < INT_MIN) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

namespace {
wxString& IntegerPrompt() {
    static wxString text(L"请输入一个整数。");
    return text;
}
}  // namespace

void plat::SetIntegerPrompt(const wxString& text) { IntegerPrompt() = text; }

void DDX_Text(CDataExchange* pDX, int id, int& value) {
    wxWindow* ctrl = pDX->PrepareCtrl(id);
    if (!ctrl) {
        wxLogDebug("DDX_Text: no control %d", id);
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        int parsed = 0;
        if (!ParseLeadingInt(plat::CDialog::ControlText(ctrl), parsed)) {
            AfxMessageBox(IntegerPrompt(), MB_OK);
            pDX->Fail();
        }
        value = parsed;
    } else {
        pDX->m_pDlgWnd->SetDlgItemText(id, wxString::Format("%d", value));
    }
}

void DDX_Text(CDataExchange* pDX, int id, wxString& value) {
    wxWindow* ctrl = pDX->PrepareCtrl(id);
    if (!ctrl) {
        wxLogDebug("DDX_Text: no control %d", id);
        return;
    }
    if (pDX->m_bSaveAndValidate)
        value = plat::CDialog::ControlText(ctrl);
    else
        pDX->m_pDlgWnd->SetDlgItemText(id, value);
}

void DDX_Radio(CDataExchange* pDX, int id, int& value) {
    pDX->PrepareCtrl(id);
    plat::CDialog* dlg = pDX->m_pDlgWnd;
    auto controls = dlg->GetTemplate().controls;
    size_t first = controls.size();
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].id == id) {
            first = i;
            break;
        }
    if (first == controls.size() || controls[first].kind != plat::Ctl::Radio) {
        wxLogDebug("DDX_Radio: %d is not a radio button of the template", id);
        return;
    }
    if (pDX->m_bSaveAndValidate) value = -1;
    int index = 0;
    for (size_t i = first; i < controls.size(); ++i, ++index) {
        const plat::DlgControl& c = controls[i];
        if (c.kind != plat::Ctl::Radio || (i != first && (c.style & plat::cs::Group))) break;
        auto* radio = dlg->GetDlgItemAs<wxRadioButton>(c.id);
        if (!radio) continue;
        if (pDX->m_bSaveAndValidate) {
            if (radio->GetValue()) {
                value = index;
                return;
            }
        } else if (index == value) {
            radio->SetValue(true);  // unchecks the others of its group
        }
    }
}
