// Dialogs built from templates: sizes, modal runs, keys, data exchange,
// subclassed controls, timers and messages.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <thread>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/calctrl.h>
#include <wx/datectrl.h>
#include <wx/radiobut.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>

#include "platform/CrossThread.h"
#include "platform/MessageBox.h"
#include "platform/ui/Dialog.h"
#include "support/MessageRecorder.h"
#include "support/Pump.h"

using plat::CDialog;
using plat::Ctl;
namespace cs = plat::cs;
namespace ds = plat::ds;

namespace {

const plat::DlgControl kFormControls[] = {
    {1050, Ctl::Radio, cs::Group, 173, 17, 44, 10, L"序号"},
    {1051, Ctl::Radio, 0, 231, 18, 38, 10, L"姓名"},
    {1038, Ctl::Edit, cs::TabStop, 54, 126, 79, 12, L""},
    {1039, Ctl::Edit, cs::TabStop, 54, 148, 79, 12, L""},
    {1059, Ctl::Radio, cs::Group, 56, 170, 24, 10, L"男"},
    {1060, Ctl::Radio, 0, 93, 170, 24, 10, L"女"},
    {1047, Ctl::Edit, cs::TabStop, 54, 190, 79, 12, L""},
    {1045, Ctl::Edit, cs::Multiline | cs::TabStop, 54, 325, 79, 49, L""},
    {1057, Ctl::PushButton, cs::TabStop | cs::Hidden, 410, 15, 62, 18, L"搜 索"},
    {1076, Ctl::Static, 0, 174, 65, 377, 11, L"status"},
};
const plat::DlgTemplate kFormTemplate = {233, 585, 391, L"", ds::Popup | ds::SysMenu, L"MS Shell Dlg", 8,
                                         kFormControls};

const plat::DlgTemplate kStartTemplate = {167, 480, 334, L"", ds::Popup, L"MS Shell Dlg", 8, {}};

// Runs `fn` once the modal loop is running.
void AfterStart(std::function<void()> fn) { wxTheApp->CallAfter(std::move(fn)); }

}  // namespace

TEST(DialogUnits, ConvertWithTheDialogFontBaseUnits) {
    EXPECT_EQ(plat::DluToPxX(480), 720);
    EXPECT_EQ(plat::DluToPxY(509), 827);
    EXPECT_EQ(plat::DluToPxY(334), 543);  // 334 * 13 / 8 = 542.75, rounded
    EXPECT_EQ(plat::DluToPx(368, 180, 105, 39), wxRect(552, 293, 158, 63));
}

