// The station window on a real display: where its controls stand, frames fed
// from a worker thread as a camera feeds them, freezing, the overlays and the
// snapshots on disk.
#include <gtest/gtest.h>


#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <wx/app.h>
#include <wx/menu.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "capture/FrameSink.h"
#include "controls/MenuEx.h"
#include "platform/CrossThread.h"
#include "platform/MessageBox.h"
#include "platform/Resources.h"
#include "platform/WindowCapture.h"
#include "station/QuillmarshDlg.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"
#include "support/Pump.h"

namespace fs = std::filesystem;

namespace {

struct Image {
    IplImage* img;
    Image(int w, int h, cv::Scalar bgr) : img(cvCreateImage(cvSize(w, h), IPL_DEPTH_8U, 3)) {
        cvSet(img, cvScalar(bgr[0], bgr[1], bgr[2], 0));
    }
    ~Image() { cvReleaseImage(&img); }
    Image(const Image&) = delete;
};

// Hands frames to the sink from a thread of its own, as the capture graph does.
void FeedFromWorker(const std::vector<IplImage*>& frames) {
    std::thread producer([&] {
        for (IplImage* f : frames) CQuillmarshDlg::OnFrame(f);
    });
    producer.join();
}

bool IsRed(const cv::Vec3b& p) { return p[2] > 200 && p[1] < 60 && p[0] < 60; }

int CountRed(const cv::Mat& bgr) {
    int n = 0;
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x) n += IsRed(bgr.at<cv::Vec3b>(y, x));
    return n;
}

class Station : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_root.empty());
        theApp.m_strImageRoot = wxString::FromUTF8(m_root.c_str());
        // A 1920 x 1080 screen with a 40-pixel panel at the bottom: H = 1017.
        m_metrics = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1920, 1040));
        plat::SetScreenMetricsOverride(&m_metrics);
        station::SetShutterSoundForTesting([this] { ++m_shutters; });
    }

    void TearDown() override {
        m_dlg.reset();
        theApp.m_bCompareMode = 0;
        station::SetShutterSoundForTesting({});
        station::SetSnapshotClockForTesting({});
        plat::SetScreenMetricsOverride(nullptr);
    }

    void Open() {
        m_dlg = std::make_unique<CQuillmarshDlg>(nullptr);
        ASSERT_TRUE(m_dlg->Create(nullptr));
        Pump(150);
    }

    // Live, with the live controls shown, as when a camera has opened.
    void OpenLive() {
        Open();
        m_dlg->ShowDlgItem(1013, false);  // as the camera-ready handler does
        m_dlg->ShowLiveControls(TRUE);
        ASSERT_TRUE(m_dlg->m_bLive);
    }

    wxRect Rect(int id) const { return m_dlg->GetDlgItemRect(id); }
    bool Shown(int id) const { return m_dlg->GetDlgItem(id) && m_dlg->GetDlgItem(id)->IsShown(); }

    // Every snapshot is named by this moment.
    void FixClock() {
        std::tm t{};
        t.tm_year = 2014 - 1900;
        t.tm_mon = 10;
        t.tm_mday = 27;
        t.tm_hour = 9;
        t.tm_min = 30;
        t.tm_sec = 5;
        t.tm_isdst = -1;
        const std::time_t when = std::mktime(&t);
        station::SetSnapshotClockForTesting([when] { return when; });
    }

    TempDir m_scratch;
    // The image root, without a trailing '/' as the application keeps it.
    const std::string m_root = m_scratch.Path().substr(0, m_scratch.Path().size() - 1);
    plat::ScreenMetrics m_metrics;
    std::unique_ptr<CQuillmarshDlg> m_dlg;
    int m_shutters = 0;
    MessageRecorder m_recorder;
    std::vector<wxString>& m_messages = m_recorder.texts;
};

}  // namespace

