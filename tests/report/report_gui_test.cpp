// The report form over a real station window, against a recording word
// processor and, once, through LibreOffice itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include <sys/stat.h>

#include <opencv2/imgcodecs.hpp>
#include <wx/app.h>
#include <wx/datectrl.h>
#include <wx/eventfilter.h>
#include <wx/timer.h>

#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "platform/DeviceEndpoint.h"
#include "platform/Texts.h"
#include "platform/WindowCapture.h"
#include "platform/automation/DispatchDriver.h"
#include "report/ReportDlg.h"
#include "station/QuillmarshDlg.h"
#include "support/MessageRecorder.h"
#include "support/Pump.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// A word processor that writes down every call as one line:
// "<object> <member number> <m|g|p> <arguments>", arguments as "I4:6",
// "BSTR:'text'" (line feeds and tabs as \n and \t), "&" before one passed by
// reference, "DISP:<object>" for an object.
struct CallLog {
    std::vector<std::string> calls;
    int alive = 0;
    std::string refuse;  // a call starting with this is refused
};

std::string Describe(const VARIANT& v);

class Recorder : public plat::DispatchObject {
public:
    Recorder(CallLog& log, std::string role) : m_log(log), m_role(std::move(role)) { ++m_log.alive; }
    ~Recorder() override { --m_log.alive; }
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* info) override {
        char head[64];
        std::snprintf(head, sizeof head, "%s %X %c", m_role.c_str(), static_cast<unsigned>(id),
                      flags == DISPATCH_METHOD ? 'm' : flags == DISPATCH_PROPERTYGET ? 'g' : 'p');
        std::string line = head;
        for (const VARIANT& v : params.rgvarg) line += " " + Describe(v);
        m_log.calls.push_back(line);
        if (!m_log.refuse.empty() && line.rfind(m_log.refuse, 0) == 0)
            return plat::Refuse(info, "The picture could not be inserted.");
        static const std::map<std::pair<std::string, DISPID>, std::string> made = {
            {{"app", 0x06}, "docs"},    {{"app", 0x05}, "sel"},      {{"app", 0x03}, "doc"},
            {{"docs", 0x0E}, "added"},  {{"sel", 0x44E}, "para"},    {{"sel", 0x05}, "font"},
            {{"sel", 0x19B}, "shapes"}, {{"sel", 0x190}, "range"},   {{"shapes", 0x64}, "shape"},
        };
        if (auto it = made.find({m_role, id}); it != made.end() && result) {
            result->vt = VT_DISPATCH;
            result->pdispVal = new Recorder(m_log, it->second);
        } else if (result) {
            *result = VARIANT::I4(0);
        }
        return S_OK;
    }
    const std::string& Role() const { return m_role; }

private:
    CallLog& m_log;
    std::string m_role;
};

std::string Describe(const VARIANT& v) {
    if (v.vt == (VT_BYREF | VT_VARIANT)) return "&" + Describe(v.Deref());
    switch (v.vt) {
        case VT_EMPTY: return "EMPTY";
        case VT_I2: return "I2:" + std::to_string(v.iVal);
        case VT_I4: return "I4:" + std::to_string(v.lVal);
        case VT_BOOL: return "BOOL:" + std::to_string(v.boolVal);
        case VT_R4: return "R4:" + std::to_string(static_cast<int>(v.fltVal));
        case VT_ERROR: return "MISSING";
        case VT_DISPATCH: {
            auto* r = dynamic_cast<Recorder*>(v.pdispVal);
            return "DISP:" + (r ? r->Role() : std::string("?"));
        }
        case VT_BSTR: {
            wxString s = v.bstrVal;
            s.Replace("\n", "\\n");
            s.Replace("\t", "\\t");
            return "BSTR:'" + std::string(s.utf8_str()) + "'";
        }
        default: return "VT" + std::to_string(v.vt);
    }
}