TEST(Dialog, ClientAreaAndControlsFollowTheTemplate) {
    struct Dlg : CDialog {
        Dlg() : CDialog(kStartTemplate) {}
        wxSize client;
        BOOL OnInitDialog() override {
            client = GetClientSize();
            EndDialog(IDOK);
            return TRUE;
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.client, wxSize(720, 543));
}

TEST(Dialog, NestedModalRunsReturnTheirOwnCodes) {
    struct Inner : CDialog {
        Inner(wxWindow* parent) : CDialog(kStartTemplate, parent) {}
        BOOL OnInitDialog() override {
            AfterStart([this] { EndDialog(7); });
            return TRUE;
        }
    };
    struct Outer : CDialog {
        Outer() : CDialog(kFormTemplate) {}
        int inner = 0;
        bool outerStillModal = false;
        BOOL OnInitDialog() override {
            CDialog::OnInitDialog();
            AfterStart([this] {
                Inner dlg(this);
                inner = dlg.DoModal();
                outerStillModal = IsModal();
                EndDialog(IDCANCEL + 40);
            });
            return TRUE;
        }
    } outer;
    EXPECT_EQ(outer.DoModal(), IDCANCEL + 40);
    EXPECT_EQ(outer.inner, 7);
    EXPECT_TRUE(outer.outerStillModal);
}

namespace {

void PressKey(CDialog& dlg, int key, wxWindow* focus = nullptr) {
    if (focus) focus->SetFocus();
    wxKeyEvent ev(wxEVT_CHAR_HOOK);
    ev.m_keyCode = key;
    ev.SetEventObject(focus ? focus : &dlg);
    (focus ? focus : static_cast<wxWindow*>(&dlg))->GetEventHandler()->ProcessEvent(ev);
}

struct KeyDialog : CDialog {
    explicit KeyDialog(bool swallow) : CDialog(kFormTemplate), swallow(swallow) {}
    bool swallow;
    std::vector<WPARAM> seen;
    std::function<void(KeyDialog&)> onStart;
    BOOL PreTranslateMessage(MSG* msg) override {
        if (msg->message == WM_KEYDOWN) seen.push_back(msg->wParam);
        if (swallow && msg->message == WM_KEYDOWN &&
            (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
            return TRUE;
        return CDialog::PreTranslateMessage(msg);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        AfterStart([this] { onStart(*this); });
        return TRUE;
    }
};

}  // namespace

// Keys typed as a modal dialog opens go to its first tab stop, whatever stands above it.
TEST(DialogKeys, AModalDialogStartsWithTheFocusOnItsFirstTabStop) {
    KeyDialog dlg(false);
    dlg.onStart = [](KeyDialog& d) {
        EXPECT_TRUE(PumpUntil([&] { return d.IsShownOnScreen(); }));
        wxUIActionSimulator sim;
        sim.MouseMove(d.GetScreenRect().GetPosition() + wxPoint(20, 20));
        sim.Char('7');
        EXPECT_TRUE(PumpUntil([&] { return d.GetDlgItemText(1038) == "7"; }));
        d.EndDialog(IDOK);
    };
    dlg.DoModal();
}

TEST(DialogKeys, EscapeCancelsAndEnterConfirmsByDefault) {
    KeyDialog esc(false);
    esc.onStart = [](KeyDialog& d) { PressKey(d, WXK_ESCAPE); };
    EXPECT_EQ(esc.DoModal(), IDCANCEL);

    KeyDialog enter(false);
    enter.onStart = [](KeyDialog& d) { PressKey(d, WXK_RETURN, d.GetDlgItem(1039)); };
    EXPECT_EQ(enter.DoModal(), IDOK);
    EXPECT_EQ(enter.seen, std::vector<WPARAM>{VK_RETURN});
}

TEST(DialogKeys, SwallowingDialogKeepsRunning) {
    KeyDialog dlg(true);
    bool stillShown = false;
    dlg.onStart = [&](KeyDialog& d) {
        PressKey(d, WXK_RETURN, d.GetDlgItem(1038));
        PressKey(d, WXK_ESCAPE);
        stillShown = d.IsShown() && d.IsModal();
        d.EndDialog(33);
    };
    EXPECT_EQ(dlg.DoModal(), 33);
    EXPECT_TRUE(stillShown);
    EXPECT_EQ(dlg.seen, (std::vector<WPARAM>{VK_RETURN, VK_ESCAPE}));
}

TEST(DialogKeys, EnterInAMultilineEditOrOnAButtonDoesNotConfirm) {
    KeyDialog dlg(false);
    int searched = 0;
    bool shownAfterMultiline = false;
    dlg.BindClicked(1057, [&] { ++searched; });
    dlg.onStart = [&](KeyDialog& d) {
        PressKey(d, WXK_RETURN, d.GetDlgItem(1045));
        shownAfterMultiline = d.IsModal();
        d.ShowDlgItem(1057);
        PressKey(d, WXK_RETURN, d.GetDlgItem(1057));
        d.EndDialog(IDCANCEL);
    };
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(shownAfterMultiline);
    EXPECT_EQ(searched, 1);
}

namespace {

struct FormDialog : CDialog {
    FormDialog() : CDialog(kFormTemplate) {}
    int number = 5, age = 20, searchBy = 1, sex = 1;
    wxString name = "before";
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Radio(pDX, 1050, searchBy);
        DDX_Text(pDX, 1038, number);
        DDX_Text(pDX, 1039, name);
        DDX_Radio(pDX, 1059, sex);
        DDX_Text(pDX, 1047, age);
    }
};

bool HasFocusInItsWindow(wxWindow* w) { return gtk_widget_is_focus(w->GetHandle()); }

}  // namespace

TEST(DataExchange, LoadingWritesMembersIntoControls) {
    FormDialog dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.GetDlgItemText(1038), "5");
    EXPECT_EQ(dlg.GetDlgItemText(1039), "before");
    EXPECT_EQ(dlg.GetDlgItemText(1047), "20");
    EXPECT_TRUE(dlg.GetDlgItemAs<wxRadioButton>(1051)->GetValue());
    EXPECT_TRUE(dlg.GetDlgItemAs<wxRadioButton>(1060)->GetValue());
    // The two groups are independent.
    dlg.searchBy = 0;
    dlg.sex = 1;
    ASSERT_TRUE(dlg.UpdateData(FALSE));
    EXPECT_TRUE(dlg.GetDlgItemAs<wxRadioButton>(1050)->GetValue());
    EXPECT_FALSE(dlg.GetDlgItemAs<wxRadioButton>(1051)->GetValue());
    EXPECT_TRUE(dlg.GetDlgItemAs<wxRadioButton>(1060)->GetValue());
}

TEST(DataExchange, SavingReadsLeadingIntegersAndRadioIndexes) {
    MessageRecorder boxes;
    FormDialog dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.SetDlgItemText(1038, "  0042abc");
    dlg.SetDlgItemText(1039, L"王小明");
    dlg.SetDlgItemText(1047, "-7");
    dlg.GetDlgItemAs<wxRadioButton>(1050)->SetValue(true);
    dlg.GetDlgItemAs<wxRadioButton>(1059)->SetValue(true);
    ASSERT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.number, 42);
    EXPECT_EQ(dlg.name, wxString(L"王小明"));
    EXPECT_EQ(dlg.age, -7);
    EXPECT_EQ(dlg.searchBy, 0);
    EXPECT_EQ(dlg.sex, 0);
    EXPECT_TRUE(boxes.texts.empty());
}

