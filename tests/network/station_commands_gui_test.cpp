// The station window's commands on a real display, and one comparison by
// pointer with the device simulator streaming.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <wx/uiaction.h>

#include "support/DeviceSim.h"
#include "app/QuillmarshApp.h"
#include "capture/CvvImage.h"
#include "controls/MenuEx.h"
#include "station/Overlays.h"
#include "station/QuillmarshDlg.h"
#include "support/FakeLauncher.h"
#include "support/MessageRecorder.h"
#include "support/ProgramRun.h"
#include "support/Pump.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

int CountRed(const cv::Mat& bgr) {
    return static_cast<int>(std::count_if(bgr.begin<cv::Vec3b>(), bgr.end<cv::Vec3b>(), [](const cv::Vec3b& p) {
        return p[2] > 200 && p[1] < 60 && p[0] < 60;
    }));
}

class Commands : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root);
        theApp.m_strImageRoot = wxString::FromUTF8(m_root);
        m_metrics = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1920, 1040));
        plat::SetScreenMetricsOverride(&m_metrics);
        station::SetShutterSoundForTesting([] {});
        plat::SetDevicePortsForTesting(std::nullopt);  // no device unless a test starts one
    }
    void TearDown() override {
        m_dlg.reset();
        plat::SetDevicePortsForTesting(m_ports);
        theApp.m_bCompareMode = 0;
        station::SetShutterSoundForTesting({});
        station::SetCompareMakerForTesting({});
        plat::SetScreenMetricsOverride(nullptr);
    }
    void Open(bool live = true) {
        m_dlg = std::make_unique<CQuillmarshDlg>(nullptr);
        ASSERT_TRUE(m_dlg->Create(nullptr));
        if (live) m_dlg->ShowLiveControls(TRUE);
        Pump(100);
    }
    bool Shown(int id) const { return m_dlg->GetDlgItem(id)->IsShown(); }
    // From a capture thread, a copy the sink may draw into.
    void Feed() {
        cv::Mat copy = m_frame.clone();
        IplImage header = cvIplImage(copy);
        std::thread([&] { CQuillmarshDlg::OnFrame(&header); }).join();
    }
    // A stroke along row 200 of the comparison window's left pane.
    static void Stroke(CComPareDLg* c) {
        const wxPoint o = c->m_paneLive.ClientToScreen(wxPoint(0, 0));
        c->OnLButtonDown(o + wxPoint(100, 200));
        for (int x = 120; x <= 400; x += 20) c->OnMouseMove(o + wxPoint(x, 200));
        c->OnLButtonUp();
    }

    TempDir m_scratch;
    const std::string m_root = m_scratch.Path() + "Guests-Image";
    plat::ScreenMetrics m_metrics;
    std::optional<plat::DevicePorts> m_ports = plat::DevicePortsInUse();
    MessageRecorder m_messages;
    std::unique_ptr<CQuillmarshDlg> m_dlg;
    cv::Mat m_frame{480, 640, CV_8UC3, cv::Scalar(90, 140, 60)};
};

}  // namespace

TEST_F(Commands, AComparisonReplacesTheOpenOneAndOneThatCannotBeMadeLeavesTheLiveView) {
    Open();
    m_dlg->OnBnClickedPen();  // no comparison window: nothing
    m_dlg->OnBnClickedSkinCompare();
    CComPareDLg* skin = m_dlg->m_pCompareDlg;
    ASSERT_NE(skin, nullptr);
    for (int id : {1011, 1005, 1006, 1001, 1002, 1027}) EXPECT_FALSE(Shown(id)) << id;
    EXPECT_TRUE(skin->IsShown() && Shown(1016) && Shown(1008));
    m_dlg->OnBnClickedPen();
    Stroke(skin);

    m_dlg->OnBnClickedHairCompare();
    CComPareDLg* hair = m_dlg->m_pCompareDlg;
    ASSERT_NE(hair, nullptr);
    EXPECT_EQ(hair->GetDlgItemText(1028), wxString(L"受损"));
    EXPECT_EQ(hair->m_strokes.GetCount(), 0);
    EXPECT_FALSE(hair->m_nMode != 1 || hair->m_bDrawEnabled || m_dlg->m_btnPen.m_bToggled);

    station::SetCompareMakerForTesting([](int, CQuillmarshDlg*) { return nullptr; });
    m_dlg->OnBnClickedSkinCompare();
    EXPECT_EQ(m_dlg->m_pCompareDlg, nullptr);
    EXPECT_EQ(theApp.m_bCompareMode, 0);
    EXPECT_TRUE(Shown(1011) && Shown(1005) && !Shown(1016));
    EXPECT_EQ(m_messages.texts.size(), 1u);
}

