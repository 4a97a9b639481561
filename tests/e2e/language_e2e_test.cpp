// The road of each language through the whole program, chosen in Setup.ini:
// the start page, the customer records in the pack's words (on screen and in
// the message of an added customer), the station for a guest with the
// device's stream, the comparison window, and the report form in the pack's
// words, saved as a document whose captions and guest name are the pack's.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

#include <opencv2/imgproc.hpp>
#include <wx/dcmemory.h>

#include "Roads.h"
#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "compare/ComPareDlg.h"
#include "platform/Paths.h"
#include "platform/ScreenMetrics.h"
#include "platform/ui/DialogTemplate.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

bool IsRecords(const Geometry& g) { return g.width == plat::DluToPxX(585) && g.height > 500; }
bool IsReportForm(const Geometry& g) { return g.width == plat::DluToPxX(425) && g.height > 700; }
const wxRect kRecordsNameLabel = plat::DluToPx(4, 148, 46, 8);
const wxRect kRecordsNumber = plat::DluToPx(54, 126, 79, 12);
const wxRect kRecordsName = plat::DluToPx(54, 148, 79, 12);
const wxRect kRecordsAdd = plat::DluToPx(171, 39, 62, 18);
const wxRect kRecordsClose = plat::DluToPx(491, 38, 62, 18);
const wxRect kReportTypeLabel = plat::DluToPx(14, 67, 41, 8);
const wxRect kReportSave = plat::DluToPx(37, 467, 50, 18);
const wxRect kReportClose = plat::DluToPx(337, 467, 50, 18);

// How well `text`, drawn in the dialogs' font, matches the best place in the
// part of the screen around `control` (1 the same pixels, near 0 none).
double TextOnScreen(const ProgramRun& run, const Geometry& dialog, const wxRect& control, const wxString& text) {
    const cv::Mat screen = Screen(run);
    if (screen.empty()) return 0;
    wxBitmap bitmap(1, 1);
    wxMemoryDC dc(bitmap);
    dc.SetFont(wxFont(wxFontInfo(8).Family(wxFONTFAMILY_SWISS)));
    const wxSize size = dc.GetTextExtent(text);
    dc.SelectObject(wxNullBitmap);
    bitmap = wxBitmap(size.x + 2, size.y + 2, 24);
    dc.SelectObject(bitmap);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    dc.SetFont(wxFont(wxFontInfo(8).Family(wxFONTFAMILY_SWISS)));
    dc.SetTextForeground(*wxWHITE);
    dc.DrawText(text, 1, 1);
    dc.SelectObject(wxNullBitmap);
    const wxImage image = bitmap.ConvertToImage();
    const cv::Mat drawn(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetData());
    cv::Mat drawnGrey, areaGrey;
    cv::cvtColor(drawn, drawnGrey, cv::COLOR_RGB2GRAY);
    const cv::Rect area = cv::Rect(dialog.x + control.x - 8, dialog.y + control.y - 8, control.width + 16,
                                   control.height + 16) &
                          cv::Rect(0, 0, screen.cols, screen.rows);
    cv::cvtColor(screen(area), areaGrey, cv::COLOR_BGR2GRAY);
    if (areaGrey.cols < drawnGrey.cols || areaGrey.rows < drawnGrey.rows) return 0;
    cv::Mat score;
    cv::matchTemplate(areaGrey, drawnGrey, score, cv::TM_CCOEFF_NORMED);
    double best = 0;
    cv::minMaxLoc(score, nullptr, &best);
    return best;
}

std::string Utf8(const wxString& s) { return std::string(s.utf8_str()); }

// The saved document as text, read back by LibreOffice.
std::string DocumentText(const fs::path& doc, const fs::path& scratch) {
    const fs::path out = scratch / "text";
    fs::create_directories(out);
    Shell("soffice --headless -env:UserInstallation=file://" + (out / "profile").string() +
          " --convert-to 'txt:Text (encoded):UTF8' --outdir '" + out.string() + "' '" + doc.string() +
          "' >/dev/null 2>&1");
    std::ifstream in(out / (doc.stem().string() + ".txt"));
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

class LanguageRoad : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        // The texts the road expects: the pack's own, read as the program reads them.
        m_pack = theApp.m_strLangIni;
        plat::SetExecutableFolderForTesting(QUILL_BUILD_DIR "/");
        theApp.m_strLangIni = CQuillmarshApp::LanguagePackPath(GetParam());
        plat::SetExecutableFolderForTesting("");
    }
    void TearDown() override { theApp.m_strLangIni = m_pack; }
    static wxString Pack(const char* key) { return theApp.GetLangString(key); }
    static std::string Last(const ProgramRun& run) {
        const auto messages = run.Messages();
        return messages.empty() ? "" : messages.back();
    }
    wxString m_pack;
};

