// The station window with the fake USB camera: the camera opened one second
// after start-up, cameras coming and going through the device monitor, the
// full view and its camera format, the ways out of the window, and the
// operator's road from the start page and back.
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

std::uint8_t Bright(int, int) { return 200; }

void Click(plat::CDialog& dlg, int id) {
    wxWindow* button = dlg.GetDlgItem(id);
    ASSERT_NE(button, nullptr) << id;
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

class StationCamera : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_strImageRoot = wxString::FromUTF8(m_scratch.Path() + "images");
        theApp.m_bUsbCamera = theApp.m_bNetCamera = theApp.m_bCompareMode = 0;
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
        theApp.m_bCompareMode = 0;
    }

    // A supported camera offering `formats`, set to the first size of the first.
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
    }
    // Every kind of notification is treated alike.
    void Notify(const std::string& devnode) { m_events.Push("add", devnode); }
    // The window, once timer 14 has had its turn.
    void Open() {
        m_dlg = std::make_unique<CQuillmarshDlg>(nullptr);
        ASSERT_TRUE(m_dlg->Create(nullptr));
        Pump(1300);
    }
    bool Shown(int id) const { return m_dlg->GetDlgItem(id) && m_dlg->GetDlgItem(id)->IsShown(); }
    bool LiveOn(const std::string& devnode) const {
        return theApp.m_bUsbCamera && m_cam.kernel->Streaming(devnode) && Shown(1011) && Shown(1004) &&
               !Shown(1013) && m_dlg->m_bLive;
    }

    TempDir m_scratch;
    fake::Install m_cam;
    fake::DeviceEvents m_events;
    plat::ScreenMetrics m_metrics;
    MessageRecorder m_messages;
    std::vector<int> m_ended;
    std::unique_ptr<CQuillmarshDlg> m_dlg;
};

const std::vector<fake::Format> kVga = {{V4L2_PIX_FMT_YUYV, {{640, 480}}}};

}  // namespace

TEST_F(StationCamera, CamerasComeAndGoThroughTheDeviceMonitor) {
    AddCamera("/dev/video0", kVga);
    AddCamera("/dev/video2", kVga);
    Open();
    // Only the first of two is opened, and its frames reach the view.
    ASSERT_TRUE(LiveOn("/dev/video0"));
    EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video2"), 0);
    m_cam.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(640, 480, Bright));
    EXPECT_TRUE(PumpUntil([&] { return m_dlg->CopyLastFrame().at<cv::Vec3b>(10, 10)[1] > 150; }));

    // Something else arrives: the camera streams on in the same graph.
    CCaptureDevice* graph = m_dlg->m_pCapture;
    Notify("/dev/video7");
    Pump(400);
    EXPECT_EQ(m_dlg->m_pCapture, graph);
    EXPECT_TRUE(LiveOn("/dev/video0"));

    // The open camera goes while another stays: that one takes over.
    Unplug("/dev/video0");
    Notify("/dev/video0");
    ASSERT_TRUE(PumpUntil([&] { return LiveOn("/dev/video2"); }));
    EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video0"), 0);

    // The last camera goes: waiting for the networked device, and the graph,
    // kept, neither streams nor holds the device.
    plat::SetDevicePortsForTesting(PickFreeDevicePorts());  // a device that is not there
    Unplug("/dev/video2");
    Notify("/dev/video2");
    ASSERT_TRUE(PumpUntil([&] { return !theApp.m_bUsbCamera; }));
    for (int id : {1011, 1003, 1004, 1001}) EXPECT_FALSE(Shown(id)) << id;
    EXPECT_TRUE(Shown(1013));
    EXPECT_FALSE(m_dlg->m_bLive);
    EXPECT_TRUE(m_dlg->m_links.m_hPresenceThread.IsRunning());
    ASSERT_NE(m_dlg->m_pCapture, nullptr);
    EXPECT_FALSE(m_dlg->m_pCapture->IsPreviewing());
    EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video2"), 0);

    // Plugged in again: live at once.
    AddCamera("/dev/video0", kVga);
    Notify("/dev/video0");
    EXPECT_TRUE(PumpUntil([&] { return LiveOn("/dev/video0"); }));
    EXPECT_TRUE(m_messages.texts.empty());
}

