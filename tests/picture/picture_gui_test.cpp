// The animated picture control in a window: still pictures, failing loads,
// the animation thread (stop at once, resume where it stopped, reload,
// destruction while playing) and what reaches the screen.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <opencv2/core.hpp>
#include <wx/evtloop.h>
#include <wx/frame.h>
#include <wx/mstream.h>
#include <wx/panel.h>
#include <wx/settings.h>
#include <wx/wfstream.h>

#include "controls/GifParser.h"
#include "controls/PictureEx.h"
#include "picture/GifBuilder.h"
#include "platform/Resources.h"
#include "platform/WindowCapture.h"

using namespace giftest;
using Clock = std::chrono::steady_clock;

namespace {

bool PumpUntil(const std::function<bool()>& done, int ms) {
    wxGUIEventLoop loop;
    wxEventLoopActivator activate(&loop);
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        loop.YieldFor(wxEVT_CATEGORY_ALL);
        if (done()) return true;
        wxMilliSleep(2);
    }
    return done();
}

// Polls without running the event loop (the thread needs none).
bool WaitUntil(const std::function<bool()>& done, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        if (done()) return true;
        wxMilliSleep(1);
    }
    return done();
}

wxColour At(const wxImage& img, int x, int y) {
    return wxColour(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
}

struct Window {
    wxFrame* frame;
    wxPanel* panel;  // the control is not a frame's only child, so it is not stretched
    CPictureEx* pic;
    Window() {
        frame = new wxFrame(nullptr, wxID_ANY, "picture", wxDefaultPosition, wxSize(600, 500));
        panel = new wxPanel(frame);
        pic = new CPictureEx;
        EXPECT_TRUE(pic->Create(panel, 1013, wxRect(10, 10, 50, 50), wxString(), 0));
        frame->Show();
    }
    ~Window() {
        frame->Destroy();
        PumpUntil([] { return false; }, 20);
    }
};

std::vector<std::uint8_t> Gif(int w, int h, std::vector<FrameSpec> frames) {
    GifSpec s;
    s.width = w;
    s.height = h;
    s.palette = TestPalette();
    s.frames = std::move(frames);
    return BuildGif(s);
}

const wxColour kRedW(255, 0, 0), kGreenW(0, 255, 0), kBlueW(0, 0, 255);

}  // namespace

TEST(PictureEx, StillPicturesShowWithoutAThread) {
    Window w;
    // A PNG is loaded whole and keeps its own size.
    wxImage png(30, 20);
    png.SetRGB(wxRect(0, 0, 30, 20), 0, 0, 255);
    png.SetRGB(wxRect(0, 0, 10, 20), 255, 0, 0);
    wxMemoryOutputStream out;
    ASSERT_TRUE(png.SaveFile(out, wxBITMAP_TYPE_PNG));
    std::vector<std::uint8_t> bytes(out.GetSize());
    out.CopyTo(bytes.data(), bytes.size());

    ASSERT_TRUE(w.pic->Load(bytes.data(), bytes.size()));
    EXPECT_FALSE(w.pic->IsGif());
    EXPECT_EQ(wxSize(30, 20), w.pic->GetPictureSize());
    EXPECT_EQ(wxSize(30, 20), w.pic->GetSize());
    EXPECT_EQ(wxPoint(10, 10), w.pic->GetPosition());
    w.pic->Draw();
    EXPECT_FALSE(w.pic->HasThread());
    wxImage shown = w.pic->GetPictureImage();
    EXPECT_EQ(kRedW, At(shown, 5, 10));
    EXPECT_EQ(kBlueW, At(shown, 25, 10));
    EXPECT_EQ(RGB(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE).Red(),
                  wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE).Green(),
                  wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE).Blue()),
              w.pic->GetBackColor());

    // What the window shows once painted.
    cv::Mat screen;
    ASSERT_TRUE(PumpUntil(
        [&] {
            screen = plat::CaptureClientArea(w.pic);
            return !screen.empty() && screen.at<cv::Vec4b>(10, 25)[0] == 255;
        },
        3000));
    EXPECT_EQ(255, screen.at<cv::Vec4b>(10, 5)[2]);
    EXPECT_EQ(0, screen.at<cv::Vec4b>(10, 5)[0]);

    // A one-frame GIF: a still picture of the logical screen, the image at its offset.
    std::vector<std::uint8_t> one = Gif(40, 30, {Solid(10, 5, 8, 6, kGreen)});
    ASSERT_TRUE(w.pic->Load(one.data(), one.size()));
    EXPECT_TRUE(w.pic->IsGif());
    EXPECT_EQ(wxSize(40, 30), w.pic->GetPictureSize());
    EXPECT_EQ(wxSize(40, 30), w.pic->GetSize());
    const wxImage before = w.pic->GetPictureImage();
    w.pic->Draw();
    EXPECT_FALSE(w.pic->HasThread());
    shown = w.pic->GetPictureImage();
    EXPECT_EQ(kGreenW, At(shown, 10, 5));
    EXPECT_EQ(kGreenW, At(shown, 17, 10));
    EXPECT_EQ(At(before, 9, 5), At(shown, 9, 5));  // outside the frame: untouched
    EXPECT_EQ(At(before, 18, 11), At(shown, 18, 11));
}

