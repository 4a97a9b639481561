// The comparison window on the test display, over a stand-in for the station
// window on a 1920 x 1080 screen with a 40-pixel panel.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <thread>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <wx/app.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/modalhook.h>
#include <wx/radiobut.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "app/StartPageDlg.h"
#include "compare/ComPareDlg.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/PictureLoader.h"
#include "platform/Resources.h"
#include "support/Pump.h"

namespace {

const cv::Vec3b kRed(0, 0, 255);
const cv::Scalar kFrameColour(40, 120, 200);  // B, G, R

// The station window as the comparison window sees it.
class HostFrame : public wxFrame, public CCompareHost {
public:
    HostFrame() : wxFrame(nullptr, wxID_ANY, "station", wxDefaultPosition, wxDefaultSize, wxBORDER_NONE) {
        SetBackgroundColour(*wxBLACK);
        Move(0, 0);
        SetSize(1920, 1040);
        Show();
        frame = cv::Mat(480, 640, CV_8UC3, kFrameColour);
    }
    bool IsViewLive() const override { return live; }
    cv::Mat CopyLastFrame() const override {
        ++frameCopies;
        return frame.clone();
    }
    wxString GetImageDir() const override { return imageDir; }

    bool live = true;
    cv::Mat frame;
    wxString imageDir = "/tmp";
    mutable int frameCopies = 0;
};

// The file question answered by the test.
class TestCompare : public CComPareDLg {
public:
    using CComPareDLg::CComPareDLg;
    std::function<bool(const wxString&, wxString&)> ask;
    std::vector<wxString> askedIn;
    bool useRealDialog = false;

protected:
    bool AskOtherFile(const wxString& folder, wxString& path) override {
        askedIn.push_back(folder);
        if (useRealDialog) return CComPareDLg::AskOtherFile(folder, path);
        return ask ? ask(folder, path) : false;
    }
};

cv::Mat ResourceBgr(int id) {
    wxImage image;
    if (!plat::LoadResourceImage(id, plat::RT_BITMAP, image)) return {};
    cv::Mat rgb(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetData());
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

bool SameImage(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0;
}

bool Near(const cv::Vec3b& a, const cv::Vec3b& b, int tolerance = 3) {
    for (int i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}

// Whether `got` could come from stretching `src` over `size`: each channel
// lies within the range of the source pixels around where pixel (x, y) is
// taken from (whether picked or interpolated).
bool FromStretch(const cv::Mat& src, cv::Size size, int x, int y, const cv::Vec3b& got) {
    const int sx = x * src.cols / size.width;
    const int sy = y * src.rows / size.height;
    for (int c = 0; c < 3; ++c) {
        int lo = 255, hi = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int px = std::clamp(sx + dx, 0, src.cols - 1);
                const int py = std::clamp(sy + dy, 0, src.rows - 1);
                const int v = src.at<cv::Vec3b>(py, px)[c];
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        if (got[c] < lo - 3 || got[c] > hi + 3) return false;
    }
    return true;
}

class CompareWindow : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ScreenMetrics m;
        m.cxScreen = 1920;
        m.cyScreen = 1080;
        m.cyFullScreen = 1017;
        m.taskbar = wxRect(0, 1040, 1920, 40);
        m.hasTaskbar = true;
        plat::SetScreenMetricsOverride(&m);
        m_start = new CStartPageDlg();
        g_pStartPage = m_start;
        host = new HostFrame();
        Pump(50);
    }
    void TearDown() override {
        delete dlg;
        dlg = nullptr;
        host->Destroy();
        Pump(50);
        g_pStartPage = nullptr;
        delete m_start;
        plat::SetScreenMetricsOverride(nullptr);
        plat::SetExecutableFolderForTesting(wxString());
    }

    void Open(int mode, int language) {
        m_start->m_nLanguage = language;
        dlg = new TestCompare(mode, host);
        ASSERT_TRUE(dlg->Create(host));
        dlg->Show();
        Pump(300);
    }

    wxRadioButton* Radio(int index) { return dlg->GetDlgItemAs<wxRadioButton>(CComPareDLg::kRadioIds[index]); }

    // A mouse event of the left pane at pane position (x, y).
    void Mouse(wxEventType type, int x, int y) {
        wxMouseEvent event(type);
        event.SetPosition(wxPoint(x, y));
        event.SetEventObject(&dlg->m_paneLive);
        event.SetLeftDown(type == wxEVT_LEFT_DOWN || type == wxEVT_MOTION);
        dlg->m_paneLive.GetEventHandler()->ProcessEvent(event);
    }

    void Key(int code) {
        wxKeyEvent event(wxEVT_CHAR_HOOK);
        event.m_keyCode = code;
        event.SetEventObject(dlg);
        dlg->GetEventHandler()->ProcessEvent(event);
    }

    CStartPageDlg* m_start = nullptr;
    HostFrame* host = nullptr;
    TestCompare* dlg = nullptr;
};

}  // namespace