// The calls one write makes, for the form's contents.
std::vector<std::string> ExpectedWrite(const std::string& name, const std::string& sex, const std::string& age,
                                       const std::string& picture, const std::string& path) {
    std::vector<std::string> c = {
        "app 17 p BOOL:-1", "app 6 g", "docs E m &BSTR:'' &BOOL:0 &I4:0 &EMPTY", "app 5 g",
        "sel 1F9 m &I4:6 &I4:0", "sel 44E g", "sel 5 g",
        // title
        "para 65 p I4:1", "font 82 p I4:1", "font 8D p R4:26", "sel 1FB m BSTR:'Skin report\\n'",
        // customer line
        "font 82 p I4:0", "font 8D p R4:12", "sel 1FB m BSTR:'Name:'", "sel 1FB m BSTR:'" + name + "'",
        "sel 1FB m BSTR:'\\t\\t\\t'", "sel 1FB m BSTR:'Sex:'", "sel 1FB m BSTR:'" + sex + "'",
        "sel 1FB m BSTR:'\\t\\t\\t'", "sel 1FB m BSTR:'Age:'", "sel 1FB m BSTR:'" + age + "'",
        "sel 1FB m BSTR:'\\n\\n'",
        // symptom type
        "para 65 p I4:0", "font 82 p I4:1", "sel 1FB m BSTR:'Type:'", "font 82 p I4:0", "font 8D p R4:10",
        "sel 1FB m BSTR:'oily'", "sel 1FB m BSTR:'\\n'", "sel 19B g",
        // the picture, when there is one
        "sel 190 g", "shapes 64 m BSTR:'" + picture + "' &I2:0 &I2:1 &DISP:range",
        "sel 1F5 m &I4:1 &I4:1 &I4:0", "sel 200 m", "sel 1FB m BSTR:'\\n\\n'",
        // cause and suggestion
        "font 82 p I4:1", "font 8D p R4:12", "sel 1FB m BSTR:'Cause:\\n'", "font 82 p I4:0", "font 8D p R4:10",
        "sel 1FB m BSTR:'dry air\\nstress'", "sel 1FB m BSTR:'\\n\\n'", "font 82 p I4:1", "font 8D p R4:12",
        "sel 1FB m BSTR:'Advice:\\n'", "font 82 p I4:0", "font 8D p R4:10", "sel 1FB m BSTR:''",
        "sel 1FB m BSTR:'\\n\\n'",
        // institution, then the date; the pack has no text for IDS_DATE: its English
        "font 82 p I4:1", "sel 1FB m BSTR:'Clinic:'", "font 82 p I4:0", "sel 1FB m BSTR:'Quill & Co'",
        "sel 1FB m BSTR:'\\n'", "font 82 p I4:1", "para 65 p I4:2", "sel 1FB m BSTR:'Date:'",
        "font 82 p I4:0", "sel 1FB m BSTR:'2024/03/05'",
        // saved
        "app 3 g",
        "doc 66 m &BSTR:'" + path + "' &I4:0 &BOOL:0 &BSTR:'' &BOOL:-1 &BSTR:'' &BOOL:0 &BOOL:0 &BOOL:0 &BOOL:0 &BOOL:0"};
    if (picture.empty()) {
        const auto at = std::find(c.begin(), c.end(), "sel 190 g");
        c.erase(at, at + 2);
    }
    return c;
}