TEST_F(Station, OpensFullScreenWithTheLayoutOfTheScreen) {
    // Pictures already in the guest folder are not offered as the last one.
    fs::create_directories(m_root + "/Guest");
    std::ofstream(m_root + "/Guest/20140101000000.bmp") << "x";
    Open();
    CQuillmarshDlg& d = *m_dlg;
    EXPECT_EQ(g_pMainDlg, &d);

    EXPECT_EQ(d.GetScreenPosition(), wxPoint(0, 0));
    EXPECT_EQ(d.GetSize(), wxSize(1920, 1040));
    EXPECT_EQ(Rect(1011), wxRect(508, 84, 904, 678));
    const int rowIds[] = {1017, 1001, 1002, 1003, 1004, 1014};
    const int rowX[] = {261, 508, 755, 1002, 1249, 1496};
    const StationLayout expected = d.ComputeLayout();
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(Rect(rowIds[i]).x, rowX[i]) << rowIds[i];
        EXPECT_EQ(Rect(rowIds[i]).GetSize(), wxSize(160, 64)) << rowIds[i];
        EXPECT_EQ(Rect(rowIds[i]).y, expected.save.y) << rowIds[i];
    }
    EXPECT_EQ(Rect(1016), Rect(1001));
    EXPECT_EQ(Rect(1008), Rect(1002));
    EXPECT_EQ(Rect(1005).GetPosition(), expected.skinCompare.GetPosition());
    EXPECT_EQ(Rect(1006).GetPosition(), expected.hairCompare.GetPosition());

    // What the operator sees at start-up: title strip, caption, close and
    // minimise, back button and the waiting animation in the view's middle.
    EXPECT_EQ(Rect(1007), wxRect(0, 0, 1844, 42));
    EXPECT_EQ(Rect(1010), wxRect(1844, 0, 38, 38));
    EXPECT_EQ(Rect(1009), wxRect(1882, 0, 38, 38));
    EXPECT_EQ(Rect(1035), wxRect(860, 2, 240, 36));
    EXPECT_EQ(d.GetDlgItemText(1035), wxString(L"皮肤/发质分析"));
    EXPECT_EQ(Rect(1012), wxRect(12, 49, 120, 44));  // keeps its template place
    EXPECT_EQ(Rect(1013), wxRect(760, 273, 400, 300));
    EXPECT_EQ(Rect(1027), wxRect(1412 - 36, 762 - 36, 36, 36));
    EXPECT_EQ(Rect(1023), wxRect(701, 314, 518, 218));
    EXPECT_EQ(Rect(1022), wxRect(1121, 532, 98, 36));
    for (int id : {1007, 1035, 1009, 1010, 1012, 1013}) EXPECT_TRUE(Shown(id)) << id;
    for (int id : {1011, 1001, 1002, 1003, 1004, 1005, 1006, 1014, 1017, 1008, 1016, 1022, 1023, 1024, 1025, 1026,
                   1027, 1028, 1036})
        EXPECT_FALSE(Shown(id)) << id;
    EXPECT_TRUE(d.m_gifWait.IsPlaying());
    EXPECT_FALSE(d.m_bLive);
    EXPECT_FALSE(d.m_btnFreeze.m_bToggled);
    EXPECT_EQ(d.m_nNoDeviceCtrlId, 1023u);
    EXPECT_EQ(d.m_nMagnification, 0);

    EXPECT_EQ(d.m_strImageDir, wxString::FromUTF8(m_root + "/Guest"));
    EXPECT_TRUE(d.m_strLastImage.empty());

    ASSERT_NE(d.m_pMagnifyMenu, nullptr);
    ASSERT_EQ(d.m_pMagnifyMenu->GetItemCount(), 2);
    EXPECT_EQ(d.m_pMagnifyMenu->m_items[0].strText, " 50  X ");
    EXPECT_EQ(d.m_pMagnifyMenu->m_items[0].nID, 3584u);
    EXPECT_EQ(d.m_pMagnifyMenu->m_items[1].strText, " 200 X ");
    EXPECT_EQ(d.m_pMagnifyMenu->m_items[1].nID, 3585u);

    // A picture of the window for a person to look at.
    const cv::Mat shot = plat::CaptureClientArea(&d);
    ASSERT_FALSE(shot.empty());
    cv::Mat bgr;
    cv::cvtColor(shot, bgr, cv::COLOR_BGRA2BGR);
    cv::imwrite(QUILL_BUILD_DIR "/station_start.png", bgr);
}