TEST_F(CompareWindow, LiesOverTheStationWindowAsLaidOutFromTheScreen) {
    Open(0, 0);
    EXPECT_EQ(dlg->GetPosition(), wxPoint(288, 113));
    EXPECT_EQ(dlg->GetScreenPosition(), host->ClientToScreen(wxPoint(288, 113)));
    EXPECT_EQ(dlg->GetClientSize(), wxSize(1344, 680));
    EXPECT_EQ(dlg->GetDlgItemRect(CComPareDLg::IDC_LEFT_PANE), wxRect(17, 146, 643, 510));
    EXPECT_EQ(dlg->GetDlgItemRect(CComPareDLg::IDC_REFERENCE), wxRect(679, 146, 644, 510));
    // The capture thread renders at the pane's size.
    EXPECT_EQ(dlg->m_paneLive.GetBufferSize(), cv::Size(643, 510));
    // Skin mode with language 0: Chinese captions, the first category chosen.
    EXPECT_EQ(Radio(0)->GetLabel(), wxString(L"健康"));
    EXPECT_EQ(Radio(3)->GetLabel(), wxString(L"敏感"));
    EXPECT_TRUE(Radio(0)->GetValue());
    EXPECT_EQ(dlg->m_bDrawEnabled, FALSE);
    EXPECT_EQ(dlg->m_strokes.GetCount(), 0);
}

TEST_F(CompareWindow, HairInEnglishShowsItsCaptionsRightAlignedAndTheHairPicture) {
    Open(1, 2);
    const wchar_t* captions[5] = {L"Healthy", L"Damaged", L"Aging", L"Irritated", L"Other"};
    int right = 1323;
    for (int i = 4; i >= 0; --i) {
        const wxRect r = Radio(i)->GetRect();
        EXPECT_EQ(Radio(i)->GetLabel(), wxString(captions[i])) << i;
        EXPECT_EQ(r.GetRight() + 1, right) << i;  // each touches its right neighbour
        EXPECT_EQ(r.GetBottom() + 1, 146) << i;   // standing on the right pane
        right = r.GetLeft();
    }
    EXPECT_LT(right, 1323);

    const cv::Mat healthy = cv::imread((plat::GetExecutableFolder() + "standard/Hair/Healthy.bmp").utf8_string());
    ASSERT_FALSE(healthy.empty());
    EXPECT_TRUE(SameImage(dlg->m_paneReference.GetPicture(), healthy));

    // Another category's button shows its picture at once; "Other" shows the
    // English placeholder.
    Radio(2)->SetValue(true);
    dlg->OnBnClickedRadio();
    const cv::Mat aging = cv::imread((plat::GetExecutableFolder() + "standard/Hair/Aging.bmp").utf8_string());
    EXPECT_TRUE(SameImage(dlg->m_paneReference.GetPicture(), aging));
    Radio(4)->SetValue(true);
    dlg->OnBnClickedRadio();
    EXPECT_EQ(dlg->m_nRadio, 4);
    EXPECT_TRUE(SameImage(dlg->m_paneReference.GetPicture(), ResourceBgr(187)));
}

TEST_F(CompareWindow, OtherShowsThePlaceholderOfLanguageZero) {
    Open(1, 0);
    Radio(4)->SetValue(true);
    dlg->OnBnClickedRadio();
    EXPECT_TRUE(SameImage(dlg->m_paneReference.GetPicture(), ResourceBgr(165)));
    EXPECT_TRUE(dlg->m_strOtherPath.empty());
}

TEST_F(CompareWindow, ALanguageWithoutAPictureSetKeepsTheTemplateCaptionsAndNoPlaceholder) {
    Open(0, 7);
    EXPECT_EQ(Radio(0)->GetLabel(), "Radio1");
    Radio(4)->SetValue(true);
    dlg->OnBnClickedRadio();
    EXPECT_TRUE(dlg->m_paneReference.GetPicture().empty());
}