void Click(wxWindow* button) {
    ASSERT_NE(button, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, button->GetId());
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

void PressKey(wxWindow* target, int key) {
    target->SetFocus();
    wxKeyEvent ev(wxEVT_CHAR_HOOK);
    ev.m_keyCode = key;
    ev.SetEventObject(target);
    target->GetEventHandler()->ProcessEvent(ev);
}

class Report : public ::testing::Test {
protected:
    void SetUp() override {
        // Nothing is opened for an operator, however the tests are started.
        if (const char* headless = std::getenv("QUILLMARSH_HEADLESS")) m_headless = headless;
        ::setenv("QUILLMARSH_HEADLESS", "1", 1);
        theApp.m_strImageRoot = wxString::FromUTF8(m_scratch.Path() + "Guests-Image");
        fs::create_directories(m_scratch.Path() + "Guests-Image");
        m_metrics = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1920, 1040));
        plat::SetScreenMetricsOverride(&m_metrics);
        plat::SetDevicePortsForTesting(std::nullopt);
        m_pack = theApp.m_strLangIni;
        theApp.m_strLangIni = wxString::FromUTF8(m_scratch.Write(
            "pack.ini", "[Setting]\nIDS_REPORT=Skin report\nIDS_MEMBER_NAME=Name\nIDS_MEMBER_SEX=Sex\n"
                        "IDS_MEMBER_AGE=Age\nIDS_ZZ_TYPE=Type\nIDS_RESON=Cause\nIDS_SUGGEST=Advice\n"
                        "IDS_JG_NAME=Clinic\nIDS_SAVE=Save\nIDS_PRINT=Print\nIDS_CLOSE=Close\n"));
        report::SetClockForTesting([] { return wxDateTime(5, wxDateTime::Mar, 2024, 7, 8, 9).GetTicks(); });
        g_pStartPage = nullptr;
    }
    void TearDown() override {
        m_form.reset();
        m_station.reset();
        m_headless ? ::setenv("QUILLMARSH_HEADLESS", m_headless->c_str(), 1) : ::unsetenv("QUILLMARSH_HEADLESS");
        g_pStartPage = nullptr;
        theApp.m_strLangIni = m_pack;
        report::SetClockForTesting({});
        plat::SetDevicePortsForTesting(m_ports);
        plat::SetScreenMetricsOverride(nullptr);
        if (m_replaced) plat::RegisterProgId("Word.Application", std::move(m_realWord));
    }

    // A customer taken from the list, as the start page holds it.
    void ChooseCustomer(const wxString& name, const wxString& sex, const wxString& age) {
        record::FillField(m_page.m_curRecord.szName, name);
        record::FillField(m_page.m_curRecord.szSex, sex);
        record::FillField(m_page.m_curRecord.szAge, age);
        m_page.m_bCustomerChosen = 1;
        g_pStartPage = &m_page;
    }
    void OpenStation() {
        m_station = std::make_unique<CQuillmarshDlg>(nullptr);
        ASSERT_TRUE(m_station->Create(nullptr));
        Pump(50);
    }
    // A red picture as the station's last one.
    std::string RedPicture() {
        const std::string path = std::string(m_station->m_strImageDir.utf8_str()) + "/20240305070000.bmp";
        cv::imwrite(path, cv::Mat(30, 40, CV_8UC3, cv::Scalar(0, 0, 255)));
        m_station->m_strLastImage = wxString::FromUTF8(path);
        return path;
    }
    void OpenForm() {
        m_form = std::make_unique<CReportDlg>(m_station.get());
        ASSERT_TRUE(m_form->Create(m_station.get()));
        m_form->Show();
        Pump(50);
    }
    void Record() {
        m_replaced = true;
        m_realWord = plat::RegisterProgId("Word.Application", [this](IDispatch** out) {
            *out = new Recorder(m_log, "app");
            return S_OK;
        });
    }
    void Fill() {
        m_form->SetDlgItemText(CReportDlg::IDC_SYMPTOM, "oily");
        m_form->SetDlgItemText(CReportDlg::IDC_CAUSE, "dry air\nstress");
        m_form->SetDlgItemText(CReportDlg::IDC_INSTITUTION, "Quill & Co");
        m_form->GetDlgItemAs<wxDatePickerCtrl>(CReportDlg::IDC_DATE)->SetValue(wxDateTime(5, wxDateTime::Mar, 2024));
    }
    wxWindow* Item(int id) { return m_form->GetDlgItem(id); }

    TempDir m_scratch;
    plat::ScreenMetrics m_metrics;
    std::optional<plat::DevicePorts> m_ports = plat::DevicePortsInUse();
    wxString m_pack;
    CStartPageDlg m_page;
    std::unique_ptr<CQuillmarshDlg> m_station;
    std::unique_ptr<CReportDlg> m_form;
    MessageRecorder m_messages;
    CallLog m_log;
    bool m_replaced = false;
    std::optional<std::string> m_headless;
    plat::DispatchFactory m_realWord;
};

}  // namespace

