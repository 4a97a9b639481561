#pragma once
// The dialog base class: a wxDialog built from a dialog template, with the
// facilities the station's dialogs are written against (modal runs returning
// the end code, control access by id, Enter/Escape handling, click binding,
// data exchange, timers, private messages and repaint requests from workers).
//
// Lifetime: the window is created by DoModal or Create and lives as long as
// the C++ object (EndDialog and DestroyWindow hide it and stop its timers).
// Skinned controls may be members of the derived dialog: they are destroyed
// with it, before the dialog's window.  A modeless child dialog is deleted by
// its owner before the parent window goes (wx deletes a child still there
// when its parent window is destroyed).
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "platform/WinTypes.h"
#include "platform/ui/DialogTemplate.h"

constexpr UINT WM_KEYDOWN = 0x0100;
constexpr WPARAM VK_TAB = 0x09;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;

// What the keyboard hook sees: key-downs only (message WM_KEYDOWN, wParam the
// virtual key; letters and digits as their upper-case ASCII codes).
struct MSG {
    wxWindow* hwnd = nullptr;  // the window with the focus
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

namespace plat {

class CDialog;

// A repaint request usable from any thread.  Make it on the user-interface
// thread for a window; copies may be kept by workers.  Post() refreshes the
// window later on the user-interface thread (requests coalesce while one is
// pending) and does nothing when the window has been destroyed meanwhile.
class RepaintRequest {
public:
    RepaintRequest() = default;
    explicit RepaintRequest(wxWindow* window);
    void Post(bool erase = true) const;
    explicit operator bool() const { return static_cast<bool>(m_state); }

    struct State;
private:
    std::shared_ptr<State> m_state;
};

// Thrown by CDataExchange::Fail; UpdateData catches it and returns FALSE.
struct DataExchangeFailure : std::runtime_error {
    DataExchangeFailure() : std::runtime_error("data exchange failed") {}
};

}  // namespace plat

class CDataExchange {
public:
    CDataExchange(plat::CDialog* dlg, BOOL save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}
    // The control `id`, remembered as the one a failure puts the focus on.
    wxWindow* PrepareCtrl(int id);
    // Focus on the last prepared control (its text selected) and stop the exchange.
    [[noreturn]] void Fail();

    plat::CDialog* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
    int m_idLastControl = 0;
};

namespace plat {

class CDialog : public wxDialog {
public:
    CDialog(const DlgTemplate& tpl, wxWindow* parent = nullptr);
    ~CDialog() override;

    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the window and its controls, runs OnInitDialog and the modal
    // loop (nesting inside other modal runs); returns the EndDialog code, -1
    // when the window could not be created.
    virtual int DoModal();
    // Ends the modal run with `code` (or hides a modeless dialog).
    void EndDialog(int code);
    // Modeless creation (a child template lies over the parent's client area
    // and moves with it).  Shown at once when the template has ds::Visible.
    BOOL Create(wxWindow* parent = nullptr);
    BOOL DestroyWindow();
    bool IsCreated() const { return m_created; }

    const DlgTemplate& GetTemplate() const { return m_tpl; }
    // The parent given at construction or Create (the owner for top-level dialogs).
    wxWindow* GetParentWnd() const { return m_parentWnd; }

    // Called once the controls exist; the default exchanges data into the
    // controls (UpdateData(FALSE), which also binds DDX_Control members).
    // TRUE from a modal dialog's OnInitDialog puts the keyboard focus on the
    // first tab stop of the template that is shown and enabled.
    virtual BOOL OnInitDialog();
    virtual void OnOK();      // UpdateData(TRUE), then EndDialog(IDOK) when it succeeded
    virtual void OnCancel();  // EndDialog(IDCANCEL)
    virtual void OnClose();   // the window's close box or Alt+F4: OnCancel
    // Key-downs before any control sees them; TRUE swallows the key.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    // Control access by id (direct children only, as the dialog manager does).
    wxWindow* GetDlgItem(int id) const;
    template <class T>
    T* GetDlgItemAs(int id) const { return dynamic_cast<T*>(GetDlgItem(id)); }
    void ShowDlgItem(int id, bool show = true);
    void EnableDlgItem(int id, bool enable = true);
    // Moves and sizes control `id` to `rect` (pixels, client coordinates) and repaints it.
    void MoveDlgItem(int id, const wxRect& rect);
    void SetDlgItemText(int id, const wxString& text);
    wxString GetDlgItemText(int id) const;
    // The control's rectangle in the dialog's client coordinates.
    wxRect GetDlgItemRect(int id) const;
    // Template information of control `id`; nullptr when not in the template.
    const DlgControl* FindTemplateControl(int id) const;

    // Replaces the template's control `id` by `ctrl`, a skinned control with a
    // default constructor and
    //   bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long style)
    // The placeholder's rectangle, text and template style go to Create; the
    // new control takes the placeholder's place in the tab order and its
    // shown/enabled state; the placeholder is destroyed.
    template <class T>
    bool SubclassDlgItem(int id, T& ctrl) {
        wxWindow* placeholder = GetDlgItem(id);
        if (!placeholder || placeholder == static_cast<wxWindow*>(&ctrl)) return false;
        const DlgControl* info = FindTemplateControl(id);
        const long style = info ? static_cast<long>(info->style) : 0;
        const wxRect rect = placeholder->GetRect();
        const wxString text = ControlText(placeholder);
        if (!ctrl.Create(this, id, rect, text, style)) return false;
        AdoptReplacement(placeholder, &ctrl);
        return true;
    }