TEST_F(StationCamera, FullViewAsksForTheWidestYuy2AndCloseReturnsToTheNormalView) {
    AddCamera("/dev/video0", {{V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 720}}},
                              {V4L2_PIX_FMT_MJPEG, {{1280, 1024}, {800, 600}}}});
    Open();
    ASSERT_TRUE(LiveOn("/dev/video0"));
    ASSERT_EQ(m_dlg->m_nFormats, 4);
    ASSERT_EQ(m_dlg->GetClientSize(), wxSize(1920, 1040));

    // Nothing happens in comparison mode.
    CCaptureDevice* graph = m_dlg->m_pCapture;
    theApp.m_bCompareMode = 1;
    m_dlg->OnBnClickedFullScreen();
    EXPECT_FALSE(m_dlg->m_bFullView);
    EXPECT_EQ(m_dlg->m_pCapture, graph);
    theApp.m_bCompareMode = 0;

    Click(*m_dlg, 1001);
    EXPECT_TRUE(m_dlg->m_bFullView);
    std::uint32_t w = 0, h = 0;
    EXPECT_EQ(m_cam.kernel->CurrentFormat("/dev/video0", &w, &h), static_cast<std::uint32_t>(V4L2_PIX_FMT_YUYV));
    EXPECT_EQ(wxSize(w, h), wxSize(1280, 720));
    EXPECT_EQ(m_dlg->GetDlgItemRect(1011), wxRect(310, 40, 1300, 1000));
    EXPECT_EQ(m_dlg->GetDlgItemRect(1027), wxRect(1574, 1004, 36, 36));
    for (int id : {1017, 1012, 1010, 1006, 1005, 1001, 1002, 1003, 1014, 1004}) EXPECT_FALSE(Shown(id)) << id;
    for (int id : {1007, 1009, 1011}) EXPECT_TRUE(Shown(id)) << id;
    m_cam.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(1280, 720, Bright));
    EXPECT_TRUE(PumpUntil([&] { return m_dlg->GetFrameSize().width == 1280; }));

    Click(*m_dlg, 1009);
    EXPECT_FALSE(m_dlg->m_bFullView);
    EXPECT_TRUE(m_ended.empty());
    EXPECT_EQ(m_dlg->GetSize(), wxSize(1920, 1017));
    EXPECT_EQ(m_dlg->GetDlgItemRect(1011), wxRect(508, 84, 904, 678));
    for (int id : {1017, 1012, 1010, 1006, 1005, 1001, 1002, 1003, 1014, 1004}) EXPECT_TRUE(Shown(id)) << id;
    EXPECT_TRUE(LiveOn("/dev/video0"));
    EXPECT_EQ(m_dlg->m_nFormats, 4);
}

TEST_F(StationCamera, BackInComparisonModeClosesItAndTheWindowStays) {
    for (bool ruler : {false, true}) {
        SCOPED_TRACE(ruler);
        Open();
        m_dlg->ShowLiveControls(TRUE);
        if (ruler) m_dlg->OnBnClickedScale();
        auto* compare = new CComPareDLg(0, m_dlg.get());
        ASSERT_TRUE(compare->Create(m_dlg.get()));
        compare->m_strokes.BeginStroke(1, 1);
        delete m_dlg->SwapCompareDlg(compare);
        theApp.m_bCompareMode = 1;
        m_dlg->m_btnPen.m_bToggled = TRUE;
        for (int id : {1011, 1005, 1006, 1001, 1002, 1027}) m_dlg->ShowDlgItem(id, false);
        for (int id : {1008, 1016, 1026}) m_dlg->ShowDlgItem(id, true);

        Click(*m_dlg, 1012);
        EXPECT_EQ(theApp.m_bCompareMode, 0);
        EXPECT_EQ(m_dlg->m_pCompareDlg, nullptr);
        EXPECT_FALSE(m_dlg->m_btnPen.m_bToggled);
        for (int id : {1011, 1005, 1006, 1001, 1002}) EXPECT_TRUE(Shown(id)) << id;
        for (int id : {1008, 1016, 1026}) EXPECT_FALSE(Shown(id)) << id;
        EXPECT_EQ(Shown(1027), ruler);
        EXPECT_TRUE(m_dlg->IsShown());
        EXPECT_TRUE(m_ended.empty());
        m_dlg.reset();
    }
}

