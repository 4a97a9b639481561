#include "platform/ui/Dialog.h"

#include <cctype>

#include <gtk/gtk.h>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/frame.h>
#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/listctrl.h>
#include <wx/log.h>
#include <wx/radiobut.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include "platform/CrossThread.h"
#include "platform/Exception.h"
#include "platform/MessageBox.h"
#include "platform/Resources.h"
#include "platform/ui/ControlStyle.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/ModalPointer.h"
#include "platform/ui/ModalRuns.h"
#include "platform/ui/Stacking.h"

namespace plat {

namespace {

// A black frame static: a window of its own, so that its owner can paint into
// it and it can report clicks.  It draws only its frame; the inside shows what
// its owner paints.
class CFrameStatic : public wxWindow {
public:
    CFrameStatic(wxWindow* parent, int id, const wxRect& rect)
        : wxWindow(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
            wxPaintDC dc(this);
            dc.SetPen(*wxBLACK_PEN);
            dc.SetBrush(*wxTRANSPARENT_BRUSH);
            dc.DrawRectangle(GetClientRect());
        });
    }
};

wxBitmap ResourceBitmap(int image, const char* type) {
    wxImage img;
    if (image <= 0 || !LoadResourceImage(image, type, img)) return wxBitmap();
    return wxBitmap(img);
}

WPARAM VirtualKey(int wxKey) {
    switch (wxKey) {
        case WXK_RETURN:
        case WXK_NUMPAD_ENTER: return VK_RETURN;
        case WXK_ESCAPE: return VK_ESCAPE;
        case WXK_TAB: return VK_TAB;
        default: return wxKey >= 0 && wxKey < 128 ? static_cast<WPARAM>(std::toupper(wxKey))
                                                  : static_cast<WPARAM>(wxKey);
    }
}

bool IsButtonKind(Ctl kind) { return kind == Ctl::PushButton || kind == Ctl::DefPushButton; }

}  // namespace

// ---------------------------------------------------------------------------
// RepaintRequest

struct RepaintRequest::State {
    std::atomic<bool> pending{false};
    std::atomic<bool> erase{false};
    wxWindow* window = nullptr;  // user-interface thread only; cleared when the window goes
};

RepaintRequest::RepaintRequest(wxWindow* window) : m_state(std::make_shared<State>()) {
    m_state->window = window;
    auto state = m_state;
    window->Bind(wxEVT_DESTROY, [state](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == state->window) state->window = nullptr;
        event.Skip();
    });
}

void RepaintRequest::Post(bool erase) const {
    if (!m_state) return;
    if (erase) m_state->erase = true;
    if (m_state->pending.exchange(true)) return;
    auto state = m_state;
    PostToUiThread([state] {
        state->pending = false;
        bool erase = state->erase.exchange(false);
        if (state->window) state->window->Refresh(erase);
    });
}

// ---------------------------------------------------------------------------
// CDialog

CDialog::CDialog(const DlgTemplate& tpl, wxWindow* parent)
    : m_tpl(tpl),
      m_parentWnd(parent),
      m_self(std::make_shared<CDialog*>(this)),
      m_repaintPending(std::make_shared<std::atomic<bool>>(false)) {}

CDialog::~CDialog() {
    *m_self = nullptr;
    StopAllTimers();
}

