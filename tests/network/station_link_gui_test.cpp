// The station window against the device simulator on 127.0.0.1: waiting,
// the device found and its stream live in the view, the device's button
// freezing and resuming, the device gone and found again, the full view of
// its stream, a USB camera taking over from it, and the window's end with a
// stalled stream.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <wx/app.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <linux/videodev2.h>

#include "support/DeviceSim.h"
#include "support/FakeCamera.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"
#include "app/QuillmarshApp.h"
#include "capture/NetStreamReader.h"
#include "platform/CrossThread.h"
#include "platform/ScreenMetrics.h"
#include "platform/WindowCapture.h"
#include "station/QuillmarshDlg.h"
#include "support/Pump.h"

using namespace std::chrono_literals;

namespace {

bool IsRed(const cv::Vec3b& p) { return p[2] > 180 && p[1] < 80 && p[0] < 80; }

class StationLink : public ::testing::Test {
protected:
    void SetUp() override {
        TestDevicePorts();
        std::string root = m_root.Path();
        root.pop_back();  // the window adds the separator itself
        theApp.m_strImageRoot = wxString::FromUTF8(root.c_str());
        theApp.m_bNetCamera = 0;
        theApp.m_bUsbCamera = 0;
        m_metrics = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1920, 1040));
        plat::SetScreenMetricsOverride(&m_metrics);
    }
    void TearDown() override {
        m_dlg.reset();
        EXPECT_EQ(theApp.m_bNetCamera, 0);
        // The network side tells the operator nothing through message boxes.
        EXPECT_TRUE(m_messages.texts.empty());
        plat::SetScreenMetricsOverride(nullptr);
    }
    void Open() {
        m_dlg = std::make_unique<CQuillmarshDlg>(nullptr);
        ASSERT_TRUE(m_dlg->Create(nullptr));
    }
    bool Shown(int id) const { return m_dlg->GetDlgItem(id) && m_dlg->GetDlgItem(id)->IsShown(); }
    bool Live() const { return Shown(1011) && Shown(1004) && !Shown(1013) && m_dlg->m_bLive; }
    cv::Mat View() const { return m_dlg->GetView().Snapshot(); }
    void SaveShot(const char* name) const {
        const cv::Mat shot = plat::CaptureClientArea(m_dlg.get());
        cv::Mat bgr;
        if (!shot.empty()) cv::cvtColor(shot, bgr, cv::COLOR_BGRA2BGR);
        if (!bgr.empty()) cv::imwrite(std::string(QUILL_BUILD_DIR "/") + name, bgr);
    }
    // The frame counter of the simulator's picture changes from frame to frame.
    bool FrameChangesWithin(long ms) {
        const cv::Mat before = m_dlg->CopyLastFrame();
        return PumpUntil([&] { return cv::norm(before, m_dlg->CopyLastFrame(), cv::NORM_L1) > 0; }, ms);
    }

    TempDir m_root;
    MessageRecorder m_messages;
    plat::ScreenMetrics m_metrics;
    std::unique_ptr<CQuillmarshDlg> m_dlg;
};

