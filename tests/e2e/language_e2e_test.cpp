// The road of each language chosen in Setup.ini: the records in the pack's
// words (on screen, and the message of an added customer), the station for a
// guest, the comparison, and the report form in the pack's words, saved as a
// document with the pack's captions and guest name.
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

bool IsReportForm(const Geometry& g) { return g.width == plat::DluToPxX(425) && g.height > 700; }
const wxRect kRecordsNameLabel = plat::DluToPx(4, 148, 46, 8);
const wxRect kRecordsClose = plat::DluToPx(491, 38, 62, 18);
const wxRect kReportTypeLabel = plat::DluToPx(14, 67, 41, 8);
const wxRect kReportSave = plat::DluToPx(37, 467, 50, 18);
const wxRect kReportClose = plat::DluToPx(337, 467, 50, 18);

// How well `text`, drawn in the dialogs' font, matches its best place on the
// screen around `control` of `dialog` (1: the same pixels).
double TextOnScreen(const ProgramRun& run, const Geometry& dialog, const wxRect& control, const wxString& text) {
    const cv::Mat screen = Screen(run);
    const wxFont font(wxFontInfo(8).Family(wxFONTFAMILY_SWISS));
    wxBitmap bitmap(1, 1);
    wxMemoryDC dc(bitmap);
    dc.SetFont(font);
    const wxSize size = dc.GetTextExtent(text) + wxSize(2, 2);
    bitmap = wxBitmap(size.x, size.y, 24);
    dc.SelectObject(bitmap);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    dc.SetFont(font);
    dc.SetTextForeground(*wxWHITE);
    dc.DrawText(text, 1, 1);
    dc.SelectObject(wxNullBitmap);
    const wxImage image = bitmap.ConvertToImage();
    cv::Mat drawn, area, score;
    cv::cvtColor(cv::Mat(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetData()), drawn, cv::COLOR_RGB2GRAY);
    const cv::Rect around(dialog.x + control.x - 8, dialog.y + control.y - 8, control.width + 16, control.height + 16);
    if (screen.empty() || (around & cv::Rect(0, 0, screen.cols, screen.rows)) != around) return 0;
    cv::cvtColor(screen(around), area, cv::COLOR_BGR2GRAY);
    if (area.cols < drawn.cols || area.rows < drawn.rows) return 0;
    cv::matchTemplate(area, drawn, score, cv::TM_CCOEFF_NORMED);
    double best = 0;
    cv::minMaxLoc(score, nullptr, &best);
    return best;
}

// Whether each text shows at its control soon (the wrong language's words
// score below 0.75, the right ones above 0.85).
::testing::AssertionResult Shows(const ProgramRun& run, const Geometry& dialog,
                                 const std::vector<std::pair<wxRect, wxString>>& texts) {
    std::string scores;
    const bool all = Within(5s, [&] {
        scores.clear();
        bool shown = true;
        for (const auto& [control, text] : texts) {
            const double score = TextOnScreen(run, dialog, control, text);
            scores += std::string(text.utf8_str()) + " " + std::to_string(score) + "; ";
            shown = shown && score > 0.8;
        }
        return shown;
    });
    return all ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << scores;
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
    // The texts the road expects: the chosen pack's, read as the program reads them.
    void SetUp() override {
        plat::SetExecutableFolderForTesting(QUILL_BUILD_DIR "/");
        theApp.m_strLangIni = CQuillmarshApp::LanguagePackPath(GetParam());
        plat::SetExecutableFolderForTesting("");
    }
    void TearDown() override { theApp.m_strLangIni.clear(); }
    static wxString Pack(const char* key) { return theApp.GetLangString(key); }
    static std::string Last(const ProgramRun& run) { return run.Messages().empty() ? "" : run.Messages().back(); }
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
    EXPECT_TRUE(Shows(run, *records, {{kRecordsNameLabel, Pack("IDS_MEMBER_NAME") + ":"}, {kRecordsAdd, Pack("IDS_ADD")}}));
    // A customer added: the pack says so.
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
    Click(BackButton());
    EXPECT_TRUE(Within(5s, [&] { return !WindowShown(pid, isComparison); })) << "the comparison stays";

    // The report form in the pack's words; its document too, with the
    // guest's name from the pack.
    Click(l.report);
    const auto form = FindWindow(pid, IsReportForm, 10s);
    ASSERT_TRUE(form) << "no report form";
    EXPECT_TRUE(Shows(run, *form, {{kReportTypeLabel, Pack("IDS_ZZ_TYPE") + ":"}, {kReportSave, Pack("IDS_SAVE")}}));
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