TEST_P(LanguageRoad, RecordsStationComparisonAndReportReadInTheChosenLanguage) {
    if (std::system("command -v soffice >/dev/null") != 0) GTEST_SKIP() << "LibreOffice is not installed";
    DeviceSim sim({"--fps", "15"}, 300);
    ASSERT_TRUE(sim.Started());
    ProgramRun run;
    std::ofstream(run.Dir() / "Setup.ini") << "[setup]\r\nlanguage=" << GetParam() << "\r\n";
    run.SetEnv("QUILLMARSH_DEVICE_PORTS", PortsText(TestDevicePorts()));
    const pid_t pid = run.Start();
    const auto page = FindStartPage(pid);
    ASSERT_TRUE(page) << run.OutputText();

    // The records: labels and buttons in the pack's words.
    ClickStartPageButton(*page, 0);
    const auto records = FindWindow(pid, IsRecords, 10s);
    ASSERT_TRUE(records) << "no customer records";
    EXPECT_TRUE(Within(5s, [&] {
        return TextOnScreen(run, *records, kRecordsNameLabel, Pack("IDS_MEMBER_NAME") + ":") > 0.8 &&
               TextOnScreen(run, *records, kRecordsAdd, Pack("IDS_ADD")) > 0.8;
    })) << "name label " << TextOnScreen(run, *records, kRecordsNameLabel, Pack("IDS_MEMBER_NAME") + ":")
        << ", add button " << TextOnScreen(run, *records, kRecordsAdd, Pack("IDS_ADD"));
    // A customer added: the pack says so.
    ClickAt(records->Origin() + CentreOf(kRecordsNumber));
    PressKeys("ctrl+a");
    TypeText("12");
    ClickAt(records->Origin() + CentreOf(kRecordsName));
    PressKeys("ctrl+a");
    TypeText("Lin Mei");
    ClickAt(records->Origin() + CentreOf(kRecordsAdd));
    ASSERT_TRUE(Within(10s, [&] { return !run.Messages().empty(); })) << "nothing said";
    EXPECT_EQ(run.Messages(), std::vector<std::string>{Utf8(Pack("IDS_ADD_SUCCESS"))});

    // Closed without a customer: the station for a guest, the stream live.
    ClickAt(records->Origin() + CentreOf(kRecordsClose));
    ASSERT_TRUE(FindStationWindow(pid)) << "no station window";
    ASSERT_TRUE(Within(15s, [&] { return ShowsSimulatorPicture(ViewOnScreen(run)); }));
    const StationLayout& l = StationOnScreen();

    // The comparison window over the live picture, and back out of it.
    const CompareLayout c = ComputeCompareLayout(
        plat::ComputeScreenMetrics(wxRect(0, 0, kScreenWidth, kScreenHeight), wxRect(0, 0, kScreenWidth, kScreenHeight)),
        wxSize(1, 1));
    auto isComparison = [&](const Geometry& g) { return g.width == c.window.width && g.height == c.window.height; };
    Click(l.skinCompare);
    const auto comparison = FindWindow(pid, isComparison, 10s);
    ASSERT_TRUE(comparison) << "no comparison window";
    const wxPoint pane = comparison->Origin() + c.leftPane.GetPosition();
    EXPECT_TRUE(Within(10s, [&] {
        const cv::Mat s = Screen(run);
        return !s.empty() && ShowsSimulatorPicture(s(cv::Rect(pane.x, pane.y, c.leftPane.width, c.leftPane.height)));
    }));
    Click(BackButton());
    EXPECT_TRUE(Within(5s, [&] { return !WindowShown(pid, isComparison); })) << "the comparison stays";

    // The report form in the pack's words; its document too, with the
    // guest's name from the pack.
    Click(l.report);
    const auto form = FindWindow(pid, IsReportForm, 10s);
    ASSERT_TRUE(form) << "no report form";
    EXPECT_TRUE(Within(5s, [&] {
        return TextOnScreen(run, *form, kReportTypeLabel, Pack("IDS_ZZ_TYPE") + ":") > 0.8 &&
               TextOnScreen(run, *form, kReportSave, Pack("IDS_SAVE")) > 0.8;
    })) << "type label " << TextOnScreen(run, *form, kReportTypeLabel, Pack("IDS_ZZ_TYPE") + ":") << ", save button "
        << TextOnScreen(run, *form, kReportSave, Pack("IDS_SAVE"));
    const fs::path guest = run.Dir() / "Guests-Image" / "Guest";
    ClickAt(form->Origin() + CentreOf(kReportSave));
    const fs::path doc = AwaitNewFile(guest, ".doc", {}, 90s);
    ASSERT_FALSE(doc.empty()) << "no report document; messages: " << Last(run);
    const std::string text = DocumentText(doc, run.Scratch());
    for (const wxString& expected :
         {Pack("IDS_REPORT"), Pack("IDS_MEMBER_NAME") + ":" + theApp.GetLangString(lang::kGuestName),
          Pack("IDS_MEMBER_SEX") + ":-", Pack("IDS_MEMBER_AGE") + ":-", Pack("IDS_ZZ_TYPE") + ":",
          Pack("IDS_RESON") + ":", Pack("IDS_SUGGEST") + ":", Pack("IDS_JG_NAME") + ":", Pack("IDS_DATE") + ":"})
        EXPECT_NE(text.find(Utf8(expected)), std::string::npos) << Utf8(expected) << "\nin:\n" << text;
    ClickAt(form->Origin() + CentreOf(kReportClose));
    EXPECT_TRUE(Within(5s, [&] { return !WindowShown(pid, IsReportForm); }));
    EXPECT_EQ(run.Messages().size(), 1u) << Last(run);
}

INSTANTIATE_TEST_SUITE_P(EachLanguage, LanguageRoad, ::testing::Values(0, 1, 2, 3));

}  // namespace