bool CDialog::CreateWindowAndControls(wxWindow* parent) {
    if (m_created) return true;
    m_parentWnd = parent;
    m_childMode = (m_tpl.style & ds::Child) && parent;
    long style;
    if (m_childMode) {
        // A wx dialog is always a top-level window: a child template becomes a
        // borderless window kept over its parent's client area.
        style = wxBORDER_NONE | wxFRAME_FLOAT_ON_PARENT | wxFRAME_NO_TASKBAR;
    } else {
        style = 0;
        if (m_tpl.style & ds::Caption) {
            style |= wxCAPTION;
            if (m_tpl.style & ds::SysMenu) style |= wxSYSTEM_MENU;
        } else {
            style |= (m_tpl.style & ds::Border) ? wxBORDER_SIMPLE : wxBORDER_NONE;
        }
        if (!parent) style |= wxDIALOG_NO_PARENT;
        // What the window offers, the window manager allows (the hints of a
        // window without these allow moving only).
        if (m_tpl.style & ds::MinimizeBox) style |= wxMINIMIZE_BOX;
        if (m_tpl.style & ds::SysMenu) style |= wxCLOSE_BOX;
    }
    const wxString caption = m_tpl.caption ? wxString(m_tpl.caption) : wxString();
    if (!wxDialog::Create(parent, wxID_ANY, caption, wxDefaultPosition, wxDefaultSize, style))
        return false;
    m_created = true;
    if ((m_tpl.style & ds::MinimizeBox) && GTK_IS_WINDOW(GetHandle())) {
        // A dialog type tells window managers it goes with another window and
        // is not minimised on its own; a window that can be minimised is a
        // window of its own to them.
        gtk_window_set_type_hint(GTK_WINDOW(GetHandle()), GDK_WINDOW_TYPE_HINT_NORMAL);
    }
    InstallCompactControlStyle();
    SetFont(wxFont(wxFontInfo(m_tpl.fontSize > 0 ? m_tpl.fontSize : 8).Family(wxFONTFAMILY_SWISS)));
    SetClientSize(DluToPxX(m_tpl.cx), DluToPxY(m_tpl.cy));

    Bind(wxEVT_CHAR_HOOK, &CDialog::OnCharHook, this);
    Bind(wxEVT_BUTTON, &CDialog::OnCommandClicked, this);
    Bind(wxEVT_RADIOBUTTON, &CDialog::OnCommandClicked, this);
    Bind(wxEVT_CHECKBOX, &CDialog::OnCommandClicked, this);
    Bind(wxEVT_CLOSE_WINDOW, &CDialog::OnCloseWindow, this);
    Bind(wxEVT_TIMER, &CDialog::OnTimerEvent, this);

    if (m_childMode) {
        m_owner = wxGetTopLevelParent(parent);
        if (m_owner) {
            // Stays over its parent as a child window would, whatever raises
            // or moves the parent, and is shut off with it by a modal run.
            // It follows the parent to where the window manager has put it,
            // which is not yet where the parent asked to go.
            auto self = m_self;
            KeepAboveOwner(
                this, m_owner,
                [self](const wxPoint& ownerAt) {
                    if (CDialog* dlg = *self) dlg->FollowOwner(ownerAt);
                },
                [self](const wxPoint& at) {
                    if (CDialog* dlg = *self) dlg->PlacedOnScreen(at);
                });
            ShutOffWithOwner(this, m_owner);
        }
        Move(0, 0);
    } else {
        Centre();
    }
    CreateControls();
    return true;
}