TEST(DataExchange, AFieldWithoutAWholeNumberStopsTheExchangeThere) {
    for (const char* bad : {"", "abc", "  -", "99999999999"}) {
        SCOPED_TRACE(bad);
        MessageRecorder boxes;
        FormDialog dlg;
        ASSERT_TRUE(dlg.Create());
        dlg.Show();
        dlg.SetDlgItemText(1038, wxString::FromUTF8(bad));
        dlg.SetDlgItemText(1039, "after");
        dlg.SetDlgItemText(1047, "30");
        dlg.GetDlgItem(1047)->SetFocus();
        EXPECT_FALSE(dlg.UpdateData(TRUE));
        ASSERT_EQ(boxes.texts.size(), 1u);
        EXPECT_EQ(boxes.texts[0], wxString(L"请输入一个整数。"));
        EXPECT_TRUE(HasFocusInItsWindow(dlg.GetDlgItem(1038)));
        // The members from the failed field on keep their values.
        EXPECT_EQ(dlg.number, 5);
        EXPECT_EQ(dlg.name, "before");
        EXPECT_EQ(dlg.age, 20);
        EXPECT_EQ(dlg.searchBy, 1);
    }
}

TEST(DataExchange, TheEndOfAFormStillSavesWhatCameBeforeAFailure) {
    MessageRecorder boxes;
    FormDialog dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.SetDlgItemText(1038, "8");
    dlg.SetDlgItemText(1039, "kept");
    dlg.SetDlgItemText(1047, "x");
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.number, 8);
    EXPECT_EQ(dlg.name, "kept");
    EXPECT_EQ(dlg.age, 20);
    // OnOK does not end a dialog whose form does not validate.
    dlg.OnOK();
    EXPECT_EQ(boxes.texts.size(), 2u);
}

namespace {

// A skinned control as the controls' engineers write them.
class SkinButton : public wxWindow {
public:
    SkinButton() { ++alive; }
    ~SkinButton() override { --alive; }
    bool Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long style) {
        createdText = text;
        createdStyle = style;
        createdRect = rect;
        return wxWindow::Create(parent, id, rect.GetPosition(), rect.GetSize());
    }
    void Click() {
        wxCommandEvent ev(wxEVT_BUTTON, GetId());
        ev.SetEventObject(this);
        ProcessWindowEvent(ev);
    }
    wxString createdText;
    long createdStyle = 0;
    wxRect createdRect;
    static int alive;
};
int SkinButton::alive = 0;

struct SkinnedDialog : CDialog {
    SkinnedDialog() : CDialog(kFormTemplate) {}
    SkinButton search;
    SkinButton extra;  // never subclassed: no window
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, 1057, search); }
};

}  // namespace

TEST(SubclassDlgItem, TheSkinnedMemberTakesThePlaceholdersPlace) {
    auto* dlg = new SkinnedDialog;
    int clicks = 0;
    dlg->BindClicked(1057, [&] { ++clicks; });
    ASSERT_TRUE(dlg->Create());
    ASSERT_EQ(dlg->GetDlgItem(1057), &dlg->search);
    EXPECT_EQ(dlg->search.createdText, wxString(L"搜 索"));
    EXPECT_EQ(dlg->search.createdStyle, static_cast<long>(cs::TabStop | cs::Hidden));
    EXPECT_EQ(dlg->search.createdRect, plat::DluToPx(410, 15, 62, 18));
    EXPECT_FALSE(dlg->search.IsShown());  // the template hid it
    // Tab order: between the multi-line edit and the status line, as in the template.
    const wxWindowList& kids = dlg->GetChildren();
    auto pos = [&](wxWindow* w) { return std::distance(kids.begin(), std::find(kids.begin(), kids.end(), w)); };
    EXPECT_EQ(pos(&dlg->search), pos(dlg->GetDlgItem(1045)) + 1);
    EXPECT_EQ(pos(dlg->GetDlgItem(1076)), pos(&dlg->search) + 1);
    // A second exchange does not subclass again.
    EXPECT_TRUE(dlg->UpdateData(FALSE));
    EXPECT_EQ(SkinButton::alive, 2);
    dlg->search.Click();
    EXPECT_EQ(clicks, 1);
    // Deleting the dialog deletes its member controls once (ASan checks the rest).
    dlg->Show();
    delete dlg;
    EXPECT_EQ(SkinButton::alive, 0);
}