TEST_F(StationLink, TheDeviceStreamsIntoTheViewAndItsButtonFreezesAndResumes) {
    DeviceSim sim({"--size", "640x480", "--fps", "15"});
    ASSERT_TRUE(sim.Started());
    Open();
    // Waiting until the stream is open.
    EXPECT_TRUE(Shown(1013));
    EXPECT_FALSE(Shown(1011));
    ASSERT_TRUE(PumpUntil([&] { return Live(); }, 8000));
    EXPECT_EQ(theApp.m_bNetCamera, 1);
    EXPECT_FALSE(Shown(1022));
    EXPECT_FALSE(Shown(1023));
    EXPECT_TRUE(m_dlg->m_btnFreeze.m_bToggled);
    ASSERT_TRUE(sim.WaitForOutput("status link opened", 1, 3s));

    // Live frames, turned back upright: the simulator's red corner block
    // (streamed at the bottom right) shows at the top left of the view.
    // The reader keeps the frame first and draws the view after it, so the
    // view may be a frame behind the copy for a moment (a busy machine).
    ASSERT_TRUE(FrameChangesWithin(3000));
    cv::Mat view;
    EXPECT_TRUE(PumpUntil([&] {
        view = View();
        return view.type() == CV_8UC3 && !view.empty() && IsRed(view.at<cv::Vec3b>(10, 10));
    }, 3000));
    ASSERT_FALSE(view.empty());
    ASSERT_EQ(view.type(), CV_8UC3);
    EXPECT_FALSE(IsRed(view.at<cv::Vec3b>(view.rows - 10, view.cols - 10)));
    const cv::Mat frame = m_dlg->CopyLastFrame();
    EXPECT_EQ(frame.cols, 640);
    EXPECT_EQ(frame.rows, 480);
    SaveShot("station_network_live.png");  // for a person to look at

    // The device's button: frozen, the button shows it, no new frames.
    sim.Command("press");
    ASSERT_TRUE(PumpUntil([&] { return !m_dlg->m_bLive && !m_dlg->m_btnFreeze.m_bToggled; }, 3000));
    Pump(100);
    EXPECT_FALSE(FrameChangesWithin(500));
    // Pressed again: live once more.
    sim.Command("press");
    ASSERT_TRUE(PumpUntil([&] { return m_dlg->m_bLive && m_dlg->m_btnFreeze.m_bToggled; }, 3000));
    EXPECT_TRUE(FrameChangesWithin(3000));

    // The device goes: after the probe's next failed connection the no-device
    // picture and the retry button show, and the live controls hide.
    sim.Stop();
    ASSERT_TRUE(PumpUntil([&] { return Shown(1022); }, 6000));
    EXPECT_TRUE(Shown(1023));
    EXPECT_FALSE(Shown(1013));
    EXPECT_FALSE(Shown(1011));
    EXPECT_FALSE(Shown(1004));
    EXPECT_FALSE(m_dlg->m_bLive);
    EXPECT_EQ(theApp.m_bNetCamera, 0);

    // Retry with the device back: waiting, then live again.
    DeviceSim again({"--fps", "15"});
    ASSERT_TRUE(again.Started());
    m_dlg->OnBnClickedRetry();
    EXPECT_TRUE(Shown(1013));
    EXPECT_FALSE(Shown(1022));
    EXPECT_FALSE(Shown(1023));
    ASSERT_TRUE(PumpUntil([&] { return Live(); }, 8000));
    EXPECT_TRUE(FrameChangesWithin(3000));
}

TEST_F(StationLink, TheWindowsEndStopsEverythingPromptlyEvenWithAStalledStream) {
    DeviceSim sim({"--fps", "15", "--stall-after", "5"});
    ASSERT_TRUE(sim.Started());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return Live(); }, 8000));
    ASSERT_TRUE(sim.WaitForOutput("status link opened", 1, 3s));
    Pump(800);  // the frames have stopped; the reader waits in its query
    const auto start = std::chrono::steady_clock::now();
    m_dlg->StopDeviceLinks();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(theApp.m_bNetCamera, 0);
    EXPECT_EQ(theApp.m_bUsbCamera, 0);
    EXPECT_EQ(m_dlg->m_pNetReader, nullptr);
    EXPECT_FALSE(m_dlg->m_links.m_hPresenceThread.IsRunning());
    EXPECT_FALSE(m_dlg->m_links.m_hStatusThread.IsRunning());
    // Nothing of the links comes back to the window afterwards.
    Pump(300);
    EXPECT_TRUE(Shown(1011));
    EXPECT_FALSE(Shown(1022));
}