TEST_F(Report, ShowsTheCustomerTheTextsAndTheLastPicture) {
    ChooseCustomer(L"王小明", L"男", "35");
    OpenStation();
    RedPicture();
    OpenForm();
    const std::pair<int, wxString> texts[] = {
        {CReportDlg::IDC_NAME, L"王小明"},          {CReportDlg::IDC_SEX, L"男"},  {CReportDlg::IDC_AGE, "35"},
        {CReportDlg::IDC_NAME_LABEL, "Name"},      {CReportDlg::IDC_SYMPTOM_LABEL, "Type:"},
        {CReportDlg::IDC_DATE_LABEL, "Date:"}, {CReportDlg::IDC_SAVE, "Save"}};
    for (const auto& [id, text] : texts) EXPECT_EQ(m_form->GetDlgItemText(id), text) << id;

    // The picture fills its frame; a file that is gone leaves it blank.
    const wxRect frame = Item(CReportDlg::IDC_PICTURE)->GetRect();
    auto redShare = [&] {
        Item(CReportDlg::IDC_PICTURE)->Refresh();
        Pump(100);
        const cv::Mat shot = plat::CaptureClientArea(m_form.get(), wxRect(frame).Deflate(4));
        int red = 0;
        for (auto it = shot.begin<cv::Vec4b>(); it != shot.end<cv::Vec4b>(); ++it)
            red += (*it)[2] > 200 && (*it)[1] < 60 && (*it)[0] < 60;
        return shot.empty() ? -1.0 : static_cast<double>(red) / shot.total();
    };
    EXPECT_GT(redShare(), 0.95);
    m_station->m_strLastImage = m_station->m_strImageDir + "/gone.bmp";
    EXPECT_LT(redShare(), 0.05);
    EXPECT_TRUE(m_messages.texts.empty());
}

TEST_F(Report, ScalesItsControlsToAScreenOf768Lines) {
    m_metrics = plat::ComputeScreenMetrics(wxRect(0, 0, 1366, 768), wxRect(0, 0, 1366, 768));
    plat::SetScreenMetricsOverride(&m_metrics);
    OpenStation();
    OpenForm();
    EXPECT_EQ(m_form->GetClientSize(), wxSize(638, 827));
    // Tops and bottoms times 768 / 827, cut to whole pixels.
    EXPECT_EQ(Item(CReportDlg::IDC_SYMPTOM)->GetRect(), wxRect(83, 98, 344, 19));
    EXPECT_EQ(Item(CReportDlg::IDC_PICTURE)->GetRect(), wxRect(89, 123, 341, 178));
    EXPECT_EQ(Item(CReportDlg::IDC_SAVE)->GetRect(), wxRect(56, 704, 96, 26));
    EXPECT_EQ(Item(CReportDlg::IDC_TITLE)->GetRect(), wxRect(11, 11, 617, 42)) << "the title stays";
}

TEST_F(Report, EscapeAndEnterEndTheFormButEnterInTheTextAreasDoesNot) {
    OpenStation();
    struct Case {
        int focus;
        int key;
        int expected;  // 0: still open
    };
    for (const Case c : {Case{CReportDlg::IDC_SYMPTOM, WXK_RETURN, IDOK}, Case{CReportDlg::IDC_CAUSE, WXK_RETURN, 0},
                         Case{CReportDlg::IDC_SUGGESTION, WXK_RETURN, 0},
                         Case{CReportDlg::IDC_INSTITUTION, WXK_ESCAPE, IDCANCEL}}) {
        CReportDlg form(m_station.get());
        bool open = false;
        wxTheApp->CallAfter([&] {
            PressKey(form.GetDlgItem(c.focus), c.key);
            open = form.IsModal();
            if (open) form.EndDialog(0);
        });
        EXPECT_EQ(form.DoModal(), c.expected) << c.focus;
        EXPECT_EQ(open, c.expected == 0);
        EXPECT_FALSE(form.m_bWritten);
    }
}