TEST(SubclassDlgItem, MemberControlsSurviveAModelessDestroyWindow) {
    SkinnedDialog dlg;
    ASSERT_TRUE(dlg.Create());
    dlg.Show();
    EXPECT_TRUE(dlg.DestroyWindow());
    EXPECT_FALSE(dlg.IsShown());
    EXPECT_EQ(dlg.GetDlgItem(1057), &dlg.search);
    EXPECT_FALSE(dlg.SubclassDlgItem(4242, dlg.extra));  // no such control
}

namespace {

const plat::DlgTemplate kChildTemplate = {132, 100, 50, L"", ds::Child, L"MS Shell Dlg", 8, {}};

}  // namespace

TEST(Dialog, ChildDialogLiesInItsParentsClientCoordinates) {
    struct Parent : CDialog {
        Parent() : CDialog(kFormTemplate) {}
    } parent;
    ASSERT_TRUE(parent.Create());
    parent.Move(100, 60);
    parent.Show();
    auto* child = new CDialog(kChildTemplate, &parent);
    ASSERT_TRUE(child->Create(&parent));
    child->Move(40, 30);
    EXPECT_EQ(child->GetPosition(), wxPoint(40, 30));
    EXPECT_EQ(child->GetScreenPosition(), parent.ClientToScreen(wxPoint(40, 30)));
    // It follows its parent once the move is reported.
    parent.Move(300, 200);
    EXPECT_EQ(child->GetPosition(), wxPoint(40, 30));
    EXPECT_TRUE(PumpUntil([&] { return child->GetScreenPosition() == wxPoint(340, 230); }));
    delete child;
}

