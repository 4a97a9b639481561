// The station window's full-screen layout and the names it gives folders and
// snapshots, computed without a window.
#include <gtest/gtest.h>

#include "station/StationFiles.h"
#include "station/StationLayout.h"

namespace {

// A screen with a panel of `panel` pixels along its bottom edge.
plat::ScreenMetrics Screen(int w, int h, int panel) {
    return plat::ComputeScreenMetrics(wxRect(0, 0, w, h), wxRect(0, 0, w, h - panel));
}

StationLayoutInputs Controls() {
    StationLayoutInputs in;
    in.noDevice = wxSize(518, 218);
    in.waiting = wxSize(400, 300);
    in.scaleMenu = wxSize(36, 36);
    return in;
}

std::vector<int> RowX(const StationLayout& l) {
    return {l.files.x, l.fullView.x, l.scale.x, l.save.x, l.freeze.x, l.report.x};
}

}  // namespace

TEST(StationLayout, FullHdScreenWithPanel) {
    const plat::ScreenMetrics m = Screen(1920, 1080, 40);
    ASSERT_EQ(m.cyFullScreen, 1017);
    const StationLayout l = ComputeStationLayout(m, Controls());

    EXPECT_EQ(l.window, wxRect(0, 0, 1920, 1040));  // the panel's height is left free
    EXPECT_EQ(l.view, wxRect(508, 84, 904, 678));   // (508, 84)-(1412, 762)
    EXPECT_EQ(l.g, 87);
    EXPECT_EQ(RowX(l), (std::vector<int>{261, 508, 755, 1002, 1249, 1496}));
    // v = (1017 - 762) / 6 = 42; the row starts at 1017 - 105.
    EXPECT_EQ(l.v, 42);
    for (const wxRect& r : {l.files, l.fullView, l.scale, l.save, l.freeze, l.report})
        EXPECT_EQ(r.GetSize(), wxSize(160, 64));
    EXPECT_EQ(l.save.y, 912);
    EXPECT_EQ(l.skinCompare, wxRect(508, 807, 184, 44));   // left-aligned with the full-view button
    EXPECT_EQ(l.hairCompare, wxRect(1225, 807, 184, 44));  // right-aligned with the freeze button
    EXPECT_EQ(l.hairCompare.GetRight(), l.freeze.GetRight());

    EXPECT_EQ(l.noDevice, wxRect(701, 314, 518, 218));
    EXPECT_EQ(l.retry, wxRect(1121, 532, 98, 36));
    EXPECT_EQ(l.waiting, wxRect(760, 273, 400, 300));
    EXPECT_EQ(l.scaleMenu, wxRect(1376, 726, 36, 36));  // inside the view's lower right corner
    EXPECT_EQ(l.titleStrip, wxRect(0, 0, 1844, 42));
    EXPECT_EQ(l.minimize, wxRect(1844, 0, 38, 38));
    EXPECT_EQ(l.close, wxRect(1882, 0, 38, 38));
    EXPECT_EQ(l.small, wxRect(2, 2, 145, 34));
}

TEST(StationLayout, NarrowScreenButtonsTouch) {
    const StationLayout l = ComputeStationLayout(Screen(960, 720, 0), Controls());
    EXPECT_EQ(l.g, 0);
    EXPECT_EQ(RowX(l), (std::vector<int>{0, 160, 320, 480, 640, 800}));
    EXPECT_EQ(l.report.GetRight() + 1, 960);
    // Without a panel the window takes the whole screen.
    EXPECT_EQ(l.window, wxRect(0, 0, 960, 720));
}

TEST(StationLayout, HalfPixelsTruncateAndTheRowStaysSixtyFourHigh) {
    // 1366 x 768 with a 40-pixel panel: H = 705, view bottom 528, v = 29, so
    // the row's top is 705 - 72.5 and its bottom 705 - 72.5 + 64.
    const StationLayout l = ComputeStationLayout(Screen(1366, 768, 40), Controls());
    EXPECT_EQ(l.view, wxRect(370, 58, 626, 470));
    EXPECT_EQ(l.v, 29);
    EXPECT_EQ(l.save.y, 632);
    EXPECT_EQ(l.save.height, 64);
    EXPECT_EQ(l.g, 36);
    EXPECT_EQ(l.skinCompare.y, 705 - 145);
}

