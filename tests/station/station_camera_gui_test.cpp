// The station window with the fake USB camera.
#include <gtest/gtest.h>
#include <linux/videodev2.h>

#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "station/QuillmarshDlg.h"
#include "support/FakeCamera.h"
#include "support/FreePorts.h"
#include "support/MessageRecorder.h"
#include "support/Pump.h"
#include "support/TempDir.h"

namespace {

void Click(plat::CDialog& dlg, int id) {
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(dlg.GetDlgItem(id));
    dlg.GetDlgItem(id)->GetEventHandler()->ProcessEvent(click);
}

const std::vector<fake::Format> kVga = {{V4L2_PIX_FMT_YUYV, {{640, 480}}}};

class StationCamera : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_strImageRoot = wxString::FromUTF8(m_scratch.Path() + "images");
        m_metrics = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1920, 1040));
        plat::SetScreenMetricsOverride(&m_metrics);
        station::SetDeviceEventSourceForTesting([this] { return m_events.Source(); });
        station::SetProcessEndForTesting([this](int code) { m_ended.push_back(code); });
    }
    void TearDown() override {
        m_dlg.reset();
        station::SetDeviceEventSourceForTesting({});
        station::SetProcessEndForTesting({});
        plat::SetScreenMetricsOverride(nullptr);
        plat::SetDevicePortsForTesting(std::nullopt);
    }
    fake::VideoNode& AddCamera(const std::string& devnode, std::vector<fake::Format> formats) {
        fake::VideoNode& n = m_cam.kernel->AddVideo(devnode);
        n.formats = std::move(formats);
        n.curFormat = n.formats[0].pixelformat;
        n.curW = n.formats[0].sizes[0].w;
        n.curH = n.formats[0].sizes[0].h;
        m_cam.catalog->nodes.push_back({devnode, "0c45", "6366", ""});
        return n;
    }
    void Unplug(const std::string& devnode) {
        m_cam.kernel->Unplug(devnode);
        std::erase_if(m_cam.catalog->nodes, [&](const auto& n) { return n.devnode == devnode; });
        m_events.Push("remove", devnode);
    }
    void Open() {  // and wait for the camera start
        m_dlg = std::make_unique<CQuillmarshDlg>(nullptr);
        ASSERT_TRUE(m_dlg->Create(nullptr));
        Pump(1300);
    }
    bool Shown(int id) const { return m_dlg->GetDlgItem(id)->IsShown(); }
    bool LiveOn(const std::string& devnode) const {
        return theApp.m_bUsbCamera && m_cam.kernel->Streaming(devnode) && Shown(1011) && !Shown(1013);
    }

    TempDir m_scratch;
    fake::Install m_cam;
    fake::DeviceEvents m_events;
    plat::ScreenMetrics m_metrics;
    MessageRecorder m_messages;
    std::vector<int> m_ended;
    std::unique_ptr<CQuillmarshDlg> m_dlg;
};

}  // namespace

