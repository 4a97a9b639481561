// How the station window takes frames and paints: a frame whose producer
// spares its pixels is kept without a copy, a frozen picture is drawn once
// per exposure, not over and over, and a live frame repaints the view alone.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iterator>
#include <thread>

#include <opencv2/core.hpp>

#include "app/QuillmarshApp.h"
#include "capture/FrameSink.h"
#include "platform/ScreenMetrics.h"
#include "station/QuillmarshDlg.h"
#include "support/Pump.h"
#include "support/TempDir.h"

using namespace std::chrono_literals;

namespace {

// Counts the paints of one window and the area they covered, and lets them run.
struct PaintCounter {
    int paints = 0;
    long area = 0;
    void Attach(wxWindow* w) {
        w->Bind(wxEVT_PAINT, [this, w](wxPaintEvent& e) {
            ++paints;
            area += w->GetUpdateRegion().GetBox().GetWidth() * static_cast<long>(w->GetUpdateRegion().GetBox().GetHeight());
            e.Skip();
        });
    }
    void Reset() { paints = 0, area = 0; }
};

class StationFrames : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_strImageRoot = wxString::FromUTF8(m_scratch.Path().c_str());
        m_metrics = plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 0, 1920, 1040));
        plat::SetScreenMetricsOverride(&m_metrics);
        m_dlg = std::make_unique<CQuillmarshDlg>(nullptr);
        ASSERT_TRUE(m_dlg->Create(nullptr));
        Pump(150);
        m_window.Attach(m_dlg.get());
        m_view.Attach(&m_dlg->GetView());
    }
    // As when a camera has opened.
    void GoLive() {
        m_dlg->ShowDlgItem(1013, false);
        m_dlg->ShowLiveControls(TRUE);
    }
    void TearDown() override {
        m_dlg.reset();
        plat::SetScreenMetricsOverride(nullptr);
    }

    // Frames from a worker at about 30 a second while the window runs.
    void FeedFor(std::chrono::milliseconds span) {
        std::atomic<bool> done{false};
        std::thread producer([&] {
            IplImage* frame = cvCreateImage(cvSize(640, 480), IPL_DEPTH_8U, 3);
            int n = 0;
            while (!done) {
                cvSet(frame, cvScalar(n++ % 200, 80, 40, 0));
                CQuillmarshDlg::OnFrame(frame);
                std::this_thread::sleep_for(33ms);
            }
            cvReleaseImage(&frame);
        });
        Pump(span.count());
        done = true;
        producer.join();
    }

    TempDir m_scratch;
    plat::ScreenMetrics m_metrics;
    std::unique_ptr<CQuillmarshDlg> m_dlg;
    PaintCounter m_window, m_view;
};

TEST_F(StationFrames, ASparedFrameIsKeptWithoutACopyAndAnyOtherIsCopied) {
    GoLive();
    IplImage* spared = cvCreateImage(cvSize(640, 480), IPL_DEPTH_8U, 3);
    IplImage* lent = cvCreateImage(cvSize(640, 480), IPL_DEPTH_8U, 3);
    cvSet(spared, cvScalar(10, 20, 200, 0));
    cvSet(lent, cvScalar(200, 20, 10, 0));
    for (bool spare : {true, false}) {
        SCOPED_TRACE(spare ? "spared" : "lent");
        IplImage* frame = spare ? spared : lent;
        const char* pixels = frame->imageData;
        const cv::Vec3b colour = cv::cvarrToMat(frame).at<cv::Vec3b>(0, 0);
        std::thread producer([&] { DeliverFrameToSink(frame, spare); });
        producer.join();
        EXPECT_EQ(m_dlg->m_pFrame->imageData == pixels, spare);
        EXPECT_EQ(frame->imageData != pixels, spare);
        EXPECT_EQ(m_dlg->CopyLastFrame().at<cv::Vec3b>(240, 320), colour);
        EXPECT_EQ(m_dlg->GetView().Snapshot().at<cv::Vec3b>(339, 452), colour);
        if (!spare) {
            EXPECT_EQ(cv::cvarrToMat(frame).at<cv::Vec3b>(240, 320), colour);
        }
    }
    cvReleaseImage(&spared);
    cvReleaseImage(&lent);
}