TEST(DialogTimers, TimersFireUntilKilledAndRestartWithTheSameId) {
    struct Dlg : CDialog {
        Dlg() : CDialog(kStartTemplate) {}
        int ticks10 = 0, ticks14 = 0;
        BOOL OnInitDialog() override {
            SetTimer(10, 10);
            SetTimer(14, 5000);
            SetTimer(14, 15);  // restarts 14 with the shorter period
            return TRUE;
        }
        void OnTimer(UINT id) override {
            if (id == 10 && ++ticks10 == 3) KillTimer(10);
            if (id == 14) {
                ++ticks14;
                KillTimer(14);
                // Give timer 10 a chance to fire again if it were still running.
                SetTimer(99, 120);
            }
            if (id == 99) EndDialog(IDOK);
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.ticks10, 3);
    EXPECT_EQ(dlg.ticks14, 1);
    EXPECT_FALSE(dlg.KillTimer(10));
}

TEST(DialogMessages, SendFromAWorkerRunsOnTheUserInterfaceThread) {
    constexpr UINT WM_DEVICE_STATUS = WM_USER + 30;
    constexpr UINT WM_DONE = WM_USER + 31;
    struct Dlg : CDialog {
        Dlg() : CDialog(kStartTemplate) {
            OnMessage(WM_DEVICE_STATUS, [this](WPARAM w, LPARAM l) -> LRESULT {
                onUiThread = plat::IsUiThread();
                return static_cast<LRESULT>(w) * 2 + l;
            });
            OnMessage(WM_DONE, [this](WPARAM, LPARAM) -> LRESULT {
                EndDialog(IDOK);
                return 0;
            });
        }
        std::thread worker;
        std::atomic<LRESULT> result{0};
        bool onUiThread = false;
        BOOL OnInitDialog() override {
            worker = std::thread([this] {
                result = SendMessage(WM_DEVICE_STATUS, 20, 2);
                PostMessage(WM_DONE);
            });
            return TRUE;
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(plat::JoinServingSends(dlg.worker, std::chrono::seconds(5)));
    EXPECT_EQ(dlg.result, 42);
    EXPECT_TRUE(dlg.onUiThread);
    EXPECT_EQ(dlg.SendMessage(WM_USER + 99), 0);  // no handler
}

TEST(DialogMessages, PostedMessagesAndRepaintsForADestroyedDialogAreDropped) {
    int handled = 0;
    auto* dlg = new CDialog(kStartTemplate);
    dlg->OnMessage(WM_USER + 5, [&](WPARAM, LPARAM) -> LRESULT { return ++handled; });
    ASSERT_TRUE(dlg->Create());
    dlg->PostMessage(WM_USER + 5);
    dlg->PostInvalidate();
    std::thread([dlg] {
        dlg->PostMessage(WM_USER + 5);
        dlg->PostInvalidate();
    }).join();
    delete dlg;
    plat::RunPostedCalls();
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(handled, 0);
}

namespace {

const plat::DlgControl kDateControls[] = {
    {1038, Ctl::Edit, cs::TabStop, 20, 20, 79, 12, L""},
    {1040, Ctl::DateTime, cs::TabStop, 20, 50, 79, 12, L""},
};
const plat::DlgTemplate kDateTemplate = {234, 200, 200, L"", ds::Popup, L"MS Shell Dlg", 8, kDateControls};

wxPoint Centre(const wxRect& r) { return r.GetPosition() + wxPoint(r.width / 2, r.height / 2); }

}  // namespace

// A day clicked in the drop-down calendar is chosen and closes the calendar,
// and the operator's next click goes where it is aimed: the edit takes the
// focus and the key typed after it.
TEST(DatePicker, AClickedDayClosesTheCalendarAndTheNextClickTakesTheFocus) {
    CDialog dlg(kDateTemplate);
    ASSERT_TRUE(dlg.Create());
    dlg.Move(100, 100);
    dlg.Show();
    auto* picker = dynamic_cast<wxDatePickerCtrl*>(dlg.GetDlgItem(1040));
    ASSERT_TRUE(picker);
    const wxDateTime before(15, wxDateTime::Jan, 2024);
    picker->SetValue(before);
    ASSERT_TRUE(PumpUntil([&] { return dlg.IsShownOnScreen(); }));

    wxUIActionSimulator sim;
    const wxRect box = picker->GetScreenRect();
    // A greyed day of the month before or after (May 2024 starts on a Wednesday;
    // June's 3rd with May's 3rd chosen) also closes it: the page turns first.
    struct Case { int day; double x, y; wxDateTime::Month month; };
    for (const Case c : {Case{15, 1.0 / 12, 0.36, wxDateTime::Apr}, Case{3, 3.0 / 14, 13.0 / 14, wxDateTime::Jun}}) {
        picker->SetValue(wxDateTime(c.day, wxDateTime::May, 2024));
        sim.MouseMove(box.GetRight() - 6, box.y + box.height / 2);
        sim.MouseClick();
        ASSERT_TRUE(PumpUntil([&] { return picker->GetCalendar()->IsShownOnScreen(); })) << c.month;
        const wxRect r = picker->GetCalendar()->GetScreenRect();
        sim.MouseMove(r.x + int(r.width * c.x), r.y + int(r.height * c.y));
        sim.MouseClick();
        const auto closed = [&] { return !picker->GetCalendar()->IsShownOnScreen(); };
        EXPECT_TRUE(PumpUntil([&] { return picker->GetValue().GetMonth() == c.month && closed(); })) << c.month;
        Pump(200);  // wx's combo takes no press on its button for 150 ms after closing
    }
    picker->SetValue(before);
    sim.MouseMove(box.GetRight() - 6, box.y + box.height / 2);  // the drop-down button
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return picker->GetCalendar()->IsShownOnScreen(); }));
    // The middle of the day grid: a day of January other than the 15th.
    const wxRect calendar = picker->GetCalendar()->GetScreenRect();
    sim.MouseMove(calendar.x + calendar.width / 2, calendar.y + calendar.height * 3 / 5);
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return picker->GetValue() != before; }));
    EXPECT_TRUE(PumpUntil([&] { return !picker->GetCalendar()->IsShownOnScreen(); }));

    sim.MouseMove(Centre(dlg.GetDlgItem(1038)->GetScreenRect()));
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return wxWindow::FindFocus() == dlg.GetDlgItem(1038); }));
    sim.Char('7');
    EXPECT_TRUE(PumpUntil([&] { return dlg.GetDlgItemText(1038) == "7"; }));
    EXPECT_EQ(picker->GetValue().GetMonth(), wxDateTime::Jan);
}