void CDialog::CreateControls() {
    const auto& controls = m_tpl.controls;
    for (size_t i = 0; i < controls.size(); ++i) {
        const DlgControl& c = controls[i];
        const wxRect r = DluToPx(c.x, c.y, c.cx, c.cy);
        const wxString text = c.text ? wxString(c.text) : wxString();
        const int id = c.id == -1 ? wxID_ANY : c.id;
        wxWindow* w = nullptr;
        switch (c.kind) {
            case Ctl::PushButton:
            case Ctl::DefPushButton:
                w = new wxButton(this, id, text, r.GetPosition(), r.GetSize());
                break;
            case Ctl::Static: {
                long align = (c.style & cs::Right)    ? wxALIGN_RIGHT
                             : (c.style & cs::Center) ? wxALIGN_CENTRE_HORIZONTAL
                                                      : wxALIGN_LEFT;
                w = new wxStaticText(this, id, text, r.GetPosition(), r.GetSize(),
                                     align | wxST_NO_AUTORESIZE);
                break;
            }
            case Ctl::Picture:
            case Ctl::Icon: {
                wxBitmap bmp = ResourceBitmap(c.image, c.kind == Ctl::Icon ? RT_ICON : RT_BITMAP);
                // A bitmap static takes its bitmap's size, as the dialog manager does.
                wxSize size = bmp.IsOk() ? bmp.GetSize() : r.GetSize();
                w = new wxStaticBitmap(this, id, bmp, r.GetPosition(), size);
                break;
            }
            case Ctl::Frame:
                w = new CFrameStatic(this, id, r);
                if (c.style & cs::Notify) {
                    const int ctlId = c.id;
                    w->Bind(wxEVT_LEFT_DCLICK, [this, ctlId](wxMouseEvent& event) {
                        auto it = m_dblClicked.find(ctlId);
                        if (it != m_dblClicked.end() && it->second) {
                            auto handler = it->second;
                            handler();
                        } else {
                            event.Skip();
                        }
                    });
                }
                break;
            case Ctl::Radio: {
                bool startsGroup = (c.style & cs::Group) || i == 0 || controls[i - 1].kind != Ctl::Radio;
                w = new wxRadioButton(this, id, text, r.GetPosition(), r.GetSize(),
                                      startsGroup ? wxRB_GROUP : 0);
                break;
            }
            case Ctl::CheckBox:
                w = new wxCheckBox(this, id, text, r.GetPosition(), r.GetSize());
                break;
            case Ctl::Edit: {
                long style = 0;
                if (c.style & cs::Multiline) style |= wxTE_MULTILINE;
                if (c.style & cs::ReadOnly) style |= wxTE_READONLY;
                if (c.style & cs::Right) style |= wxTE_RIGHT;
                if (c.style & cs::Center) style |= wxTE_CENTRE;
                if (c.style & cs::Number)
                    w = new wxTextCtrl(this, id, text, r.GetPosition(), r.GetSize(), style,
                                       wxTextValidator(wxFILTER_DIGITS));
                else
                    w = new wxTextCtrl(this, id, text, r.GetPosition(), r.GetSize(), style);
                break;
            }
            case Ctl::Combo:
                w = new wxChoice(this, id, r.GetPosition(), wxSize(r.width, wxDefaultCoord), 0,
                                 nullptr, (c.style & cs::Sort) ? wxCB_SORT : 0);
                break;
            case Ctl::ListView:
                w = new wxListCtrl(this, id, r.GetPosition(), r.GetSize(),
                                   wxLC_REPORT | wxBORDER_SUNKEN |
                                       ((c.style & cs::SingleSel) ? wxLC_SINGLE_SEL : 0));
                break;
            case Ctl::DateTime:
                w = CreateDropDownDatePicker(this, id, r.GetPosition(), r.GetSize());
                break;
            case Ctl::GroupBox:
                w = new wxStaticBox(this, id, text, r.GetPosition(), r.GetSize());
                break;
        }
        if (!w) continue;
        if (c.style & cs::Hidden) w->Hide();
        if (c.style & cs::Disabled) w->Disable();
    }
}

int CDialog::DoModal() {
    WatchModalRuns();
    if (!CreateWindowAndControls(m_parentWnd)) return -1;
    m_endRequested = false;
    m_endCode = IDCANCEL;
    m_inModal = true;
    if (OnInitDialog()) FocusFirstTabStop();
    int code = m_endRequested ? m_endCode : ShowModal();
    m_inModal = false;
    // The modal window is gone for its owner: no more timers, nothing shown.
    StopAllTimers();
    if (IsShown()) Hide();
    return code;
}

void CDialog::EndDialog(int code) {
    m_endCode = code;
    m_endRequested = true;
    if (IsModal())
        EndModal(code);
    else if (m_created && IsShown())
        Hide();
}

BOOL CDialog::Create(wxWindow* parent) {
    if (m_created) return FALSE;
    if (!CreateWindowAndControls(parent ? parent : m_parentWnd)) return FALSE;
    // A modeless dialog takes the mouse and keyboard while its owner runs
    // modally (the comparison window over the station window).
    KeepInputUnderModalRuns(this);
    OnInitDialog();
    if (m_tpl.style & ds::Visible) Show();
    return TRUE;
}