TEST_F(Station, WindowMenuHoldsTheAboutEntryOnlyWithItsText) {
    EXPECT_EQ(CQuillmarshDlg::BuildWindowMenu(wxString()), nullptr);
    std::unique_ptr<wxMenu> menu(CQuillmarshDlg::BuildWindowMenu(plat::LoadResourceString(IDS_ABOUTBOX)));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->GetMenuItemCount(), 1u);
    EXPECT_EQ(menu->FindItemByPosition(0)->GetId(), static_cast<int>(IDM_ABOUTBOX));
    EXPECT_EQ(menu->FindItemByPosition(0)->GetItemLabel(), wxString(L"关于 Quillmarsh(&A)..."));
}

TEST_F(Station, LanguageIndexChoosesCaptionPicturesAndNoDevicePicture) {
    CStartPageDlg page(nullptr);
    g_pStartPage = &page;
    page.m_nLanguage = 2;
    Open();
    EXPECT_EQ(m_dlg->GetDlgItemText(1035), "Skin/Hair Analysis");
    EXPECT_EQ(Rect(1035), wxRect(820, 2, 280, 36));
    EXPECT_EQ(m_dlg->m_nNoDeviceCtrlId, 1024u);
    m_dlg.reset();

    // Outside 0-3: the template's caption, no pictures, no no-device picture.
    page.m_nLanguage = 7;
    Open();
    EXPECT_EQ(m_dlg->GetDlgItemText(1035), "Quillmarsh");
    EXPECT_EQ(m_dlg->m_nNoDeviceCtrlId, 0u);
    EXPECT_EQ(m_dlg->m_btnSave.m_pStdImage, nullptr);
    EXPECT_TRUE(m_dlg->m_btnScaleMenu.m_pStdImage != nullptr);  // the same in every language
    m_dlg.reset();
    g_pStartPage = nullptr;
}

TEST_F(Station, CustomerFolderIsMadeUnderTheRootAndOffersItsLastSnapshot) {
    CStartPageDlg page(nullptr);
    g_pStartPage = &page;
    page.m_bCustomerChosen = 1;

    record::FillField(page.m_curRecord.szName, wxString(L"张三"));
    Open();
    const fs::path folder = fs::u8path(m_root + "/" + wxString(L"张三").utf8_string());
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_TRUE(m_dlg->m_strLastImage.empty());
    m_dlg.reset();

    for (const char* name : {"20140101000000.bmp", "20150101000000.bmp", "20141231000000.bmp", "z.BMP", "z.txt"})
        std::ofstream(folder / name) << "x";
    Open();
    EXPECT_EQ(m_dlg->m_strLastImage, wxString::FromUTF8((folder / "20150101000000.bmp").string()));
    m_dlg.reset();

    // A Name that is no folder name stays inside the image root.
    record::FillField(page.m_curRecord.szName, wxString("../escape"));
    Open();
    EXPECT_EQ(m_dlg->m_strImageDir, wxString::FromUTF8(m_root + "/.._escape"));
    EXPECT_TRUE(fs::is_directory(m_root + "/.._escape"));
    EXPECT_FALSE(fs::exists(fs::path(m_root).parent_path() / "escape"));
    m_dlg.reset();
    g_pStartPage = nullptr;
}