TEST_F(Report, OneWriteMakesTheWordProcessorsCallsInOrder) {
    Record();
    struct Case {
        bool customer;
        bool picture;
    };
    for (const Case c : {Case{true, true}, Case{true, false}, Case{false, true}, Case{false, false}}) {
        SCOPED_TRACE(std::to_string(c.customer) + std::to_string(c.picture));
        g_pStartPage = nullptr;
        if (c.customer) ChooseCustomer(L"王小明", L"男", "35");
        OpenStation();
        const std::string picture = c.picture ? RedPicture() : "";
        if (!c.picture) m_station->m_strLastImage.clear();
        OpenForm();
        Fill();
        m_log.calls.clear();
        Click(Item(CReportDlg::IDC_SAVE));
        const std::string path = std::string(m_station->m_strImageDir.utf8_str()) + "/20240305-070809.doc";
        EXPECT_EQ(m_log.calls, c.customer ? ExpectedWrite("王小明", "男", "35", picture, path)
                                          : ExpectedWrite("Customer", "-", "-", picture, path));
        EXPECT_TRUE(m_form->m_bWritten);
        EXPECT_EQ(m_form->m_strDocPath, wxString::FromUTF8(path));
        // Each member holds the one reference to its object; nothing else is kept.
        EXPECT_EQ(m_log.alive, 7);

        // Printing a written document prints it as it is, every time.
        m_log.calls.clear();
        Click(Item(CReportDlg::IDC_PRINT));
        Click(Item(CReportDlg::IDC_PRINT));
        const std::string print = "doc 1BC m &I2:0 &MISSING &MISSING &MISSING &MISSING &MISSING &MISSING &I4:1 "
                                  "&MISSING &MISSING &MISSING &MISSING &MISSING &MISSING &MISSING &MISSING "
                                  "&MISSING &MISSING";
        EXPECT_EQ(m_log.calls, std::vector<std::string>(2, print));

        Click(Item(CReportDlg::IDC_CLOSE));
        EXPECT_EQ(m_log.alive, 0);
        EXPECT_FALSE(m_form->IsShown());
        m_form.reset();
        m_station.reset();
    }
    EXPECT_TRUE(m_messages.texts.empty());
}

TEST_F(Report, ARefusedCallIsShownAndTheNextWriteStartsAfresh) {
    Record();
    OpenStation();
    RedPicture();
    OpenForm();
    m_log.refuse = "shapes 64";
    Click(Item(CReportDlg::IDC_SAVE));
    EXPECT_EQ(m_messages.texts, std::vector<wxString>{"The picture could not be inserted."});
    EXPECT_FALSE(m_form->m_bWritten);
    EXPECT_TRUE(m_form->IsShown());
    // Print writes again: the application of the stopped write goes first.
    m_log.refuse.clear();
    Click(Item(CReportDlg::IDC_PRINT));
    EXPECT_TRUE(m_form->m_bWritten);
    EXPECT_EQ(m_log.calls.back().rfind("doc 1BC m", 0), 0u);
    EXPECT_EQ(m_log.alive, 7);
}

TEST_F(Report, WithoutLibreOfficeTheOperatorIsToldAndNothingIsWritten) {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", m_scratch.Path().c_str(), 1);
    OpenStation();
    OpenForm();
    Click(Item(CReportDlg::IDC_SAVE));
    Click(Item(CReportDlg::IDC_PRINT));  // writes again, then prints nothing
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(m_messages.texts, std::vector<wxString>(2, "save to file failed! maybe office not installed"));
    EXPECT_FALSE(m_form->m_bWritten);
    EXPECT_TRUE(m_form->m_strDocPath.empty());
    EXPECT_TRUE(m_form->IsShown());
}