TEST_F(CompareWindow, MissingOrUnreadableReferencePicturesShowTheStandIn) {
    const wxString root = wxFileName::GetTempDir() + wxString::Format("/cmp-exe-%lu/", wxGetProcessId());
    wxFileName::Mkdir(root + "standard/Scalp", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    cv::Mat oily(60, 80, CV_8UC3, cv::Scalar(0, 200, 100));
    ASSERT_TRUE(cv::imwrite((root + "standard/Scalp/Oily.bmp").utf8_string(), oily));
    std::ofstream((root + "standard/Scalp/Dry.bmp").utf8_string()) << "not a picture";
    plat::SetExecutableFolderForTesting(root);

    Open(0, 2);
    const cv::Mat standIn = ResourceBgr(291);  // the English stand-in
    EXPECT_TRUE(SameImage(dlg->m_bmpReference[0], standIn));  // missing
    EXPECT_TRUE(SameImage(dlg->m_bmpReference[1], oily));
    EXPECT_TRUE(SameImage(dlg->m_bmpReference[2], standIn));  // not a bitmap
    EXPECT_TRUE(SameImage(dlg->m_paneReference.GetPicture(), standIn));

    wxFileName::Rmdir(root, wxPATH_RMDIR_RECURSIVE);
}

TEST_F(CompareWindow, ThePenDecidesTheCursorAndWhetherAPressStartsAStroke) {
    Open(0, 0);
    // Pen off: the arrow, and a drag in the pane draws nothing.
    Mouse(wxEVT_MOTION, 100, 100);
    EXPECT_TRUE(dlg->m_paneLive.GetCursor().IsSameAs(*wxSTANDARD_CURSOR));
    Mouse(wxEVT_LEFT_DOWN, 100, 100);
    Mouse(wxEVT_MOTION, 120, 100);
    Mouse(wxEVT_LEFT_UP, 120, 100);
    EXPECT_EQ(dlg->m_strokes.GetCount(), 0);

    // Pen on: the pen cursor over the pane.
    dlg->m_bDrawEnabled = TRUE;
    Mouse(wxEVT_MOTION, 101, 100);
    const wxCursor& cursor = dlg->m_paneLive.GetCursor();
    EXPECT_TRUE(cursor.IsSameAs(dlg->GetPenCursor()));
    EXPECT_FALSE(cursor.IsSameAs(*wxSTANDARD_CURSOR));

    // Outside the pane (the dialog's own area) the arrow comes back.
    dlg->OnSetCursor(dlg->ClientToScreen(wxPoint(5, 5)));
    EXPECT_TRUE(dlg->m_paneLive.GetCursor().IsSameAs(*wxSTANDARD_CURSOR));

    // A drag draws a stroke; moves outside add nothing but do not end it.
    Mouse(wxEVT_LEFT_DOWN, 100, 100);
    Mouse(wxEVT_MOTION, 150, 100);
    Mouse(wxEVT_MOTION, 700, 100);  // right of the pane
    Mouse(wxEVT_MOTION, 150, -3);   // above it
    Mouse(wxEVT_MOTION, 150, 150);
    Mouse(wxEVT_LEFT_UP, 150, 150);
    Mouse(wxEVT_MOTION, 200, 200);  // after the release: nothing
    ASSERT_EQ(dlg->m_strokes.GetCount(), 1);
    EXPECT_EQ(dlg->m_strokes.GetStroke(0), (std::vector<cv::Point>{{100, 100}, {150, 100}, {150, 150}}));

    // The right and bottom edges are outside.
    Mouse(wxEVT_LEFT_DOWN, 643, 10);
    Mouse(wxEVT_LEFT_DOWN, 10, 510);
    EXPECT_EQ(dlg->m_strokes.GetCount(), 1);
    Mouse(wxEVT_LEFT_DOWN, 642, 509);
    EXPECT_EQ(dlg->m_strokes.GetCount(), 2);
}

TEST_F(CompareWindow, WhileFrozenEveryStrokeMoveRedrawsTheFrozenFrameWithAllStrokes) {
    host->live = false;
    Open(0, 0);
    // Opening while frozen shows the frozen frame.
    cv::Mat pane = dlg->m_paneLive.Snapshot();
    ASSERT_EQ(pane.size(), cv::Size(643, 510));
    EXPECT_TRUE(Near(pane.at<cv::Vec3b>(300, 300), cv::Vec3b(40, 120, 200)));

    dlg->m_bDrawEnabled = TRUE;
    Mouse(wxEVT_LEFT_DOWN, 50, 60);
    const int before = host->frameCopies;
    Mouse(wxEVT_MOTION, 250, 60);
    Mouse(wxEVT_MOTION, 250, 260);
    EXPECT_EQ(host->frameCopies, before + 2);
    Mouse(wxEVT_LEFT_UP, 250, 260);

    // The frame changed meanwhile: the next move shows the new frame under
    // every stroke.
    host->frame.setTo(cv::Scalar(90, 90, 90));
    Mouse(wxEVT_LEFT_DOWN, 400, 400);
    Mouse(wxEVT_MOTION, 420, 400);
    pane = dlg->m_paneLive.Snapshot();
    EXPECT_EQ(pane.at<cv::Vec3b>(60, 150), kRed);
    EXPECT_EQ(pane.at<cv::Vec3b>(160, 250), kRed);
    EXPECT_EQ(pane.at<cv::Vec3b>(400, 410), kRed);
    EXPECT_TRUE(Near(pane.at<cv::Vec3b>(300, 100), cv::Vec3b(90, 90, 90)));

    // While live, moves add points but leave the picture to the frame sink.
    host->live = true;
    const int copies = host->frameCopies;
    Mouse(wxEVT_MOTION, 430, 400);
    EXPECT_EQ(host->frameCopies, copies);
    EXPECT_EQ(dlg->m_strokes.GetStroke(1).size(), 3u);
}

TEST_F(CompareWindow, LiveFramesFromACaptureThreadCarryTheStrokes) {
    Open(0, 0);
    dlg->m_bDrawEnabled = TRUE;
    Mouse(wxEVT_LEFT_DOWN, 10, 300);
    std::atomic<bool> stop{false};
    std::thread capture([&] {
        cv::Mat frame(480, 640, CV_8UC3, cv::Scalar(0, 160, 0));
        IplImage header = cvIplImage(frame);
        while (!stop) {
            dlg->DrawLiveFrame(&header);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    for (int x = 11; x < 600; x += 3) {
        Mouse(wxEVT_MOTION, x, 300);
        wxTheApp->Yield(true);
    }
    Mouse(wxEVT_LEFT_UP, 600, 300);
    Pump(100);
    stop = true;
    capture.join();
    Pump(50);
    const cv::Mat pane = dlg->m_paneLive.Snapshot();
    EXPECT_TRUE(Near(pane.at<cv::Vec3b>(100, 100), cv::Vec3b(0, 160, 0)));
    EXPECT_EQ(pane.at<cv::Vec3b>(300, 300), kRed);
    EXPECT_EQ(pane.at<cv::Vec3b>(300, 590), kRed);
}

TEST_F(CompareWindow, RealPointerDragsDrawAndThePenCursorFollowsThePointer) {
    host->live = false;
    Open(0, 0);
    dlg->m_bDrawEnabled = TRUE;
    const wxPoint origin = dlg->m_paneLive.ClientToScreen(wxPoint(0, 0));
    wxUIActionSimulator sim;
    sim.MouseMove(origin + wxPoint(200, 200));
    Pump(100);
    EXPECT_TRUE(dlg->m_paneLive.GetCursor().IsSameAs(dlg->GetPenCursor()));
    sim.MouseDown();
    Pump(50);
    for (int i = 1; i <= 10; ++i) {
        sim.MouseMove(origin + wxPoint(200 + 20 * i, 200));
        Pump(20);
    }
    sim.MouseUp();
    Pump(100);
    ASSERT_EQ(dlg->m_strokes.GetCount(), 1);
    EXPECT_EQ(dlg->m_strokes.GetStroke(0).front(), cv::Point(200, 200));
    EXPECT_EQ(dlg->m_strokes.GetStroke(0).back(), cv::Point(400, 200));
    EXPECT_EQ(dlg->m_paneLive.Snapshot().at<cv::Vec3b>(200, 300), kRed);
    // Over the background the pane's cursor is the arrow again.
    sim.MouseMove(dlg->ClientToScreen(wxPoint(8, 8)));
    Pump(100);
    EXPECT_TRUE(dlg->m_paneLive.GetCursor().IsSameAs(*wxSTANDARD_CURSOR));
    EXPECT_EQ(dlg->m_strokes.GetStroke(0).size(), 11u);
}

TEST_F(CompareWindow, DoubleClickOnTheRightPaneAsksForAFileOnlyForOther) {
    Open(1, 2);
    const cv::Mat healthy = dlg->m_paneReference.GetPicture().clone();
    wxMouseEvent dbl(wxEVT_LEFT_DCLICK);
    dbl.SetEventObject(&dlg->m_paneReference);
    for (int i = 0; i < 4; ++i) {
        Radio(i)->SetValue(true);
        dlg->m_paneReference.GetEventHandler()->ProcessEvent(dbl);
    }
    EXPECT_TRUE(dlg->askedIn.empty());

    // "Other": asked in the customer's folder; cancel changes nothing.
    host->imageDir = "/tmp/customer-folder";
    Radio(4)->SetValue(true);
    dlg->m_paneReference.GetEventHandler()->ProcessEvent(dbl);
    ASSERT_EQ(dlg->askedIn.size(), 1u);
    EXPECT_EQ(dlg->askedIn[0], "/tmp/customer-folder");
    EXPECT_TRUE(dlg->m_strOtherPath.empty());

    // A picked bitmap becomes the "Other" picture and is shown.
    wxString picked = wxFileName::GetTempDir() + wxString::Format("/cmp-other-%lu.bmp", wxGetProcessId());
    cv::Mat other(100, 120, CV_8UC3, cv::Scalar(255, 0, 255));
    ASSERT_TRUE(cv::imwrite(picked.utf8_string(), other));
    dlg->ask = [&](const wxString&, wxString& path) {
        path = picked;
        return true;
    };
    Radio(0)->SetValue(true);  // the choice is read again at the double-click
    Radio(4)->SetValue(true);
    dlg->OnStnDblclickReference();
    EXPECT_TRUE(PumpUntil([&] { return dlg->m_strOtherPath == picked; }));
    EXPECT_EQ(dlg->m_nRadio, 4);
    EXPECT_TRUE(Radio(4)->GetValue());
    EXPECT_TRUE(SameImage(dlg->m_paneReference.GetPicture(), other));
    wxRemoveFile(picked);
    // A photo larger than the pane is held at the pane's size.
    const wxString photo = wxFileName::GetTempDir() + wxString::Format("/cmp-other-%lu.jpg", wxGetProcessId());
    ASSERT_TRUE(cv::imwrite(photo.utf8_string(), cv::Mat(1600, 2000, CV_8UC3, cv::Scalar(0, 200, 0))));
    picked = photo;
    dlg->OnStnDblclickReference();
    EXPECT_TRUE(PumpUntil([&] { return dlg->m_strOtherPath == picked; }));
    wxRemoveFile(photo);
    const wxSize pane = dlg->m_paneReference.GetClientSize();
    EXPECT_EQ(dlg->m_paneReference.GetPicture().size(), cv::Size(pane.x, pane.y));
    EXPECT_TRUE(Near(dlg->m_paneReference.GetPicture().at<cv::Vec3b>(10, 10), cv::Vec3b(0, 200, 0)));

    // A file that is no bitmap shows the stand-in, in English.
    dlg->ask = [&](const wxString&, wxString& path) {
        path = "/nonexistent/other.bmp";
        return true;
    };
    dlg->OnStnDblclickReference();
    EXPECT_TRUE(PumpUntil([&] { return SameImage(dlg->m_paneReference.GetPicture(), ResourceBgr(291)); }));
    EXPECT_FALSE(SameImage(dlg->m_paneReference.GetPicture(), healthy));
}

// The file dialog runs a loop of its own, in which the station may end the
// comparison (its camera unplugged) and delete the window under the handler.
TEST_F(CompareWindow, TheWindowMayBeDeletedWhileTheOperatorPicksTheOtherFile) {
    Open(0, 0);
    dlg->ask = [this](const wxString&, wxString& path) {
        path = "/tmp/picked.bmp";
        TestCompare* doomed = dlg;
        dlg = nullptr;
        delete doomed;  // this answer goes with it: nothing of it is used after
        return true;
    };
    Radio(4)->SetValue(true);
    wxMouseEvent dbl(wxEVT_LEFT_DCLICK);
    dbl.SetEventObject(&dlg->m_paneReference);
    dlg->m_paneReference.GetEventHandler()->ProcessEvent(dbl);
    EXPECT_EQ(dlg, nullptr);
    Pump(50);
}

TEST_F(CompareWindow, TheRealFileDialogStartsInTheCustomersFolderWithThePictureFilter) {
    Open(0, 0);
    const wxString folder = wxFileName::GetTempDir();
    host->imageDir = folder;
    dlg->useRealDialog = true;
    // The modal hook sees the dialog just before it would show, and answers
    // for the operator.
    struct Hook : wxModalDialogHook {
        bool seen = false;
        wxString dir, filter;
        int Enter(wxDialog* dialog) override {
            auto* fd = dynamic_cast<wxFileDialog*>(dialog);
            if (!fd) return wxID_NONE;
            seen = true;
            dir = fd->GetDirectory();
            filter = fd->GetWildcard();
            return wxID_CANCEL;
        }
        void Exit(wxDialog*) override {}
    } hook;
    hook.Register();
    Radio(4)->SetValue(true);
    dlg->OnStnDblclickReference();
    hook.Unregister();
    const bool seen = hook.seen;
    const wxString seenDir = hook.dir, seenFilter = hook.filter;
    ASSERT_TRUE(seen);
    EXPECT_EQ(seenDir, folder);
    EXPECT_EQ(seenFilter, plat::kPictureFileFilter);
    EXPECT_TRUE(dlg->m_strOtherPath.empty());
}

TEST_F(CompareWindow, EnterAndEscapeChangeNothing) {
    Open(0, 0);
    Radio(2)->SetValue(true);
    dlg->OnBnClickedRadio();
    Radio(2)->SetFocus();
    Key(WXK_ESCAPE);
    Key(WXK_RETURN);
    Pump(50);
    EXPECT_TRUE(dlg->IsShown());
    dlg->UpdateData(TRUE);
    EXPECT_EQ(dlg->m_nRadio, 2);
}

TEST_F(CompareWindow, TheScreenshotShowsBackgroundPanesAndStrokes) {
    host->live = false;
    Open(1, 0);
    dlg->m_bDrawEnabled = TRUE;
    Mouse(wxEVT_LEFT_DOWN, 100, 100);
    Mouse(wxEVT_MOTION, 300, 100);
    Mouse(wxEVT_LEFT_UP, 300, 100);
    Pump(200);

    std::vector<wxString> messages;
    plat::SetMessageBoxHook([&](const wxString& text, const wxString&, UINT) {
        messages.push_back(text);
        return IDOK;
    });
    const wxString path = wxFileName::GetTempDir() + wxString::Format("/cmp-shot-%lu.bmp", wxGetProcessId());
    EXPECT_TRUE(dlg->SaveWindowAsBmp(path));
    plat::SetMessageBoxHook({});
    EXPECT_TRUE(messages.empty());

    std::ifstream in(path.utf8_string(), std::ios::binary);
    const std::vector<unsigned char> b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(b.size(), 3655734u);
    auto u32 = [&](size_t at) {
        return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
    };
    EXPECT_EQ(u32(18), 1344u);
    EXPECT_EQ(u32(22), 680u);
    EXPECT_EQ(b[28] | (b[29] << 8), 32);
    // The file read back through the image library: rows bottom-up as a BMP.
    const cv::Mat shot = cv::imread(path.utf8_string(), cv::IMREAD_COLOR);
    wxRemoveFile(path);
    ASSERT_EQ(shot.size(), cv::Size(1344, 680));

    // Background (the hair picture stretched), away from the captions.
    const cv::Mat background = ResourceBgr(223);
    for (const cv::Point& p : {cv::Point(3, 3), cv::Point(700, 20), cv::Point(1340, 676), cv::Point(668, 400)})
        EXPECT_TRUE(FromStretch(background, shot.size(), p.x, p.y, shot.at<cv::Vec3b>(p))) << p;
    // Left pane: the frozen frame with the stroke.
    EXPECT_TRUE(Near(shot.at<cv::Vec3b>(146 + 300, 17 + 300), cv::Vec3b(40, 120, 200)));
    EXPECT_EQ(shot.at<cv::Vec3b>(146 + 100, 17 + 200), kRed);
    // Right pane: the hair picture "Healthy", stretched over it.
    const cv::Mat healthy = dlg->m_bmpReference[0];
    for (const cv::Point& p : {cv::Point(20, 20), cv::Point(320, 250), cv::Point(600, 480)})
        EXPECT_TRUE(FromStretch(healthy, cv::Size(644, 510), p.x, p.y, shot.at<cv::Vec3b>(146 + p.y, 679 + p.x)))
            << p;
}
