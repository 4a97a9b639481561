// Picture operations and small pure helpers of the skinned controls.
#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/mstream.h>

#include "controls/GdipButton.h"
#include "controls/ImgButton.h"
#include "controls/MenuEx.h"

namespace {

wxImage Solid(int w, int h, unsigned char r, unsigned char g, unsigned char b, int alpha = -1) {
    wxImage img(w, h);
    img.SetRGB(wxRect(0, 0, w, h), r, g, b);
    if (alpha >= 0) {
        img.InitAlpha();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) img.SetAlpha(x, y, static_cast<unsigned char>(alpha));
    }
    return img;
}

}  // namespace

TEST(SkinPictures, HoverScalesByFivePercentAndLiftsEachChannel) {
    wxImage img(4, 1);
    img.SetRGB(0, 0, 0, 0, 0);
    img.SetRGB(1, 0, 100, 100, 100);
    img.SetRGB(2, 0, 200, 40, 10);
    img.SetRGB(3, 0, 250, 255, 243);
    img.InitAlpha();
    img.SetAlpha(0, 0, 0);
    img.SetAlpha(1, 0, 77);
    img.SetAlpha(2, 0, 200);
    img.SetAlpha(3, 0, 255);
    const wxImage hover = skin::HoverPicture(img);
    // c * 1.05 + 0.05 * 255, rounded and clamped.
    EXPECT_EQ(hover.GetRed(0, 0), 13);
    EXPECT_EQ(hover.GetRed(1, 0), 118);
    EXPECT_EQ(hover.GetRed(2, 0), 223);
    EXPECT_EQ(hover.GetGreen(2, 0), 55);
    EXPECT_EQ(hover.GetBlue(2, 0), 23);
    EXPECT_EQ(hover.GetRed(3, 0), 255);
    EXPECT_EQ(hover.GetGreen(3, 0), 255);
    EXPECT_EQ(hover.GetBlue(3, 0), 255);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(hover.GetAlpha(x, 0), img.GetAlpha(x, 0)) << x;
    // The source is left as it was.
    EXPECT_EQ(img.GetRed(1, 0), 100);
}

TEST(SkinPictures, DisabledIsLuminanceGreyWithAlphaKept) {
    wxImage img(3, 1);
    img.SetRGB(0, 0, 255, 0, 0);
    img.SetRGB(1, 0, 0, 255, 0);
    img.SetRGB(2, 0, 10, 200, 90);
    img.InitAlpha();
    img.SetAlpha(0, 0, 0);
    img.SetAlpha(1, 0, 128);
    img.SetAlpha(2, 0, 255);
    const wxImage grey = skin::GreyPicture(img);
    const int expected[] = {77, 150, 131};   // 0.30 R + 0.59 G + 0.11 B
    for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(grey.GetRed(x, 0), expected[x]) << x;
        EXPECT_EQ(grey.GetGreen(x, 0), expected[x]) << x;
        EXPECT_EQ(grey.GetBlue(x, 0), expected[x]) << x;
        EXPECT_EQ(grey.GetAlpha(x, 0), img.GetAlpha(x, 0)) << x;
    }
}

TEST(SkinPictures, ComposeBlendsOverBackgroundAndOffsetsThePressedPicture) {
    const wxImage background = Solid(6, 4, 0, 0, 200);
    wxImage picture = Solid(6, 4, 255, 255, 255, 255);
    picture.SetAlpha(0, 0, 0);     // fully transparent corner
    picture.SetAlpha(1, 0, 128);   // half
    const wxImage normal = skin::ComposePicture(background, picture, 0, 0, 6, 4);
    EXPECT_FALSE(normal.HasAlpha());
    EXPECT_EQ(normal.GetRed(0, 0), 0);
    EXPECT_EQ(normal.GetBlue(0, 0), 200);
    EXPECT_EQ(normal.GetRed(1, 0), 128);
    EXPECT_EQ(normal.GetBlue(1, 0), 228);
    EXPECT_EQ(normal.GetRed(5, 3), 255);

    // Pressed: moved one pixel right and down; the first row and column show
    // the background, the picture's last row and column are lost.
    const wxImage pressed = skin::ComposePicture(background, picture, 1, 1, 6, 4);
    for (int x = 0; x < 6; ++x) EXPECT_EQ(pressed.GetRed(x, 0), 0) << x;
    for (int y = 0; y < 4; ++y) EXPECT_EQ(pressed.GetRed(0, y), 0) << y;
    EXPECT_EQ(pressed.GetRed(1, 1), 0);     // the transparent corner moved here
    EXPECT_EQ(pressed.GetRed(2, 1), 128);   // the half-transparent pixel too
    EXPECT_EQ(pressed.GetRed(5, 3), 255);
}