TEST_F(StationLink, WaitingMessageHidesTheLiveControlsAndRetryLeavesOneProbe) {
    DeviceSim sim({"--silent"});  // connected, never greeting: the probe waits
    ASSERT_TRUE(sim.Started());
    Open();
    ASSERT_TRUE(sim.WaitForOutput("presence connection", 1, 3s));
    m_dlg->ShowLiveControls(TRUE);
    m_dlg->SendMessage(WM_CAMERA_WAITING, 0, 0);
    EXPECT_FALSE(Shown(1011));
    EXPECT_TRUE(Shown(1013));
    EXPECT_FALSE(m_dlg->m_bLive);
    EXPECT_TRUE(PumpUntil([&] { return m_dlg->m_gifWait.IsPlaying(); }, 1000));
    // The running probe stays in charge of a retry: the same thread on the
    // same connection.  Judged by the window's own probe, not by the
    // simulator's count, which other station windows on this machine (other
    // test runs) may add to.
    const auto probeSocket = m_dlg->m_links.m_hPresenceThread.Socket();
    ASSERT_TRUE(probeSocket->IsOpen());
    m_dlg->OnBnClickedRetry();
    EXPECT_TRUE(Shown(1013));
    EXPECT_FALSE(Shown(1022));
    Pump(300);
    EXPECT_TRUE(m_dlg->m_links.m_hPresenceThread.IsRunning());
    EXPECT_EQ(m_dlg->m_links.m_hPresenceThread.Socket(), probeSocket);
    EXPECT_TRUE(probeSocket->IsOpen());
}

TEST_F(StationLink, TheDevicesStreamGoesOnIntoTheFullViewAndBack) {
    DeviceSim sim({"--size", "640x480", "--fps", "15"});
    ASSERT_TRUE(sim.Started());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return Live(); }, 8000));
    m_dlg->OnBnClickedFullScreen();
    EXPECT_TRUE(m_dlg->m_bFullView && !Shown(1012));
    ASSERT_TRUE(FrameChangesWithin(3000));
    Pump(100);
    EXPECT_EQ(View().size(), cv::Size(1300, 1000));
    SaveShot("station_network_fullview.png");  // for a person to look at
    m_dlg->OnBnClickedClose();
    EXPECT_EQ(m_dlg->GetDlgItemRect(1011), wxRect(508, 84, 904, 678));
    EXPECT_TRUE(FrameChangesWithin(3000));
}

TEST_F(StationLink, AUsbCameraOpenedWhileTheDeviceStreamsBecomesTheOnlySource) {
    DeviceSim sim({"--size", "640x480", "--fps", "15"});
    ASSERT_TRUE(sim.Started());
    Open();
    ASSERT_TRUE(PumpUntil([&] { return Live(); }, 8000));
    fake::Install camera;
    fake::VideoNode& node = camera.kernel->AddVideo("/dev/video0");
    node.formats = {{V4L2_PIX_FMT_YUYV, {{800, 600}}}};
    node.curFormat = V4L2_PIX_FMT_YUYV, node.curW = 800, node.curH = 600;
    camera.catalog->nodes.push_back({"/dev/video0", "0c45", "6366", ""});

    m_dlg->SendMessage(WM_DEVICECHANGE);  // plugged in: the device stays the source
    EXPECT_TRUE(m_dlg->m_pCapture == nullptr && m_dlg->m_pNetReader && theApp.m_bNetCamera);

    m_dlg->OpenUsbCamera();  // found at the camera start: it takes over alone
    EXPECT_TRUE(theApp.m_bUsbCamera && !theApp.m_bNetCamera && !m_dlg->m_pNetReader);
    EXPECT_TRUE(PumpUntil([&] { return !m_dlg->m_links.m_hPresenceThread.IsRunning(); }, 4000));
    camera.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(800, 600, [](int, int) -> std::uint8_t { return 90; }));
    Pump(500);
    EXPECT_EQ(m_dlg->GetFrameSize().width, 800);
    EXPECT_TRUE(Live());
    m_dlg.reset();  // before the fake camera goes
}

}  // namespace