TEST_F(Station, SinkKeepsTheLastFrameAndDrawsItIntoTheView) {
    OpenLive();
    Image small(640, 480, {10, 20, 200});
    Image wide1(1280, 720, {30, 140, 40});
    Image wide2(1280, 720, {90, 60, 20});

    FeedFromWorker({small.img});
    EXPECT_EQ(m_dlg->GetFrameSize().width, 640);
    FeedFromWorker({wide1.img});
    // The first 1280 x 720 frame replaces the 640 x 480 copy ...
    const CvSize size = m_dlg->GetFrameSize();
    EXPECT_EQ(size.width, 1280);
    EXPECT_EQ(size.height, 720);
    const IplImage* kept = m_dlg->m_pFrame;
    FeedFromWorker({wide2.img});
    // ... and the next of the same size is copied into it.
    EXPECT_EQ(m_dlg->m_pFrame, kept);
    cv::Mat last = m_dlg->CopyLastFrame();
    EXPECT_EQ(last.at<cv::Vec3b>(360, 640), cv::Vec3b(90, 60, 20));

    Pump(50);
    const cv::Mat view = m_dlg->GetView().Snapshot();
    ASSERT_EQ(view.size(), cv::Size(904, 678));
    EXPECT_EQ(view.at<cv::Vec3b>(339, 452), cv::Vec3b(90, 60, 20));

    // Frozen: frames are dropped.
    m_dlg->OnBnClickedFreeze();
    EXPECT_FALSE(m_dlg->m_bLive);
    EXPECT_FALSE(m_dlg->m_btnFreeze.m_bToggled);
    FeedFromWorker({small.img});
    EXPECT_EQ(m_dlg->GetFrameSize().width, 1280);
    EXPECT_EQ(m_dlg->CopyLastFrame().at<cv::Vec3b>(0, 0), cv::Vec3b(90, 60, 20));

    // Live again; a frame outside the contract (one channel) is dropped too.
    m_dlg->OnBnClickedFreeze();
    EXPECT_TRUE(m_dlg->m_btnFreeze.m_bToggled);
    IplImage* grey = cvCreateImage(cvSize(320, 240), IPL_DEPTH_8U, 1);
    cvSet(grey, cvScalarAll(255));
    FeedFromWorker({grey});
    cvReleaseImage(&grey);
    EXPECT_EQ(m_dlg->GetFrameSize().width, 1280);
}

TEST_F(Station, RulerIsBurntIntoLiveFramesAndTheGraticuleOnlyIntoTheFrozenView) {
    OpenLive();
    m_dlg->OnBnClickedScale();
    EXPECT_TRUE(m_dlg->m_bRuler);
    EXPECT_TRUE(Shown(1027));
    EXPECT_FALSE(Shown(1026));

    Image frame(640, 480, {128, 128, 128});
    FeedFromWorker({frame.img});
    const cv::Mat stored = m_dlg->CopyLastFrame();
    // The ruler's horizontal centre line runs through row 240.
    EXPECT_TRUE(IsRed(stored.at<cv::Vec3b>(240, 5)));
    EXPECT_TRUE(IsRed(stored.at<cv::Vec3b>(240, 635)));
    const int rulerRed = CountRed(stored);
    Pump(50);
    const cv::Mat shot = plat::CaptureClientArea(m_dlg.get());
    ASSERT_FALSE(shot.empty());
    cv::Mat bgr;
    cv::cvtColor(shot, bgr, cv::COLOR_BGRA2BGR);
    cv::imwrite(QUILL_BUILD_DIR "/station_live.png", bgr);

    // Frozen with the scale on: the graticule goes onto the picture in the
    // view when the window paints, never into the stored frame.
    m_dlg->OnBnClickedFreeze();
    m_dlg->Refresh();
    m_dlg->Update();
    Pump(50);
    const cv::Mat frozenView = m_dlg->GetView().Snapshot();
    m_dlg->OnBnClickedScale();  // off: while frozen nothing changes until the next paint
    EXPECT_FALSE(Shown(1027));
    m_dlg->Refresh();
    m_dlg->Update();
    Pump(50);
    const cv::Mat plainView = m_dlg->GetView().Snapshot();
    EXPECT_GT(CountRed(frozenView), CountRed(plainView) + 500);
    EXPECT_EQ(CountRed(m_dlg->CopyLastFrame()), rulerRed);
}