BOOL CDialog::DestroyWindow() {
    if (!m_created) return FALSE;
    StopAllTimers();
    if (IsModal()) EndModal(IDCANCEL);
    if (IsShown()) Hide();
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnClose() { Command(IDCANCEL); }

BOOL CDialog::PreTranslateMessage(MSG*) { return FALSE; }

wxWindow* CDialog::GetDlgItem(int id) const {
    for (wxWindow* w : GetChildren())
        if (!w->IsTopLevel() && w->GetId() == id) return w;
    return nullptr;
}

const DlgControl* CDialog::FindTemplateControl(int id) const {
    for (const DlgControl& c : m_tpl.controls)
        if (c.id == id) return &c;
    return nullptr;
}

void CDialog::ShowDlgItem(int id, bool show) {
    if (wxWindow* w = GetDlgItem(id)) w->Show(show);
}

void CDialog::EnableDlgItem(int id, bool enable) {
    if (wxWindow* w = GetDlgItem(id)) w->Enable(enable);
}

void CDialog::MoveDlgItem(int id, const wxRect& rect) {
    if (wxWindow* w = GetDlgItem(id)) {
        w->SetSize(rect);
        w->Refresh();
    }
}

wxRect CDialog::GetDlgItemRect(int id) const {
    wxWindow* w = GetDlgItem(id);
    return w ? w->GetRect() : wxRect();
}

wxString CDialog::ControlText(wxWindow* ctrl) {
    if (!ctrl) return wxString();
    if (auto* edit = dynamic_cast<wxTextCtrl*>(ctrl)) return edit->GetValue();
    if (auto* choice = dynamic_cast<wxChoice*>(ctrl)) return choice->GetStringSelection();
    return ctrl->GetLabel();
}

void CDialog::SetDlgItemText(int id, const wxString& text) {
    wxWindow* w = GetDlgItem(id);
    if (!w) return;
    if (auto* edit = dynamic_cast<wxTextCtrl*>(w))
        edit->ChangeValue(text);
    else if (auto* choice = dynamic_cast<wxChoice*>(w))
        choice->SetStringSelection(text);
    else
        w->SetLabel(text);
}

wxString CDialog::GetDlgItemText(int id) const { return ControlText(GetDlgItem(id)); }

void CDialog::AdoptReplacement(wxWindow* placeholder, wxWindow* replacement) {
    replacement->MoveBeforeInTabOrder(placeholder);
    if (!placeholder->IsShown()) replacement->Hide();
    if (!placeholder->IsThisEnabled()) replacement->Disable();
    placeholder->Destroy();
}

void CDialog::FocusFirstTabStop() {
    // Set before the window shows: GTK would otherwise pick the first control
    // it meets going by position, not by the template's order.
    for (const DlgControl& c : m_tpl.controls) {
        if (!(c.style & cs::TabStop) || c.id == -1) continue;
        wxWindow* w = GetDlgItem(c.id);
        if (w && w->IsShown() && w->IsEnabled()) {
            w->SetFocus();
            return;
        }
    }
}

void CDialog::BindClicked(int id, std::function<void()> handler) { m_clicked[id] = std::move(handler); }

void CDialog::BindDoubleClicked(int id, std::function<void()> handler) {
    m_dblClicked[id] = std::move(handler);
}

bool CDialog::Command(int id) {
    auto it = m_clicked.find(id);
    if (it != m_clicked.end() && it->second) {
        auto handler = it->second;  // the handler may rebind its own id
        try {
            handler();
        } catch (const CException& e) {
            // A failure the handler did not handle itself is shown to the
            // operator; the window stays open.
            e.ReportError();
        }
        return true;
    }
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void CDialog::OnCommandClicked(wxCommandEvent& event) {
    if (!Command(event.GetId())) event.Skip();
}

void CDialog::OnCharHook(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    wxWindow* focus = wxWindow::FindFocus();
    MSG msg;
    msg.hwnd = focus;
    msg.message = WM_KEYDOWN;
    msg.wParam = VirtualKey(key);
    if (PreTranslateMessage(&msg)) return;  // swallowed

    if (key == WXK_ESCAPE) {
        Command(IDCANCEL);
        return;
    }
    if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
        // A multi-line edit takes Enter as a line break.
        if (auto* edit = dynamic_cast<wxTextCtrl*>(focus); edit && edit->IsMultiLine()) {
            event.Skip();
            return;
        }
        // A focused push button is pressed; otherwise the default button, or IDOK.
        if (focus && focus->GetParent() == this) {
            if (const DlgControl* c = FindTemplateControl(focus->GetId()); c && IsButtonKind(c->kind)) {
                Command(c->id);
                return;
            }
        }
        int target = IDOK;
        for (const DlgControl& c : m_tpl.controls)
            if (c.kind == Ctl::DefPushButton) {
                wxWindow* w = GetDlgItem(c.id);
                if (w && w->IsEnabled()) target = c.id;
                break;
            }
        Command(target);
        return;
    }
    event.Skip();
}

void CDialog::OnCloseWindow(wxCloseEvent& event) {
    if (event.CanVeto()) event.Veto();
    OnClose();
}

// ---------------------------------------------------------------------------
// Data exchange, timers, messages

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

UINT CDialog::SetTimer(UINT id, UINT elapseMs) {
    auto& timer = m_timers[id];
    if (!timer) timer = std::make_unique<wxTimer>(this, static_cast<int>(id));
    timer->Start(static_cast<int>(elapseMs));
    return id;
}

BOOL CDialog::KillTimer(UINT id) {
    auto it = m_timers.find(id);
    if (it == m_timers.end() || !it->second->IsRunning()) return FALSE;
    // Stopped, not deleted: KillTimer is often called from the timer's own
    // handler, while the timer is still delivering its event.
    it->second->Stop();
    return TRUE;
}

void CDialog::StopAllTimers() {
    for (auto& [id, timer] : m_timers) timer->Stop();
}

void CDialog::OnTimer(UINT) {}

void CDialog::OnTimerEvent(wxTimerEvent& event) { OnTimer(static_cast<UINT>(event.GetId())); }

void CDialog::OnMessage(UINT msg, MessageHandler handler) { m_messages[msg] = std::move(handler); }

LRESULT CDialog::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    auto it = m_messages.find(msg);
    if (it == m_messages.end() || !it->second) return 0;
    auto handler = it->second;
    return handler(wParam, lParam);
}

