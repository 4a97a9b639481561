// The animation's composition, one step at a time: disposal methods,
// transparency, the restart of the loop and the disposal of a frame whose
// play was cut short.
#include <gtest/gtest.h>

#include "controls/GifParser.h"
#include "controls/PictureEx.h"
#include "picture/GifBuilder.h"

using namespace giftest;

namespace {

constexpr COLORREF kFill = RGB(10, 20, 30);  // the surface before anything is drawn
constexpr COLORREF kBack = RGB(200, 201, 202);
constexpr COLORREF kRedC = RGB(255, 0, 0), kGreenC = RGB(0, 255, 0), kBlueC = RGB(0, 0, 255),
                   kYellowC = RGB(255, 255, 0);

COLORREF Px(const CPictureCanvas& c, int x, int y) {
    const wxImage img = c.Snapshot();
    return RGB(img.GetRed(x, y), img.GetGreen(x, y), img.GetBlue(x, y));
}

// 8 x 4 screen: a full red frame, green over the left half (disposal 2),
// blue over the right half (disposal 3), then yellow stripes over the middle
// with transparent stripes between them.
std::shared_ptr<CPictureCanvas> MakeTestCanvas() {
    GifSpec s;
    s.width = 8;
    s.height = 4;
    s.palette = TestPalette();
    s.frames = {Solid(0, 0, 8, 4, kRed), Solid(0, 0, 4, 4, kGreen, 5, 2), Solid(4, 0, 4, 4, kBlue, 5, 3),
                Solid(2, 0, 4, 4, kYellow)};
    FrameSpec& striped = s.frames[3];
    striped.transparent = kBlack;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) striped.indices[y * 4 + x] = (x % 2) ? kBlack : kYellow;
    std::vector<std::uint8_t> data = BuildGif(s);

    std::vector<TFrame> frames;
    wxSize screen;
    int blocks = 0;
    EXPECT_TRUE(LoadGifFrames(data.data(), data.size(), frames, screen, blocks));
    EXPECT_EQ(4u, frames.size());
    EXPECT_EQ(wxSize(8, 4), screen);
    auto canvas = MakeCanvas(8, 4, kFill, kBack);
    canvas->SetFrames(std::move(frames));
    return canvas;
}

}  // namespace

TEST(PictureCanvas, DisposalMethodsTransparencyAndLoopRestart) {
    auto c = MakeTestCanvas();
    ASSERT_EQ(4u, c->Frames().size());

    c->ShowCurrentFrame();
    EXPECT_EQ(kRedC, Px(*c, 0, 0));
    EXPECT_EQ(kRedC, Px(*c, 7, 3));
    c->DisposeCurrentFrame();  // method 1 leaves the frame in place
    EXPECT_EQ(kRedC, Px(*c, 0, 0));
    c->AdvanceFrame();

    c->ShowCurrentFrame();
    EXPECT_EQ(kGreenC, Px(*c, 3, 3));
    EXPECT_EQ(kRedC, Px(*c, 4, 0));
    c->DisposeCurrentFrame();  // method 2 clears the frame's area only
    EXPECT_EQ(kBack, Px(*c, 0, 0));
    EXPECT_EQ(kBack, Px(*c, 3, 3));
    EXPECT_EQ(kRedC, Px(*c, 4, 0));
    c->AdvanceFrame();

    c->ShowCurrentFrame();
    EXPECT_EQ(kBlueC, Px(*c, 4, 0));
    EXPECT_EQ(kBack, Px(*c, 3, 0));
    c->DisposeCurrentFrame();  // method 3 puts back what was under the frame
    EXPECT_EQ(kRedC, Px(*c, 4, 0));
    EXPECT_EQ(kRedC, Px(*c, 7, 3));
    EXPECT_EQ(kBack, Px(*c, 3, 0));
    c->AdvanceFrame();

    c->ShowCurrentFrame();  // transparent stripes keep what lies below
    EXPECT_EQ(kYellowC, Px(*c, 2, 1));
    EXPECT_EQ(kBack, Px(*c, 3, 1));
    EXPECT_EQ(kYellowC, Px(*c, 4, 1));
    EXPECT_EQ(kRedC, Px(*c, 5, 1));
    c->DisposeCurrentFrame();
    c->AdvanceFrame();

    EXPECT_EQ(0, c->FrameIndex());  // after the last frame: first frame, cleared picture
    for (int x = 0; x < 8; ++x) EXPECT_EQ(kBack, Px(*c, x, 2)) << x;
}

TEST(PictureCanvas, CutShortFrameIsDisposedOnceWhenPlayResumes) {
    auto c = MakeTestCanvas();
    // Nothing shown yet: resuming must not clear or restore anything.
    c->CompletePendingDisposal();
    EXPECT_EQ(kFill, Px(*c, 0, 0));

    c->ShowCurrentFrame();
    c->DisposeCurrentFrame();
    c->AdvanceFrame();
    c->ShowCurrentFrame();  // green, disposal 2; play stops here
    EXPECT_EQ(1, c->FrameIndex());
    c->CompletePendingDisposal();
    EXPECT_EQ(kBack, Px(*c, 1, 1));
    EXPECT_EQ(1, c->FrameIndex());

    c->AdvanceFrame();
    c->ShowCurrentFrame();  // blue, disposal 3, over red; play stops here
    c->CompletePendingDisposal();
    EXPECT_EQ(kRedC, Px(*c, 6, 2));
    // A second resume finds nothing pending: the restored area stays.
    c->ShowCurrentFrame();
    c->DisposeCurrentFrame();
    c->CompletePendingDisposal();
    EXPECT_EQ(kRedC, Px(*c, 6, 2));
}

TEST(PictureCanvas, RenderClipsToTheSurfaceAndScales) {
    auto c = MakeCanvas(4, 4, kFill, kBack);
    TPixels pic;
    pic.width = 2;
    pic.height = 1;
    pic.rgb = {255, 0, 0, 0, 0, 255};  // red, blue
    c->RenderPicture(pic, -2, 3, 8, 4);  // mostly outside; scaled 4x
    EXPECT_EQ(kRedC, Px(*c, 0, 3));
    EXPECT_EQ(kRedC, Px(*c, 1, 3));
    EXPECT_EQ(kBlueC, Px(*c, 2, 3));
    EXPECT_EQ(kBlueC, Px(*c, 3, 3));
    EXPECT_EQ(kFill, Px(*c, 0, 2));
    c->RenderPicture(pic, 100000, -100000, 65535, 65535);  // wholly outside: nothing, no fault
    EXPECT_EQ(kFill, Px(*c, 3, 0));
}