// Sees the operator's left clicks before the save's wait drops them.
class ClickSpy : public wxEventFilter {
public:
    ClickSpy() { wxEvtHandler::AddFilter(this); }
    ~ClickSpy() override { wxEvtHandler::RemoveFilter(this); }
    int FilterEvent(wxEvent& event) override {
        if (event.GetEventType() == wxEVT_LEFT_UP) clicked = true;
        return Event_Skip;
    }
    bool clicked = false;
};

// While LibreOffice converts, the form repaints, and what the operator clicks
// or types meanwhile is dropped, not kept for a second save afterwards; the
// form's own Enter and Escape do not end it either.
TEST_F(Report, ASlowSaveKeepsTheFormAliveAndDropsInputMeanwhile) {
    if (std::system("command -v xdotool >/dev/null") != 0) GTEST_SKIP() << "xdotool is not installed";
    // A LibreOffice whose conversion ends when the test lets it.
    const std::string office = m_scratch.Write("bin/soffice", R"(#!/bin/sh
echo run >> "$SLOW_OFFICE_LOG"
while [ ! -e "$SLOW_OFFICE_LOG.go" ]; do sleep 0.02; done
while [ $# -gt 0 ]; do [ "$1" = --outdir ] && outdir="$2"; input="$1"; shift; done
printf '\320\317\021\340\241\261\032\341' > "$outdir/$(basename "${input%.*}").doc"
)");
    ::chmod(office.c_str(), 0755);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", (m_scratch.Path() + "bin:" + path).c_str(), 1);
    const std::string runs = m_scratch.File("runs");
    ::setenv("SLOW_OFFICE_LOG", runs.c_str(), 1);
    OpenStation();
    OpenForm();
    m_form->Raise();
    Pump(100);

    int paints = 0, paintsBefore = 0;
    m_form->Bind(wxEVT_PAINT, [&](wxPaintEvent& e) {
        ++paints;
        e.Skip();
    });
    const wxPoint save = Item(CReportDlg::IDC_SAVE)->GetScreenRect().GetPosition() + wxPoint(20, 10);
    std::unique_ptr<ClickSpy> spy;
    std::thread operator_;
    // Ticks only while the save waits on the conversion: once it has begun,
    // Enter and Escape are tried and the operator types and clicks Save; the
    // conversion ends only when the click has come through and the form has
    // painted meanwhile, so a written document says both happened.
    wxTimer tick;
    tick.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        m_form->Refresh();
        if (!spy && TempDir::Read(runs) == "run\n") {
            paintsBefore = paints;
            m_form->OnOK();
            m_form->OnCancel();
            spy = std::make_unique<ClickSpy>();
            operator_ = std::thread([save] {
                const std::string input = "xdotool key Return key Escape mousemove " + std::to_string(save.x) + " " +
                                          std::to_string(save.y) + " click 1";
                EXPECT_EQ(std::system(input.c_str()), 0);
            });
        } else if (spy && spy->clicked && paints >= paintsBefore + 3 && !fs::exists(runs + ".go")) {
            m_scratch.Write("runs.go", "");
        }
    });
    tick.Start(50);
    Click(Item(CReportDlg::IDC_SAVE));
    tick.Stop();
    if (operator_.joinable()) operator_.join();
    spy.reset();
    Pump(300);  // input kept for afterwards would act now
    ::setenv("PATH", path.c_str(), 1);

    EXPECT_EQ(TempDir::Read(runs), "run\n");
    EXPECT_TRUE(m_form->m_bWritten);
    EXPECT_TRUE(m_form->IsShown());
    EXPECT_TRUE(m_messages.texts.empty());
}