    // BN_CLICKED: push buttons, radio buttons, check boxes (and skinned
    // controls sending wxEVT_BUTTON) with this id call `handler`.  Without a
    // handler, IDOK runs OnOK and IDCANCEL runs OnCancel.  A CException that
    // leaves the handler is reported to the operator (ReportError).
    void BindClicked(int id, std::function<void()> handler);
    // STN_DBLCLK and STN_CLICKED of frames and notify statics.
    void BindDoubleClicked(int id, std::function<void()> handler);

    // Data exchange between members and controls.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Windows timers: OnTimer(id) every `elapseMs` until KillTimer; setting an
    // existing id restarts it.
    UINT SetTimer(UINT id, UINT elapseMs);
    BOOL KillTimer(UINT id);
    virtual void OnTimer(UINT id);

    // Private messages.  SendMessage runs the handler of `msg` and returns its
    // result; from a worker thread it runs on the user-interface thread while
    // the worker waits.  PostMessage queues it (any thread; dropped when the
    // window is destroyed before it runs).  A message without a handler gives 0.
    using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
    void OnMessage(UINT msg, MessageHandler handler);
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

    // Any thread: repaint (with erase) later on the user-interface thread;
    // safe when the dialog is destroyed before the request runs.
    void PostInvalidate(bool erase = true);

    static wxString ControlText(wxWindow* ctrl);

protected:
    // Child dialogs are positioned in their parent's client coordinates.
    void DoSetSize(int x, int y, int width, int height, int sizeFlags) override;
    void DoGetPosition(int* x, int* y) const override;
    void DoGetScreenPosition(int* x, int* y) const override;

private:
    bool CreateWindowAndControls(wxWindow* parent);
    void CreateControls();
    void AdoptReplacement(wxWindow* placeholder, wxWindow* replacement);
    void FocusFirstTabStop();
    void OnCharHook(wxKeyEvent& event);
    void OnCommandClicked(wxCommandEvent& event);
    // WM_COMMAND of a button id: its click handler, else OnOK/OnCancel for IDOK/IDCANCEL.
    bool Command(int id);
    void OnCloseWindow(wxCloseEvent& event);
    void OnTimerEvent(wxTimerEvent& event);
    // The owner (top-level parent) of a child dialog is at `ownerAt` on the screen.
    void FollowOwner(const wxPoint& ownerAt);
    // The window manager put the shown dialog at `at` on the screen.
    void PlacedOnScreen(const wxPoint& at);
    void StopAllTimers();
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    wxPoint ParentClientOrigin() const;

    const DlgTemplate& m_tpl;
    wxWindow* m_parentWnd;
    bool m_created = false;
    bool m_childMode = false;
    bool m_endRequested = false;
    int m_endCode = 0;
    bool m_inModal = false;
    wxPoint m_childPos{0, 0};
    wxWindow* m_owner = nullptr;
    bool m_ownerPlaced = false;  // m_ownerAt is known
    wxPoint m_ownerAt;
    std::map<int, std::function<void()>> m_clicked;
    std::map<int, std::function<void()>> m_dblClicked;
    std::map<UINT, MessageHandler> m_messages;
    std::map<UINT, std::unique_ptr<wxTimer>> m_timers;
    // Cleared by the destructor; posted calls check it on the user-interface thread.
    std::shared_ptr<CDialog*> m_self;
    std::shared_ptr<std::atomic<bool>> m_repaintPending;
};

}  // namespace plat

// Data exchange.  Saving reads the control into the member, loading writes the
// member into the control.
// int: saving reads a decimal integer from the start of the text (blanks
// before it and characters after it are ignored); when there is none, the
// message "请输入一个整数。" is shown, the focus goes to the control and the
// exchange stops (UpdateData returns FALSE; later members keep their values).
void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, wxString& value);
namespace plat {
// The whole-number message above in the language the program runs in.
void SetIntegerPrompt(const wxString& text);
}  // namespace plat
// The radio group starting at `id`: saving gives the index of the checked
// button (-1 when none), loading checks the button of that index.
void DDX_Radio(CDataExchange* pDX, int id, int& value);
// Binds a skinned control member (SubclassDlgItem on the first exchange).
template <class T>
void DDX_Control(CDataExchange* pDX, int id, T& ctrl) {
    if (!ctrl.GetHandle()) {
        if (!pDX->m_pDlgWnd->SubclassDlgItem(id, ctrl)) {
            pDX->PrepareCtrl(id);
            pDX->Fail();
        }
    }
}
// Binds a pointer to the template's own control (a plain wx control).
template <class T>
void DDX_Control(CDataExchange* pDX, int id, T*& ctrl) {
    ctrl = pDX->m_pDlgWnd->GetDlgItemAs<T>(id);
}