TEST_F(Station, SnapshotsCarryTheRulerButNeverTheGraticule) {
    FixClock();
    OpenLive();
    m_dlg->OnBnClickedScale();
    Image frame(640, 480, {128, 128, 128});
    FeedFromWorker({frame.img});

    m_dlg->OnBnClickedSave();
    EXPECT_EQ(m_dlg->m_strSnapName, "20141127093005.bmp");
    const wxString path = m_dlg->m_strImageDir + "/20141127093005.bmp";
    EXPECT_EQ(m_dlg->m_strLastImage, path);
    EXPECT_EQ(m_shutters, 1);
    EXPECT_TRUE(m_messages.empty());
    cv::Mat saved = cv::imread(path.utf8_string());
    ASSERT_EQ(saved.size(), cv::Size(640, 480));
    EXPECT_TRUE(IsRed(saved.at<cv::Vec3b>(240, 5)));

    // Frozen with the scale on, after a paint that drew the graticule: the
    // file is the stored frame exactly.
    m_dlg->OnBnClickedFreeze();
    m_dlg->Refresh();
    m_dlg->Update();
    Pump(30);
    m_dlg->OnBnClickedSave();
    saved = cv::imread(path.utf8_string());
    ASSERT_FALSE(saved.empty());
    const cv::Mat stored = m_dlg->CopyLastFrame();
    EXPECT_EQ(cv::norm(saved, stored, cv::NORM_INF), 0.0);
    EXPECT_EQ(m_shutters, 2);
}

TEST_F(Station, TwoSavesInOneSecondWriteOneFileTheSecondWins) {
    FixClock();
    OpenLive();
    Image first(640, 480, {0, 0, 255});
    Image second(640, 480, {255, 0, 0});
    FeedFromWorker({first.img});
    m_dlg->OnBnClickedSave();
    FeedFromWorker({second.img});
    m_dlg->OnBnClickedSave();
    EXPECT_EQ(m_shutters, 2);
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(m_dlg->m_strImageDir.utf8_string())) files.push_back(e.path().filename());
    ASSERT_EQ(files.size(), 1u);
    const cv::Mat saved = cv::imread(m_dlg->m_strLastImage.utf8_string());
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.at<cv::Vec3b>(100, 100), cv::Vec3b(255, 0, 0));
}

TEST_F(Station, FailedSnapshotIsReportedAndKeepsThePreviousPicture) {
    FixClock();
    OpenLive();
    Image frame(640, 480, {1, 2, 3});
    FeedFromWorker({frame.img});
    m_dlg->m_strLastImage = "previous.bmp";

    // The folder has gone.
    m_dlg->m_strImageDir = wxString::FromUTF8(m_root + "/gone");
    m_dlg->OnBnClickedSave();
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_dlg->m_strLastImage, "previous.bmp");
    EXPECT_EQ(m_shutters, 0);

    // The disk is full: every write fails with no space left.
    const std::string full = m_root + "/full";
    fs::create_directories(full);
    fs::create_symlink("/dev/full", full + "/20141127093005.bmp");
    m_dlg->m_strImageDir = wxString::FromUTF8(full);
    m_dlg->OnBnClickedSave();
    EXPECT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_dlg->m_strLastImage, "previous.bmp");
    EXPECT_EQ(m_shutters, 0);

    // A path longer than 260 bytes would be cut to another name.
    std::string deep = m_root;
    while (deep.size() < 270) deep += "/" + std::string(40, 'd');
    fs::create_directories(deep);
    m_dlg->m_strImageDir = wxString::FromUTF8(deep);
    m_dlg->OnBnClickedSave();
    EXPECT_EQ(m_messages.size(), 3u);
    EXPECT_EQ(m_dlg->m_strLastImage, "previous.bmp");
    EXPECT_EQ(m_shutters, 0);
    EXPECT_TRUE(fs::is_empty(deep));
    EXPECT_TRUE(m_messages.back().Contains("20141127093005.bmp"));
}

TEST_F(Station, CameraButtonTogglesFreezeOnTheWindowThread) {
    OpenLive();
    std::thread still([] { DeliverStillToHandler(); });
    still.join();
    Pump(50);
    EXPECT_FALSE(m_dlg->m_bLive);
    EXPECT_FALSE(m_dlg->m_btnFreeze.m_bToggled);
    std::thread again([] { DeliverStillToHandler(); });
    again.join();
    Pump(50);
    EXPECT_TRUE(m_dlg->m_bLive);
    EXPECT_TRUE(m_dlg->m_btnFreeze.m_bToggled);
}