TEST_F(Commands, TheEraserClearsAFrozenPaneAtItsNextPaintAndALiveOneWithTheNextFrame) {
    Open();
    Feed();
    m_dlg->OnBnClickedSkinCompare();
    CComPareDLg* c = m_dlg->m_pCompareDlg;
    m_dlg->OnBnClickedPen();
    for (bool frozen : {true, false}) {
        m_dlg->OnBnClickedFreeze();
        Stroke(c);
        if (!frozen) Feed();
        EXPECT_GT(CountRed(c->m_paneLive.Snapshot()), 200);
        m_dlg->OnBnClickedEraser();
        EXPECT_GT(CountRed(c->m_paneLive.Snapshot()), 200) << frozen;
        if (frozen) c->OnPaint(); else Feed();
        EXPECT_EQ(CountRed(c->m_paneLive.Snapshot()), 0) << frozen;
    }
}

// An opener that finds no file manager ends with a failure (xdg-open on a
// machine without a desktop): the operator is told, in the pack's language,
// whenever that is.  One that runs on (-3: xdg-open without a desktop runs the
// file manager) holds nothing: a click (xdotool) meanwhile is answered.
TEST_F(Commands, TheFilesButtonHandsExactlyTheCustomersFolderToTheOpenerAndSaysWhenItFails) {
    Open();
    theApp.m_strLangIni = wxString::FromUTF8(QUILL_BUILD_DIR "/Language/简体中文.ini");
    const wxPoint compare = m_dlg->GetDlgItem(1005)->GetScreenRect().GetPosition() + wxPoint(20, 20);
    for (int status : {0, 3, -3}) {
        FakeLauncher launcher(std::abs(status), status < 0);
        MessageRecorder messages;
        fs::remove_all(m_dlg->m_strImageDir.utf8_string());  // gone meanwhile: made again
        std::thread clicker([&] { if (status < 0 && !launcher.Opened().empty()) ClickAt(compare); });
        m_dlg->OnBnClickedFiles();
        EXPECT_TRUE(PumpUntil([&] { return status >= 0 || (m_dlg->m_pCompareDlg && messages.texts.empty()); }));
        launcher.Release();
        clicker.join();
        EXPECT_EQ(launcher.Opened(), m_dlg->m_strImageDir.utf8_string() + "|1");
        EXPECT_TRUE(fs::is_directory(m_dlg->m_strImageDir.utf8_string()));
        const std::vector<wxString> told{wxString::FromUTF8("没有能打开此文件夹的文件管理器：\n") + m_dlg->m_strImageDir};
        if (status) PumpUntil([&] { return !messages.texts.empty(); });
        EXPECT_EQ(messages.texts, status ? told : std::vector<wxString>{}) << status;
    }
    theApp.m_strLangIni.clear();
}