TEST(StationLayout, RowFollowsTheViewBottomOnScreen) {
    // The row is measured from the view's bottom edge on the screen: a border
    // above the client area moves that edge down.
    StationLayoutInputs in = Controls();
    const plat::ScreenMetrics m = Screen(1024, 768, 0);  // H = 745, view bottom 558
    const StationLayout flush = ComputeStationLayout(m, in);
    in.clientTopOnScreen = 7;
    const StationLayout bordered = ComputeStationLayout(m, in);
    EXPECT_EQ(flush.v, (745 - 558) / 6);
    EXPECT_EQ(bordered.v, (745 - 565) / 6);
    EXPECT_NE(flush.save.y, bordered.save.y);
    EXPECT_EQ(flush.view, bordered.view);
}

TEST(StationLayout, SidePanelDoesNotTakeTheWindowHeight) {
    // A panel along the left edge is as high as the screen; subtracting its
    // height would leave the window none.
    const plat::ScreenMetrics m =
        plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(64, 0, 1856, 1080));
    ASSERT_TRUE(m.hasTaskbar);
    const StationLayout l = ComputeStationLayout(m, Controls());
    EXPECT_EQ(l.window, wxRect(0, 0, 1920, 1080));
    // A top panel counts like a bottom one.
    const StationLayout top = ComputeStationLayout(
        plat::ComputeScreenMetrics(wxRect(0, 0, 1920, 1080), wxRect(0, 30, 1920, 1050)), Controls());
    EXPECT_EQ(top.window, wxRect(0, 0, 1920, 1050));
}

TEST(StationLayout, CaptionPerLanguage) {
    EXPECT_EQ(StationCaptionRect(1920, 0), wxRect(860, 2, 240, 36));
    EXPECT_EQ(StationCaptionRect(1920, 1), wxRect(860, 2, 240, 36));
    EXPECT_EQ(StationCaptionRect(1920, 2), wxRect(820, 2, 280, 36));
    EXPECT_EQ(StationCaptionRect(1920, 3), wxRect(820, 2, 280, 36));
    EXPECT_TRUE(StationCaptionRect(1920, 4).IsEmpty());
    EXPECT_TRUE(StationCaptionRect(1920, -1).IsEmpty());
}

TEST(StationFiles, CustomerNamesThatAreNotFolderNamesGetSafeOnes) {
    // Usable names are kept as they are, so existing folders still match.
    EXPECT_EQ(ImageFolderName(wxString::FromUTF8("张三")), wxString::FromUTF8("张三"));
    EXPECT_EQ(ImageFolderName("..a"), "..a");
    EXPECT_EQ(ImageFolderName("a b\\c"), "a b\\c");
    // Names that would leave the image root or name no folder.
    EXPECT_EQ(ImageFolderName("a/b"), "a_b");
    EXPECT_EQ(ImageFolderName("../../etc"), ".._.._etc");
    EXPECT_EQ(ImageFolderName("/"), "_");
    EXPECT_EQ(ImageFolderName(""), "_");
    EXPECT_EQ(ImageFolderName("."), "__");
    EXPECT_EQ(ImageFolderName(".."), "___");
    for (const char* bad : {"", ".", "..", "/", "a/b", "../x"}) {
        const wxString name = ImageFolderName(bad);
        EXPECT_FALSE(name.empty() || name == "." || name == ".." || name.Contains("/")) << bad;
    }
}

TEST(StationFiles, SnapshotNameAndBmpSize) {
    std::tm t{};
    t.tm_year = 2014 - 1900;
    t.tm_mon = 10;
    t.tm_mday = 27;
    t.tm_hour = 9;
    t.tm_min = 30;
    t.tm_sec = 5;
    EXPECT_EQ(SnapshotFileName(t), "20141127093005.bmp");
    t.tm_year = 2025 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 1;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 59;
    EXPECT_EQ(SnapshotFileName(t), "20250101235959.bmp");
    // Rows are padded to four bytes.
    EXPECT_EQ(Bmp24FileSize(640, 480), 54u + 1920u * 480u);
    EXPECT_EQ(Bmp24FileSize(3, 2), 54u + 12u * 2u);
    EXPECT_EQ(Bmp24FileSize(1, 1), 58u);
}

TEST(StationLayout, FullViewFillsTheClientAreaBelowTheStrip) {
    const struct {
        wxRect client, view;
    } cases[] = {
        // Wider than 4:3: the area's height at 1.3 times it (1300 only in single precision).
        {wxRect(0, 0, 1920, 1040), wxRect(310, 40, 1300, 1000)},
        // Taller than 4:3: the full width at 4:3, centred down the area.
        {wxRect(0, 0, 1024, 1000), wxRect(0, 136, 1024, 768)},
        // Exactly 4:3 counts as wide; 750 x 1.3f is 974.99996, truncated.
        {wxRect(0, 0, 1000, 790), wxRect(13, 40, 974, 750)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.client.width);
        EXPECT_EQ(ComputeFullViewRect(c.client), c.view);
    }
}