TEST_F(StationCamera, CamerasComeAndGoThroughTheDeviceMonitor) {
    AddCamera("/dev/video0", kVga);
    AddCamera("/dev/video2", kVga);
    Open();
    ASSERT_TRUE(LiveOn("/dev/video0"));  // only the first of two
    EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video2"), 0);
    CCaptureDevice* graph = m_dlg->m_pCapture;
    m_events.Push("add", "/dev/video7");  // not a camera: nothing changes
    Pump(400);
    EXPECT_TRUE(m_dlg->m_pCapture == graph && LiveOn("/dev/video0"));
    Unplug("/dev/video0");  // the other camera takes over
    ASSERT_TRUE(PumpUntil([&] { return LiveOn("/dev/video2"); }));

    // The last one goes: waiting, the probe looks for the networked device, and
    // the kept graph neither streams nor holds the device.
    plat::SetDevicePortsForTesting(PickFreeDevicePorts());
    Unplug("/dev/video2");
    ASSERT_TRUE(PumpUntil([&] { return !theApp.m_bUsbCamera; }));
    EXPECT_TRUE(!Shown(1011) && !Shown(1004) && Shown(1013) && !m_dlg->m_bLive);
    EXPECT_TRUE(m_dlg->m_links.m_hPresenceThread.IsRunning());
    EXPECT_FALSE(m_dlg->m_pCapture->IsPreviewing());
    EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video2"), 0);

    // One that will not run is reported and let go; a good one is live at once.
    AddCamera("/dev/video0", kVga).refuseStreamOn = true;
    m_events.Push("add", "/dev/video0");
    ASSERT_TRUE(PumpUntil([&] { return !m_messages.texts.empty(); }));
    EXPECT_EQ(m_messages.texts, std::vector<wxString>{wxString::FromUTF8("USB Camera 初始化失败!")});
    EXPECT_TRUE(!theApp.m_bUsbCamera && m_cam.kernel->OpenCount("/dev/video0") == 0);
    m_cam.catalog->nodes.clear();
    AddCamera("/dev/video0", kVga);
    m_events.Push("add", "/dev/video0");
    EXPECT_TRUE(PumpUntil([&] { return LiveOn("/dev/video0"); }));

    // The window manager's close ends the program once nothing runs on.
    m_dlg->Close();
    EXPECT_EQ(m_ended, std::vector<int>{0});
    EXPECT_TRUE(m_cam.kernel->OpenCount("/dev/video0") == 0 && !m_dlg->m_pDeviceMonitor);
    EXPECT_FALSE(m_dlg->m_links.m_hPresenceThread.IsRunning());
}

TEST_F(StationCamera, InComparisonModeFullViewDoesNothingAndBackLeavesIt) {
    for (bool ruler : {false, true}) {
        Open();
        m_dlg->ShowLiveControls(TRUE);
        if (ruler) m_dlg->OnBnClickedScale();
        Click(*m_dlg, 1005);
        Click(*m_dlg, 1016);
        ASSERT_TRUE(theApp.m_bCompareMode && m_dlg->m_btnPen.m_bToggled);
        Click(*m_dlg, 1001);
        EXPECT_FALSE(m_dlg->m_bFullView);

        Click(*m_dlg, 1012);
        EXPECT_TRUE(!theApp.m_bCompareMode && !m_dlg->m_pCompareDlg && !m_dlg->m_btnPen.m_bToggled);
        EXPECT_TRUE(Shown(1011) && Shown(1001) && !Shown(1016));
        EXPECT_EQ(Shown(1027), ruler);
        EXPECT_TRUE(m_dlg->IsShown());
    }
}

TEST_F(StationCamera, RoadFromTheStartPageThroughTheFullViewAndBack) {
    AddCamera("/dev/video0", {{V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 720}}},
                              {V4L2_PIX_FMT_MJPEG, {{1280, 1024}, {800, 600}}}});
    CStartPageDlg page(nullptr);
    ASSERT_TRUE(page.Create(nullptr));
    page.Show();
    for (int run = 0; run < 2; ++run) {  // and the start page works again afterwards
        std::vector<bool> seen;
        wxTheApp->CallAfter([&] {
            CQuillmarshDlg& d = *g_pMainDlg;
            auto live = [&] { return theApp.m_bUsbCamera && d.m_bLive && d.GetDlgItem(1011)->IsShown(); };
            seen.push_back(PumpUntil(live));
            Click(d, 1001);  // YUY2 at the first of the two widest formats
            std::uint32_t w = 0, h = 0;
            seen.push_back(m_cam.kernel->CurrentFormat("/dev/video0", &w, &h) == V4L2_PIX_FMT_YUYV && w == 1280 &&
                           h == 720 && d.GetDlgItemRect(1011) == wxRect(310, 40, 1300, 1000));
            Click(d, 1009);
            seen.push_back(!d.m_bFullView && d.GetSize() == wxSize(1920, 1017) &&
                           d.GetDlgItemRect(1011) == wxRect(508, 84, 904, 678) && live());
            Click(d, 1012);
        });
        Click(page, 1003);  // returns when the station window has ended
        EXPECT_EQ(seen, std::vector<bool>(3, true));
        EXPECT_TRUE(g_pMainDlg == nullptr && page.IsShown());
        EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video0"), 0);
    }
    EXPECT_TRUE(m_ended.empty());
}