TEST(SkinPictures, ComposeScalesThePictureToTheGivenSize) {
    const wxImage background = Solid(10, 6, 0, 0, 0);
    // Left half red, right half green, twice the target size.
    wxImage big(20, 12);
    big.SetRGB(wxRect(0, 0, 10, 12), 255, 0, 0);
    big.SetRGB(wxRect(10, 0, 10, 12), 0, 255, 0);
    const wxImage out = skin::ComposePicture(background, big, 0, 0, 10, 6);
    EXPECT_EQ(out.GetWidth(), 10);
    EXPECT_EQ(out.GetHeight(), 6);
    EXPECT_GT(out.GetRed(1, 3), 200);
    EXPECT_LT(out.GetGreen(1, 3), 50);
    EXPECT_GT(out.GetGreen(8, 3), 200);
    EXPECT_LT(out.GetRed(8, 3), 50);

    // A smaller picture is stretched over the whole area.
    const wxImage small = Solid(2, 2, 9, 9, 9);
    const wxImage stretched = skin::ComposePicture(background, small, 0, 0, 10, 6);
    EXPECT_EQ(stretched.GetRed(0, 0), 9);
    EXPECT_EQ(stretched.GetRed(9, 5), 9);
}

TEST(SkinPictures, ResourceBitmapDecodesPngBytesAndRejectsOthers) {
    wxImage img = Solid(3, 2, 1, 2, 3, 100);
    wxMemoryOutputStream png;
    ASSERT_TRUE(img.SaveFile(png, wxBITMAP_TYPE_PNG));
    std::vector<unsigned char> bytes(png.GetSize());
    png.CopyTo(bytes.data(), bytes.size());

    CGdiPlusBitmapResource res;
    ASSERT_TRUE(res.LoadFromMemory(bytes.data(), bytes.size()));
    ASSERT_TRUE(res.IsLoaded());
    EXPECT_EQ(res.Image()->GetWidth(), 3);
    EXPECT_TRUE(res.Image()->HasAlpha());
    EXPECT_EQ(res.Image()->GetAlpha(2, 1), 100);

    const unsigned char junk[] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(res.LoadFromMemory(junk, sizeof junk));
    EXPECT_FALSE(res.IsLoaded());   // the earlier picture is dropped
    EXPECT_FALSE(res.LoadFromMemory(bytes.data(), 0));
}

TEST(SkinPictures, ResourceBitmapFindsTheProgramsPngs) {
    CGdiPlusBitmapResource res;
    EXPECT_TRUE(res.Load(170, "PNG"));
    EXPECT_TRUE(res.Load(215, "png"));
    EXPECT_FALSE(res.Load(170, "BITMAP"));
    EXPECT_FALSE(res.IsLoaded());
    // An id nothing is supplied under finds nothing.
    EXPECT_FALSE(res.Load(1170, "PNG"));
}

TEST(SkinCaption, AmpersandMarksTheUnderlinedCharacter) {
    int underline = 99;
    EXPECT_EQ(skin::StripAccessKey("&Add", &underline), "Add");
    EXPECT_EQ(underline, 0);
    EXPECT_EQ(skin::StripAccessKey("Sa&ve", &underline), "Save");
    EXPECT_EQ(underline, 2);
    EXPECT_EQ(skin::StripAccessKey("A && B", &underline), "A & B");
    EXPECT_EQ(underline, -1);
    EXPECT_EQ(skin::StripAccessKey("End&", &underline), "End");
    EXPECT_EQ(underline, -1);
    EXPECT_EQ(skin::StripAccessKey(wxString::FromUTF8("&删除"), &underline), wxString::FromUTF8("删除"));
    EXPECT_EQ(underline, 0);
    EXPECT_EQ(skin::StripAccessKey("", &underline), "");
}

TEST(SkinMenuShape, RoundRectCutsOnlyTheCorners) {
    // The magnification menu's margin of 2 rounds each corner by one pixel.
    const wxRegion small = skin::RoundRectRegion(40, 30, 2, 2);
    EXPECT_FALSE(small.Contains(0, 0));
    EXPECT_FALSE(small.Contains(39, 0));
    EXPECT_FALSE(small.Contains(0, 29));
    EXPECT_FALSE(small.Contains(39, 29));
    EXPECT_TRUE(small.Contains(1, 0));
    EXPECT_TRUE(small.Contains(0, 1));
    EXPECT_TRUE(small.Contains(38, 29));
    EXPECT_TRUE(small.Contains(20, 15));
    EXPECT_EQ(small.GetBox(), wxRect(0, 0, 40, 30));

    const wxRegion big = skin::RoundRectRegion(40, 30, 16, 16);
    EXPECT_FALSE(big.Contains(1, 1));
    EXPECT_TRUE(big.Contains(8, 0));
    EXPECT_TRUE(big.Contains(0, 8));
    EXPECT_TRUE(big.Contains(4, 4));
    EXPECT_FALSE(big.Contains(38, 28));

    EXPECT_TRUE(skin::RoundRectRegion(10, 10, 0, 0).Contains(0, 0));
}

TEST(SkinMenuShape, SwatchRowsAreRedGreenBlueWhiteThenUnfilled) {
    COLORREF c = 0x123456;
    ASSERT_TRUE(skin::SwatchColour(0, &c));
    EXPECT_EQ(c, RGB(255, 0, 0));
    ASSERT_TRUE(skin::SwatchColour(1, &c));
    EXPECT_EQ(c, RGB(0, 255, 0));
    ASSERT_TRUE(skin::SwatchColour(2, &c));
    EXPECT_EQ(c, RGB(0, 0, 255));
    ASSERT_TRUE(skin::SwatchColour(3, &c));
    EXPECT_EQ(c, RGB(255, 255, 255));
    EXPECT_FALSE(skin::SwatchColour(4, &c));
    EXPECT_FALSE(skin::SwatchColour(-1, &c));
}