LRESULT CDialog::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (IsUiThread()) return Dispatch(msg, wParam, lParam);
    return SendToUiThread([this, msg, wParam, lParam] { return Dispatch(msg, wParam, lParam); });
}

BOOL CDialog::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    auto self = m_self;
    PostToUiThread([self, msg, wParam, lParam] {
        if (CDialog* dlg = *self) dlg->Dispatch(msg, wParam, lParam);
    });
    return TRUE;
}

void CDialog::PostInvalidate(bool erase) {
    auto pending = m_repaintPending;
    if (pending->exchange(true)) return;
    auto self = m_self;
    PostToUiThread([self, pending, erase] {
        *pending = false;
        CDialog* dlg = *self;
        if (dlg && dlg->m_created) dlg->Refresh(erase);
    });
}

// ---------------------------------------------------------------------------
// Child dialogs: positions in the parent's client coordinates

wxPoint CDialog::ParentClientOrigin() const {
    if (!m_parentWnd) return wxPoint(0, 0);
    if (!m_ownerPlaced) return m_parentWnd->ClientToScreen(wxPoint(0, 0));
    // The parent's client area within its top-level window, known without
    // asking the X server.
    GtkWidget* client = m_parentWnd->m_wxwindow ? m_parentWnd->m_wxwindow : m_parentWnd->GetHandle();
    int x = 0, y = 0;
    if (client && m_owner && m_owner->GetHandle())
        gtk_widget_translate_coordinates(client, m_owner->GetHandle(), 0, 0, &x, &y);
    return m_ownerAt + wxPoint(x, y);
}

void CDialog::FollowOwner(const wxPoint& ownerAt) {
    m_ownerAt = ownerAt;
    m_ownerPlaced = true;
    if (m_childMode) SetPosition(m_childPos);
}

void CDialog::PlacedOnScreen(const wxPoint& at) {
    // A window manager keeps a new window on the screen: one that reaches past
    // its edge (the station dragged aside) is pulled back.  It belongs where
    // its parent's layout puts it, as it does after the parent's next move.
    if (m_childMode && at != m_childPos + ParentClientOrigin()) SetPosition(m_childPos);
}

void CDialog::DoSetSize(int x, int y, int width, int height, int sizeFlags) {
    if (m_childMode && m_parentWnd) {
        const bool allowMinus = (sizeFlags & wxSIZE_ALLOW_MINUS_ONE) != 0;
        if (x != wxDefaultCoord || allowMinus) m_childPos.x = x;
        if (y != wxDefaultCoord || allowMinus) m_childPos.y = y;
        const wxPoint origin = ParentClientOrigin();
        x = m_childPos.x + origin.x;
        y = m_childPos.y + origin.y;
        if (!allowMinus) {
            const wxSize now = GetSize();
            if (width == wxDefaultCoord) width = now.x;
            if (height == wxDefaultCoord) height = now.y;
        }
        sizeFlags |= wxSIZE_ALLOW_MINUS_ONE;
    }
    wxDialog::DoSetSize(x, y, width, height, sizeFlags);
}

void CDialog::DoGetPosition(int* x, int* y) const {
    if (m_childMode && m_parentWnd) {
        if (x) *x = m_childPos.x;
        if (y) *y = m_childPos.y;
        return;
    }
    wxDialog::DoGetPosition(x, y);
}

void CDialog::DoGetScreenPosition(int* x, int* y) const {
    // A top-level window's screen position is its position; for a child
    // dialog that is the real one, not the parent-relative one.
    wxDialog::DoGetPosition(x, y);
}

}  // namespace plat