// The road of one report: the station's report button, the form filled in,
// saved through LibreOffice, a print refused for want of a printer, closed.
TEST_F(Report, TheReportButtonSavesAWord97DocumentInTheCustomersFolder) {
    if (std::system("command -v soffice >/dev/null") != 0) GTEST_SKIP() << "LibreOffice is not installed";
    theApp.m_strLangIni = wxString::FromUTF8(QUILL_BUILD_DIR "/Language/简体中文.ini");
    report::SetClockForTesting({});
    ::setenv("CUPS_SERVER", "/nonexistent/cups.sock", 1);  // no printer, whatever the machine has
    ChooseCustomer(L"王小明", L"男", "35");
    OpenStation();
    RedPicture();
    const std::string folder(m_station->m_strImageDir.utf8_str());

    bool printRefusedWhileOpen = false;
    wxTheApp->CallAfter([&] {
        CReportDlg* form = m_station->m_pReportDlg;
        ASSERT_NE(form, nullptr);
        form->SetDlgItemText(CReportDlg::IDC_SYMPTOM, L"头皮油性");
        form->SetDlgItemText(CReportDlg::IDC_CAUSE, "First cause line\nSecond cause line");
        form->SetDlgItemText(CReportDlg::IDC_SUGGESTION, L"少熬夜");
        form->SetDlgItemText(CReportDlg::IDC_INSTITUTION, "Quillmarsh Clinic");
        Click(form->GetDlgItem(CReportDlg::IDC_SAVE));
        Click(form->GetDlgItem(CReportDlg::IDC_PRINT));
        printRefusedWhileOpen = form->IsModal() && m_messages.texts.size() == 1 &&
                                m_messages.texts[0].Contains(plat::Text(plat::kNoPrinter));
        Click(form->GetDlgItem(CReportDlg::IDC_CLOSE));
    });
    Click(m_station->GetDlgItem(1014));
    ::unsetenv("CUPS_SERVER");
    EXPECT_EQ(m_station->m_pReportDlg, nullptr);
    EXPECT_TRUE(printRefusedWhileOpen) << (m_messages.texts.empty() ? "" : m_messages.texts[0].utf8_str());

    std::vector<fs::path> docs;
    for (const auto& e : fs::directory_iterator(folder)) {
        if (e.path().extension() == ".doc") docs.push_back(e.path());
        EXPECT_NE(e.path().filename().string()[0], '.') << "left behind: " << e.path();
    }
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_TRUE(std::regex_match(docs[0].filename().string(), std::regex(R"(\d{8}-\d{6}\.doc)")));
    std::ifstream in(docs[0], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0), 0u) << "a Word 97 compound file";
    // The picture is stored in it: found and decoded from the document's bytes.
    const auto png = bytes.find("\x89PNG\r\n\x1a\n");
    ASSERT_NE(png, std::string::npos);
    const cv::Mat stored = cv::imdecode(std::vector<unsigned char>(bytes.begin() + png, bytes.end()), cv::IMREAD_COLOR);
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(stored.size(), cv::Size(40, 30));
    EXPECT_EQ(stored.at<cv::Vec3b>(15, 20), cv::Vec3b(0, 0, 255));

    // The text, read back by LibreOffice.
    TempDir back;
    const std::string command = "soffice --headless -env:UserInstallation=file://" + back.Path() +
                                "profile --convert-to 'txt:Text (encoded):UTF8' --outdir '" + back.Path() + "' '" +
                                docs[0].string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream txt(back.Path() + docs[0].stem().string() + ".txt");
    const std::string text((std::istreambuf_iterator<char>(txt)), {});
    const std::string today(wxDateTime::Today().Format("%Y/%m/%d").utf8_str());
    for (const std::string& expected :
         {std::string("皮肤/发质检测报告"), std::string("姓名:王小明\t\t\t性别:男\t\t\t年龄:35"), std::string("症状类型:头皮油性"),
          std::string("原因:\nFirst cause line\nSecond cause line"), std::string("建议:\n少熬夜"),
          std::string("机构名称:Quillmarsh Clinic"), "日期:" + today})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
}