TEST(PictureEx, BadDataFailsAndLeavesTheControlEmpty) {
    Window w;
    const std::vector<std::uint8_t> good = Gif(20, 20, {Solid(0, 0, 20, 20, kRed), Solid(0, 0, 10, 10, kBlue)});

    // "GIF" data without an image block.
    std::vector<std::uint8_t> noImage(good.begin(), good.begin() + 13 + 24);
    noImage.insert(noImage.end(), {0x21, 0xF9, 4, 0, 5, 0, 0, 0, 0x3B});
    EXPECT_FALSE(w.pic->Load(noImage.data(), noImage.size()));
    EXPECT_FALSE(w.pic->IsReady());

    // Truncated inside the first image, and with the first image's chain
    // announcing more than the data holds.
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + 13 + 24 + 8 + 14);
    EXPECT_FALSE(w.pic->Load(cut.data(), cut.size()));
    std::vector<std::uint8_t> overlong(good.begin(), good.begin() + 13 + 24 + 8 + 12);
    overlong.push_back(250);
    overlong.insert(overlong.end(), 20, 0x55);
    EXPECT_FALSE(w.pic->Load(overlong.data(), overlong.size()));
    EXPECT_FALSE(w.pic->IsReady());
    // Cut inside the second frame: the whole first one does not save it.
    std::vector<std::uint8_t> secondCut(good.begin(), good.end() - 5);
    EXPECT_FALSE(w.pic->Load(secondCut.data(), secondCut.size()));
    EXPECT_FALSE(w.pic->IsReady());

    // Not a picture at all, nothing, and a resource that does not exist.
    const char text[] = "this is not a picture";
    EXPECT_FALSE(w.pic->Load(text, sizeof text));
    EXPECT_FALSE(w.pic->Load(nullptr, 0));
    EXPECT_FALSE(w.pic->Load(99999u, plat::RT_GIF));
    EXPECT_FALSE(w.pic->IsReady());
    EXPECT_EQ(0xFFFFFFu, w.pic->GetBackColor());
    w.pic->Draw();  // nothing to draw: no thread, no fault
    EXPECT_FALSE(w.pic->HasThread());

    // After all that, a good load still works.
    EXPECT_TRUE(w.pic->Load(good.data(), good.size()));
    EXPECT_EQ(2u, w.pic->GetFrameCount());
}