TEST_F(StationFrames, AFrozenWindowPaintsOncePerExposure) {
    GoLive();
    for (bool scale : {false, true}) {
        SCOPED_TRACE(scale ? "with the scale" : "without the scale");
        if (scale != static_cast<bool>(m_dlg->m_bRuler)) m_dlg->OnBnClickedScale();
        FeedFor(500ms);
        m_dlg->OnBnClickedFreeze();
        m_dlg->Refresh();
        Pump(300);
        m_window.Reset();
        m_view.Reset();
        Pump(3000);
        EXPECT_LE(m_window.paints, 3);
        EXPECT_LE(m_view.paints, 3);

        // An exposure paints the frozen picture again, once.
        m_dlg->Refresh();
        Pump(500);
        EXPECT_GE(m_window.paints, 1);
        EXPECT_LE(m_window.paints, 4);
        m_dlg->OnBnClickedFreeze();
    }
}

TEST_F(StationFrames, ALiveFrameRepaintsTheViewAlone) {
    GoLive();
    FeedFor(300ms);
    m_window.Reset();
    m_view.Reset();
    const unsigned presented = m_dlg->GetView().PresentedCount();
    FeedFor(2000ms);
    // Each frame reaches the screen, painted or put there by the thread that drew it.
    EXPECT_GE(m_view.paints + (m_dlg->GetView().PresentedCount() - presented), 20u);
    const wxSize view = m_dlg->GetView().GetClientSize();
    EXPECT_LE(m_window.area, 2L * view.x * view.y) << m_window.paints << " paints of the window";
}

TEST_F(StationFrames, AFrameHandedOverUnwrittenIsMadeOnceAndOnlyWhenItsPixelsAreWanted) {
    GoLive();
    FeedFor(300ms);  // the view is on the screen and puts pictures there itself
    const cv::Vec3b black(0, 0, 0);
    struct Case {
        const char* what;
        bool scale;  // the ruler is drawn on the frame: made at once
        bool makerFails;
        cv::Vec3b colour, kept;  // the frame's colour, and the last frame's after it
    };
    const Case cases[] = {
        {"plain", false, false, {30, 160, 90}, {30, 160, 90}},
        {"with the scale", true, false, {200, 40, 120}, {200, 40, 120}},
        {"with the scale, not made", true, true, {5, 90, 250}, {200, 40, 120}},  // dropped
        {"plain, not made", false, true, {5, 90, 250}, black},  // never an older picture
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.scale != static_cast<bool>(m_dlg->m_bRuler)) m_dlg->OnBnClickedScale();
        int makes = 0;
        std::thread producer([&] {
            const plat::ViewTarget target = SinkViewTarget();
            EXPECT_EQ(target.display != nullptr, !c.scale);
            for (int y = 0; target.display && y < target.size.height; ++y)
                for (int x = 0; x < target.size.width; ++x)
                    std::memcpy(target.display.get() + y * target.displayStep + 4 * x, &c.colour[0], 3);
            IplImage* frame = cvCreateImage(cvSize(640, 480), IPL_DEPTH_8U, 3);
            cvZero(frame);  // unwritten
            DeliverFrameToSink(frame, true, nullptr, target.display ? target.size : cv::Size(), [&](IplImage* into) {
                ++makes;
                cvSet(into, cvScalar(c.colour[0], c.colour[1], c.colour[2], 0));
                return !c.makerFails;
            });
            cvReleaseImage(&frame);
        });
        producer.join();
        EXPECT_EQ(makes, c.scale ? 1 : 0);
        EXPECT_EQ(m_dlg->CopyLastFrame().at<cv::Vec3b>(10, 10), c.kept);
        EXPECT_EQ(m_dlg->CopyLastFrame().at<cv::Vec3b>(470, 630), c.kept);
        EXPECT_EQ(makes, 1);
        if (c.scale) continue;
        // The screen shows what was put on it; frozen, the view draws the
        // frame as made, without making it again.
        EXPECT_EQ(m_dlg->GetView().Snapshot().at<cv::Vec3b>(300, 400), c.colour);
        m_dlg->OnBnClickedFreeze();
        Pump(300);
        EXPECT_EQ(m_dlg->GetView().Snapshot().at<cv::Vec3b>(300, 400), c.kept);
        EXPECT_EQ(makes, 1);
        m_dlg->OnBnClickedFreeze();
    }
}

}  // namespace