TEST_F(Commands, TheMagnificationRecalibratesTheFrozenPictureAtOnceAndTheLiveRulerFromTheNextFrame) {
    Open();
    m_dlg->OnBnClickedScale();
    m_dlg->OnBnClickedScaleMenu();
    CMenuEx* menu = m_dlg->m_pMagnifyMenu;
    const wxRect button = m_dlg->m_btnScaleMenu.GetScreenRect(), shown = menu->GetScreenRect();
    EXPECT_TRUE(menu->IsShown());
    EXPECT_EQ(shown.GetTopLeft(), wxPoint(button.x - 15, button.y - 2 - shown.height));

    // Live: " 200 X " chosen on the menu; the next frame carries the 200X ruler.
    wxMouseEvent up(wxEVT_LEFT_UP);
    up.SetPosition(menu->RowRect(1).GetPosition() + wxPoint(3, 3));
    menu->GetEventHandler()->ProcessEvent(up);
    EXPECT_FALSE(menu->IsShown());
    Feed();
    cv::Mat expected = m_frame.clone();
    IplImage header = cvIplImage(expected);
    DrawRuler(&header, 1);
    EXPECT_EQ(cv::norm(m_dlg->CopyLastFrame(), expected, cv::NORM_INF), 0.0);

    // Frozen at 50X: 200X shows its graticule at once; other ids change nothing.
    m_dlg->OnMenuCommand(3584);
    m_dlg->OnBnClickedFreeze();
    m_dlg->OnMenuCommand(4000);
    EXPECT_EQ(m_dlg->m_nMagnification, 0);
    m_dlg->OnMenuCommand(3585);
    DrawGraticule(&header, 1);
    CvvImage picture;
    picture.CopyOf(&header, 1);
    cv::Mat view(m_dlg->GetView().GetBufferSize(), CV_8UC3);
    RECT r{0, 0, view.cols, view.rows};
    picture.DrawToHDC(view, &r);  // as the view draws its picture
    EXPECT_EQ(cv::norm(m_dlg->GetView().Snapshot(), view, cv::NORM_INF), 0.0);
}

TEST_F(Commands, SkinComparisonPenStrokeSaveAndBackByPointerWithTheDeviceStreaming) {
    m_ports = TestDevicePorts();  // kept for the rest of the run, as the simulator's tests expect
    plat::SetDevicePortsForTesting(m_ports);
    DeviceSim sim({"--size", "640x480", "--fps", "15"});
    ASSERT_TRUE(sim.Started());
    Open(false);
    ASSERT_TRUE(PumpUntil([&] { return m_dlg->m_bLive && Shown(1005); }, 8000));
    Pump(300);
    wxUIActionSimulator pointer;
    auto press = [&](const wxPoint& at, const wxPoint& step = {}, int steps = 0) {
        pointer.MouseMove(at);
        Pump(40);
        pointer.MouseDown();
        for (int i = 1; i <= steps; ++i, Pump(20)) pointer.MouseMove(at + wxPoint(step.x * i, step.y * i));
        pointer.MouseUp();
        Pump(100);
    };
    auto click = [&](int id) { press(m_dlg->GetDlgItem(id)->GetScreenRect().GetPosition() + wxPoint(20, 20)); };
    click(1005);
    CComPareDLg* compare = m_dlg->m_pCompareDlg;
    ASSERT_NE(compare, nullptr);
    click(1016);
    ASSERT_TRUE(compare->m_bDrawEnabled);
    press(compare->m_paneLive.ClientToScreen(wxPoint(150, 300)), wxPoint(20, 0), 15);
    ASSERT_EQ(compare->m_strokes.GetCount(), 1);
    const cv::Mat before = m_dlg->CopyLastFrame();
    ASSERT_TRUE(PumpUntil([&] { return cv::norm(before, m_dlg->CopyLastFrame(), cv::NORM_L1) > 0; }, 3000));

    click(1003);
    EXPECT_EQ(m_dlg->m_strLastImage, m_dlg->m_strImageDir + "/" + m_dlg->m_strSnapName);
    EXPECT_EQ(fs::file_size(m_dlg->m_strLastImage.utf8_string()), 54u + 680u * 1344u * 4u);
    const cv::Mat saved = cv::imread(m_dlg->m_strLastImage.utf8_string());
    ASSERT_EQ(saved.size(), cv::Size(1344, 680));
    cv::imwrite(QUILL_BUILD_DIR "/station_compare.png", saved);  // for a person to look at
    EXPECT_GT(CountRed(saved(cv::Rect(17 + 150, 146 + 295, 300, 10))), 250);  // the pane is at (17, 146)

    click(1012);
    EXPECT_EQ(theApp.m_bCompareMode, 0);
    EXPECT_EQ(m_dlg->m_pCompareDlg, nullptr);
    EXPECT_TRUE(Shown(1011) && !Shown(1016) && !m_dlg->m_btnPen.m_bToggled);
    EXPECT_TRUE(m_messages.texts.empty());
}