TEST(PictureEx, WaitingAnimationPlaysAndReachesTheScreen) {
    Window w;
    std::vector<FrameSpec> frames;
    for (int i = 0; i < 12; ++i)
        frames.push_back(Solid(0, 0, 400, 300, static_cast<std::uint8_t>(1 + i % 7)));
    std::vector<std::uint8_t> data = Gif(400, 300, frames);
    int paints = 0;
    w.pic->Bind(wxEVT_PAINT, [&](wxPaintEvent& e) {
        ++paints;
        e.Skip();
    });

    ASSERT_TRUE(w.pic->Load(data.data(), data.size()));
    EXPECT_EQ(12u, w.pic->GetFrameCount());
    EXPECT_EQ(wxSize(400, 300), w.pic->GetClientSize());
    w.pic->Draw();
    EXPECT_TRUE(w.pic->HasThread());
    // Frames of 50 ms: the play position moves on by itself and paints follow.
    ASSERT_TRUE(PumpUntil([&] { return w.pic->GetFrameIndex() >= 3 && paints > 0; }, 5000));
    EXPECT_TRUE(w.pic->IsPlaying());
    w.pic->Stop();
    EXPECT_FALSE(w.pic->HasThread());
    EXPECT_FALSE(w.pic->IsPlaying());

    // The screen shows the frame where play stopped.
    const wxColour want = At(w.pic->GetPictureImage(), 200, 150);
    cv::Mat screen;
    EXPECT_TRUE(PumpUntil(
        [&] {
            screen = plat::CaptureClientArea(w.pic);
            if (screen.empty()) return false;
            const cv::Vec4b px = screen.at<cv::Vec4b>(150, 200);
            return px[2] == want.Red() && px[1] == want.Green() && px[0] == want.Blue();
        },
        3000));
}

TEST(PictureEx, StopEndsALongWaitAtOnceAndDrawResumesThere) {
    Window w;
    // Frame 0 shows 100 ms, frame 1 a minute, frame 2 100 ms.
    std::vector<std::uint8_t> data =
        Gif(20, 20, {Solid(0, 0, 20, 20, kRed, 10), Solid(0, 0, 20, 20, kGreen, 6000), Solid(0, 0, 20, 20, kBlue, 10)});
    ASSERT_TRUE(w.pic->Load(data.data(), data.size()));
    w.pic->Draw();
    ASSERT_TRUE(WaitUntil([&] { return w.pic->GetFrameIndex() == 1; }, 5000));
    ASSERT_TRUE(WaitUntil([&] { return At(w.pic->GetPictureImage(), 5, 5) == kGreenW; }, 2000));

    const auto t0 = Clock::now();
    w.pic->Stop();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_LT(took, 1000);  // far below both the frame's minute and the 5 s bound
    EXPECT_FALSE(w.pic->HasThread());
    EXPECT_EQ(1, w.pic->GetFrameIndex());

    // Play resumes at frame 1: frame 0 (100 ms) never comes up again.
    w.pic->Draw();
    bool sawOther = false;
    const auto end = Clock::now() + std::chrono::milliseconds(400);
    while (Clock::now() < end) {
        if (w.pic->GetFrameIndex() != 1) sawOther = true;
        wxMilliSleep(1);
    }
    EXPECT_FALSE(sawOther);
    EXPECT_EQ(kGreenW, At(w.pic->GetPictureImage(), 5, 5));
    EXPECT_TRUE(w.pic->IsPlaying());
    w.pic->Stop();
}