TEST_F(Station, ClosingWhileACameraStreamsDrawsIntoNoDeadWindow) {
    OpenLive();
    std::atomic<bool> stop{false};
    std::atomic<int> delivered{0};
    std::thread camera([&] {
        Image a(1280, 720, {5, 6, 7});
        Image b(640, 480, {8, 9, 10});
        while (!stop) {
            // Changing sizes make the sink replace its copy now and then.
            DeliverFrameToSink(delivered % 7 == 0 ? b.img : a.img);
            CQuillmarshDlg::OnFrame(a.img);
            ++delivered;
        }
    });
    Pump(150);
    m_dlg->OnBnClickedScale();
    Pump(50);
    m_dlg.reset();  // frames keep coming while the window goes
    EXPECT_EQ(g_pMainDlg, nullptr);
    const int at = delivered;
    while (delivered < at + 20) std::this_thread::yield();
    stop = true;
    camera.join();
    EXPECT_GT(delivered.load(), 20);
}

TEST_F(Station, HidingLiveControlsFreezesOrLeavesComparison) {
    OpenLive();
    m_dlg->ShowLiveControls(FALSE);
    EXPECT_FALSE(m_dlg->m_bLive);
    EXPECT_FALSE(Shown(1011));
    EXPECT_FALSE(Shown(1003));
    m_dlg->ShowLiveControls(TRUE);

    // Comparison mode: live frames go to the comparison pane without the ruler.
    m_dlg->OnBnClickedScale();
    auto* compare = new CComPareDLg(0, m_dlg.get());
    ASSERT_TRUE(compare->Create(m_dlg.get()));
    delete m_dlg->SwapCompareDlg(compare);
    theApp.m_bCompareMode = 1;
    Image frame(640, 480, {128, 128, 128});
    FeedFromWorker({frame.img});
    EXPECT_EQ(CountRed(m_dlg->CopyLastFrame()), 0);
    EXPECT_TRUE(compare->m_paneLive.HasPicture());

    // Saving in comparison mode writes the comparison window's screenshot.
    FixClock();
    compare->Show();
    Pump(100);
    m_dlg->OnBnClickedSave();
    EXPECT_EQ(m_dlg->m_strLastImage, m_dlg->m_strImageDir + "/20141127093005.bmp");
    EXPECT_TRUE(fs::exists(m_dlg->m_strLastImage.utf8_string()));

    // Showing changes nothing; hiding leaves comparison mode, live stays live.
    m_dlg->ShowLiveControls(TRUE);
    EXPECT_EQ(theApp.m_bCompareMode, 1);
    m_dlg->ShowLiveControls(FALSE);
    EXPECT_EQ(theApp.m_bCompareMode, 0);
    EXPECT_EQ(m_dlg->m_pCompareDlg, nullptr);
    EXPECT_TRUE(m_dlg->m_bLive);
    EXPECT_FALSE(m_dlg->m_bRuler);
    EXPECT_FALSE(Shown(1027));
    EXPECT_FALSE(Shown(1011));
}

TEST_F(Station, DraggingTheTitleStripMovesTheWindow) {
    Open();
    const wxRect strip = m_dlg->GetDlgItem(1007)->GetScreenRect();
    const wxPoint start = m_dlg->GetScreenPosition();
    m_dlg->WarpPointer(300, 20);
    Pump(30);
    m_dlg->OnLButtonDown();
    ASSERT_TRUE(m_dlg->m_bDragging);
    EXPECT_EQ(m_dlg->m_ptDragOrigin, strip.GetTopLeft());
    m_dlg->WarpPointer(340, 50);
    Pump(150);  // timer 10 follows the cursor
    EXPECT_EQ(m_dlg->GetScreenPosition(), strip.GetTopLeft() + wxPoint(40, 30));
    m_dlg->OnLButtonUp();
    EXPECT_FALSE(m_dlg->m_bDragging);
    // A press outside the strip starts nothing.
    m_dlg->WarpPointer(300, 300);
    Pump(30);
    m_dlg->OnLButtonDown();
    EXPECT_FALSE(m_dlg->m_bDragging);
    (void)start;
}