TEST_F(StationCamera, ACameraThatWillNotRunIsReportedAndLetGo) {
    AddCamera("/dev/video0", kVga).refuseStreamOn = true;
    Open();
    EXPECT_EQ(m_messages.texts, std::vector<wxString>{wxString::FromUTF8("USB Camera 初始化失败!")});
    EXPECT_EQ(theApp.m_bUsbCamera, 0);
    EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video0"), 0);
    EXPECT_FALSE(Shown(1011));
}

TEST_F(StationCamera, EndingTheProgramStopsTheCameraAndEveryThreadFirst) {
    // The close button in the normal view, and the window manager's close in the full view.
    for (bool windowManager : {false, true}) {
        SCOPED_TRACE(windowManager);
        m_ended.clear();
        AddCamera("/dev/video0", kVga);
        Open();
        ASSERT_TRUE(LiveOn("/dev/video0"));
        if (windowManager) {
            Click(*m_dlg, 1001);
            m_dlg->Close();
        } else {
            Click(*m_dlg, 1009);
        }
        EXPECT_EQ(m_ended, std::vector<int>{0});
        EXPECT_EQ(m_dlg->m_pCapture, nullptr);
        EXPECT_EQ(m_dlg->m_pDeviceMonitor, nullptr);
        EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video0"), 0);
        EXPECT_FALSE(m_dlg->m_links.m_hPresenceThread.IsRunning());
        EXPECT_EQ(theApp.m_bUsbCamera, 0);
        m_dlg.reset();
    }
}

TEST_F(StationCamera, RoadFromTheStartPageThroughTheFullViewAndBack) {
    AddCamera("/dev/video0", {{V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 720}}}});
    CStartPageDlg page(nullptr);
    ASSERT_TRUE(page.Create(nullptr));
    page.Show();
    Pump(100);
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        struct {
            bool live = false, full = false, normal = false;
        } seen;
        wxTheApp->CallAfter([&] {
            CQuillmarshDlg* d = g_pMainDlg;
            if (!d) return;
            auto live = [&] { return theApp.m_bUsbCamera && d->m_bLive && d->GetDlgItem(1011)->IsShown(); };
            seen.live = PumpUntil(live, 3000);
            Click(*d, 1001);
            std::uint32_t w = 0, h = 0;
            m_cam.kernel->CurrentFormat("/dev/video0", &w, &h);
            seen.full = d->m_bFullView && w == 1280 && d->GetDlgItemRect(1011).width == 1300;
            Click(*d, 1009);
            seen.normal = !d->m_bFullView && d->GetDlgItemRect(1011) == wxRect(508, 84, 904, 678) && live();
            Click(*d, 1012);
        });
        Click(page, 1003);  // quick detection: returns when the station window has ended
        EXPECT_TRUE(seen.live);
        EXPECT_TRUE(seen.full);
        EXPECT_TRUE(seen.normal);
        EXPECT_EQ(g_pMainDlg, nullptr);
        EXPECT_TRUE(page.IsShown());
        EXPECT_EQ(theApp.m_bUsbCamera, 0);
        EXPECT_EQ(m_cam.kernel->OpenCount("/dev/video0"), 0);
    }
    EXPECT_TRUE(m_ended.empty());
}