TEST(PictureEx, AHiddenAnimationRendersNothingUntilShownAgain) {
    Window w;
    std::vector<FrameSpec> frames;
    for (int i = 0; i < 12; ++i) frames.push_back(Solid(0, 0, 20, 20, static_cast<std::uint8_t>(1 + i % 7)));
    std::vector<std::uint8_t> data = Gif(20, 20, frames);
    ASSERT_TRUE(w.pic->Load(data.data(), data.size()));

    // Started while hidden, and hidden while playing: the position holds.
    for (bool startHidden : {true, false}) {
        SCOPED_TRACE(startHidden ? "started hidden" : "hidden while playing");
        if (startHidden) w.pic->Hide();
        w.pic->Draw();
        if (!startHidden) {
            ASSERT_TRUE(WaitUntil([&] { return w.pic->GetFrameIndex() >= 2; }, 3000));
            w.pic->Hide();
        }
        wxMilliSleep(120);  // a frame already on its way finishes its wait
        const int held = w.pic->GetFrameIndex();
        wxMilliSleep(400);
        EXPECT_EQ(held, w.pic->GetFrameIndex());
        EXPECT_TRUE(w.pic->HasThread());

        w.pic->Show();
        EXPECT_TRUE(WaitUntil([&] { return w.pic->GetFrameIndex() != held; }, 2000));
        w.pic->Stop();
    }
    // A stop reaches a thread held by hiding at once.
    w.pic->Hide();
    w.pic->Draw();
    const auto t0 = Clock::now();
    w.pic->Stop();
    EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(1000));
    EXPECT_FALSE(w.pic->HasThread());
}

TEST(PictureEx, ReloadingStopsTheFirstAnimationAndDestroyingWhilePlayingIsSafe) {
    Window w;
    std::vector<std::uint8_t> data =
        Gif(20, 20, {Solid(0, 0, 20, 20, kRed, 1), Solid(0, 0, 20, 20, kGreen, 1), Solid(0, 0, 20, 20, kBlue, 1)});
    ASSERT_TRUE(w.pic->Load(data.data(), data.size()));
    w.pic->Draw();
    ASSERT_TRUE(WaitUntil([&] { return w.pic->IsPlaying(); }, 2000));
    w.pic->Draw();  // a second start while playing makes no second thread

    // A new surface while playing: play stops and the frames stay.
    ASSERT_TRUE(w.pic->PrepareDC(30, 30));
    EXPECT_FALSE(w.pic->HasThread());
    EXPECT_EQ(wxSize(30, 30), w.pic->GetSize());
    EXPECT_EQ(3u, w.pic->GetFrameCount());
    w.pic->Draw();
    EXPECT_TRUE(w.pic->HasThread());

    ASSERT_TRUE(w.pic->Load(data.data(), data.size()));
    EXPECT_FALSE(w.pic->HasThread());
    EXPECT_FALSE(w.pic->IsPlaying());
    EXPECT_EQ(0, w.pic->GetFrameIndex());
    w.pic->Draw();
    ASSERT_TRUE(WaitUntil([&] { return w.pic->GetFrameIndex() == 2; }, 3000));

    // The thread has repaints queued for the control; destroying it while
    // playing stops the thread and the queued repaints find nothing.
    w.pic->Destroy();
    w.pic = nullptr;
    PumpUntil([] { return false; }, 150);
}

TEST(PictureEx, EmbeddedWaitingAnimation) {
    plat::ResourceBlob blob = plat::FindResource(131, plat::RT_GIF);
    ASSERT_TRUE(blob) << "the waiting animation is embedded as gif 131";
    gif::CGifParser p(blob.data, blob.size);
    ASSERT_TRUE(p.Open());
    EXPECT_EQ(400, p.ScreenWidth());
    EXPECT_EQ(300, p.ScreenHeight());
    ASSERT_EQ(12, p.CountGraphicBlocks());
    gif::FrameBlock f;
    while (p.GetNextGraphicBlock(f)) {
        EXPECT_EQ(5u, f.nDelay);
        EXPECT_EQ(1u, f.nDisposal);
    }

    Window w;
    ASSERT_TRUE(w.pic->Load(131u, "gif"));
    EXPECT_EQ(12u, w.pic->GetFrameCount());
    EXPECT_EQ(wxSize(400, 300), w.pic->GetPictureSize());
    w.pic->Draw();
    EXPECT_TRUE(WaitUntil([&] { return w.pic->GetFrameIndex() >= 2; }, 3000));
    w.pic->Stop();
}