TEST_F(Station, QuickDetectionOnTheStartPageOpensTheStationWindow) {
    CStartPageDlg page(nullptr);
    ASSERT_TRUE(page.Create(nullptr));
    page.Show();
    Pump(100);
    struct Seen {
        bool window = false, playing = false;
        std::map<int, bool> shown;
        std::map<int, wxRect> rect;
        wxString caption, dir;
    } seen;
    wxTheApp->CallAfter([&] {
        Pump(100);
        CQuillmarshDlg* d = g_pMainDlg;
        if (!d) return;
        seen.window = d->IsShown();
        seen.playing = d->m_gifWait.IsPlaying();
        for (int id : {1013, 1007, 1035, 1012}) {
            seen.shown[id] = d->GetDlgItem(id) && d->GetDlgItem(id)->IsShown();
            seen.rect[id] = d->GetDlgItemRect(id);
        }
        seen.caption = d->GetDlgItemText(1035);
        seen.dir = d->m_strImageDir;
        d->EndDialog(IDCANCEL);
    });
    // The operator's click on the quick-detection button: pressed and released over it.
    wxWindow* quick = page.GetDlgItem(1003);
    ASSERT_NE(quick, nullptr);
    for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
        wxMouseEvent ev(type);
        ev.SetPosition(wxPoint(20, 20));
        ev.SetEventObject(quick);
        ev.SetId(quick->GetId());
        quick->GetEventHandler()->ProcessEvent(ev);
    }
    ASSERT_TRUE(seen.window);
    // The waiting animation plays in the middle of the view, the title strip
    // and the caption stand at the top, the back button at its template place.
    EXPECT_TRUE(seen.playing);
    for (int id : {1013, 1007, 1035, 1012}) EXPECT_TRUE(seen.shown[id]) << id;
    EXPECT_EQ(seen.rect[1013], wxRect(760, 273, 400, 300));
    EXPECT_EQ(seen.rect[1007], wxRect(0, 0, 1844, 42));
    EXPECT_EQ(seen.rect[1035], wxRect(860, 2, 240, 36));
    EXPECT_EQ(seen.caption, wxString(L"皮肤/发质分析"));
    EXPECT_EQ(seen.rect[1012], wxRect(12, 49, 120, 44));
    EXPECT_EQ(seen.dir, wxString::FromUTF8(m_root + "/Guest"));
    EXPECT_EQ(g_pMainDlg, nullptr);  // deleted after its run
}

TEST_F(Station, MinimiseAndCloseAreButtonsThatLetGoOfTheMouseWhenTheWindowGoes) {
    Open();
    int clicks = 0;
    m_dlg->Bind(wxEVT_BUTTON, [&](wxCommandEvent& e) { clicks += e.GetId() == 1010; });
    auto mouse = [](wxWindow* w, wxEventType type, wxPoint at) {
        wxMouseEvent ev(type);
        ev.SetPosition(at);
        ev.SetEventObject(w);
        ev.SetId(w->GetId());
        w->GetEventHandler()->ProcessEvent(ev);
    };
    // A press and a release over the button is a click; a release elsewhere is not.
    mouse(&m_dlg->m_btnMinimize, wxEVT_LEFT_DOWN, wxPoint(10, 10));
    mouse(&m_dlg->m_btnMinimize, wxEVT_LEFT_UP, wxPoint(10, 10));
    EXPECT_EQ(clicks, 1);
    mouse(&m_dlg->m_btnMinimize, wxEVT_LEFT_DOWN, wxPoint(10, 10));
    mouse(&m_dlg->m_btnMinimize, wxEVT_LEFT_UP, wxPoint(100, 10));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(wxWindow::GetCapture(), nullptr);

    // The window going while the close button is held must not leave the
    // mouse captured by a control that no longer exists.
    mouse(&m_dlg->m_btnClose, wxEVT_LEFT_DOWN, wxPoint(10, 10));
    ASSERT_EQ(wxWindow::GetCapture(), &m_dlg->m_btnClose);
    m_dlg.reset();
    Pump(30);
    EXPECT_EQ(wxWindow::GetCapture(), nullptr);
}
