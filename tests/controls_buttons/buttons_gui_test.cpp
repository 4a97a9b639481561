// The image push button and the captioned bitmap button in real windows.
#include <gtest/gtest.h>
#include <wx/dcmemory.h>
#include <wx/mstream.h>
#include <wx/tooltip.h>
#include <wx/uiaction.h>

#include "app/QuillmarshApp.h"
#include "controls/GdipButton.h"
#include "controls/ImgButton.h"
#include "controls_helpers.h"

namespace {

const wxColour kParent(0, 128, 0);

// A picture whose left half is opaque `colour` and right half fully transparent.
CGdiPlusBitmapResource* HalfPicture(const wxColour& colour, int w, int h) {
    wxImage img(w, h);
    img.SetRGB(wxRect(0, 0, w, h), colour.Red(), colour.Green(), colour.Blue());
    img.InitAlpha();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.SetAlpha(x, y, x < w / 2 ? 255 : 0);
    wxMemoryOutputStream png;
    img.SaveFile(png, wxBITMAP_TYPE_PNG);
    std::vector<unsigned char> bytes(png.GetSize());
    png.CopyTo(bytes.data(), bytes.size());
    auto* res = new CGdiPlusBitmapResource;
    res->LoadFromMemory(bytes.data(), bytes.size());
    return res;
}

struct CameraFlags {
    CameraFlags(int usb, int net) {
        theApp.m_bUsbCamera = usb;
        theApp.m_bNetCamera = net;
    }
    ~CameraFlags() {
        theApp.m_bUsbCamera = 0;
        theApp.m_bNetCamera = 0;
    }
};

// The buttons are members of their window, as in the dialogs.
struct GdipFrame : PaintedFrame {
    GdipFrame() : PaintedFrame(kParent, wxSize(300, 200)) {}
    CGdipButton btn;
};

class GdipButtonTest : public ::testing::Test {
protected:
    GdipButtonTest() : frame(new GdipFrame), btn(frame->btn) {}
    void SetUp() override {
        frame->Show();
        ASSERT_TRUE(btn.Create(frame, 1004, wxRect(20, 30, 80, 40), "", 0));
        btn.Bind(wxEVT_BUTTON, [this](wxCommandEvent& e) {
            ++clicks;
            lastId = e.GetId();
        });
    }
    void TearDown() override {
        frame->Destroy();
        Pump(20);
    }
    void MakeToggle() {
        btn.m_pStdImage = HalfPicture(wxColour(200, 0, 0), 80, 40);
        btn.m_bHasAltImage = TRUE;
        btn.m_pAltImage = HalfPicture(wxColour(0, 0, 200), 80, 40);
        btn.EnableToggle(TRUE);
    }
    void Press(const wxPoint& pt = wxPoint(10, 10)) {
        SendMouse(&btn, wxEVT_LEFT_DOWN, pt);
        SendMouse(&btn, wxEVT_LEFT_UP, pt);
    }
    wxImage OnScreen() {
        Pump(50);
        return ShownArea(frame, btn.GetRect());
    }

    GdipFrame* frame;
    CGdipButton& btn;
    int clicks = 0;
    int lastId = 0;
};

}  // namespace

TEST_F(GdipButtonTest, PicturesAreComposedOverWhatTheParentShows) {
    btn.m_pStdImage = HalfPicture(wxColour(200, 100, 0), 160, 20);   // scaled to 80 x 40
    Pump(50);
    frame->Refresh();
    ASSERT_TRUE(PumpUntil([&] { return btn.m_bImagesBuilt != 0; }));
    const wxImage normal = btn.m_dcNormal.ConvertToImage();
    ASSERT_EQ(normal.GetSize(), wxSize(80, 40));
    EXPECT_TRUE(Near(normal, 5, 20, wxColour(200, 100, 0)));
    EXPECT_TRUE(Near(normal, 70, 20, kParent));   // transparent half shows the parent
    EXPECT_TRUE(Near(normal, 70, 0, kParent));

    const wxImage hover = btn.m_dcHover.ConvertToImage();
    EXPECT_TRUE(Near(hover, 5, 20, wxColour(223, 118, 13)));
    EXPECT_TRUE(Near(hover, 70, 20, kParent));

    const wxImage grey = btn.m_dcDisabled.ConvertToImage();
    EXPECT_TRUE(Near(grey, 5, 20, wxColour(119, 119, 119)));   // 0.30*200 + 0.59*100
    EXPECT_TRUE(Near(grey, 70, 20, kParent));

    const wxImage pressed = btn.m_dcPressed.ConvertToImage();
    EXPECT_TRUE(Near(pressed, 0, 20, kParent));   // moved right by one
    EXPECT_TRUE(Near(pressed, 1, 20, wxColour(200, 100, 0)));
    EXPECT_TRUE(Near(pressed, 38, 20, wxColour(200, 100, 0)));
    EXPECT_TRUE(Near(pressed, 43, 20, kParent));
    EXPECT_TRUE(Near(pressed, 5, 0, kParent));    // and down by one

    EXPECT_FALSE(btn.m_dcAltNormal.IsOk());   // no alternate image requested
    EXPECT_EQ(btn.m_pCurrentDC, &btn.m_dcNormal);

    // What the window shows is the normal picture.
    const wxImage shown = OnScreen();
    EXPECT_TRUE(Near(shown, 5, 20, wxColour(200, 100, 0)));
    EXPECT_TRUE(Near(shown, 70, 20, kParent));
}

TEST_F(GdipButtonTest, ToggleWithoutCameraKeepsStateButStillClicks) {
    MakeToggle();
    Pump(50);
    ASSERT_TRUE(PumpUntil([&] { return btn.m_bImagesBuilt != 0; }));
    CameraFlags none(0, 0);
    Press();
    Press();
    EXPECT_EQ(btn.m_bToggled, FALSE);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(lastId, 1004);

    // Held down: the last picture stays on screen, not the pressed one.
    const wxImage before = OnScreen();
    SendMouse(&btn, wxEVT_LEFT_DOWN, wxPoint(10, 10));
    const wxImage held = OnScreen();
    SendMouse(&btn, wxEVT_LEFT_UP, wxPoint(10, 10));
    EXPECT_TRUE(Near(held, 0, 20, wxColour(before.GetRed(0, 20), before.GetGreen(0, 20), before.GetBlue(0, 20))));
    EXPECT_FALSE(Near(held, 0, 20, kParent));
}

TEST_F(GdipButtonTest, ToggleWithACameraFlipsOncePerPress) {
    MakeToggle();
    Pump(50);
    ASSERT_TRUE(PumpUntil([&] { return btn.m_bImagesBuilt != 0; }));
    {
        CameraFlags usb(1, 0);
        SendMouse(&btn, wxEVT_LEFT_DOWN, wxPoint(10, 10));
        EXPECT_EQ(btn.m_bToggled, TRUE);
        // Repaints while held do not flip again; the alternate pressed picture shows.
        const wxImage held = OnScreen();
        EXPECT_TRUE(Near(held, 0, 20, kParent));
        EXPECT_TRUE(Near(held, 5, 20, wxColour(0, 0, 200)));
        EXPECT_EQ(btn.m_bToggled, TRUE);
        SendMouse(&btn, wxEVT_LEFT_UP, wxPoint(10, 10));
        EXPECT_TRUE(Near(OnScreen(), 0, 20, wxColour(0, 0, 200)));
    }
    {
        CameraFlags net(0, 1);
        Press();
        EXPECT_EQ(btn.m_bToggled, FALSE);
        EXPECT_TRUE(Near(OnScreen(), 0, 20, wxColour(200, 0, 0)));
    }
    EXPECT_EQ(clicks, 2);
}

TEST_F(GdipButtonTest, DoubleClickActsAsASecondPress) {
    MakeToggle();
    CameraFlags usb(1, 0);
    // As GTK reports it: the second press arrives both as a press and a double click.
    SendMouse(&btn, wxEVT_LEFT_DOWN, wxPoint(10, 10));
    SendMouse(&btn, wxEVT_LEFT_UP, wxPoint(10, 10));
    SendMouse(&btn, wxEVT_LEFT_DOWN, wxPoint(10, 10));
    SendMouse(&btn, wxEVT_LEFT_DCLICK, wxPoint(10, 10));
    SendMouse(&btn, wxEVT_LEFT_UP, wxPoint(10, 10));
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(btn.m_bToggled, FALSE);
    // A double click reported without its press still presses.
    SendMouse(&btn, wxEVT_LEFT_DOWN, wxPoint(10, 10));
    SendMouse(&btn, wxEVT_LEFT_UP, wxPoint(10, 10));
    SendMouse(&btn, wxEVT_LEFT_DCLICK, wxPoint(10, 10));
    SendMouse(&btn, wxEVT_LEFT_UP, wxPoint(10, 10));
    EXPECT_EQ(clicks, 4);
    EXPECT_EQ(btn.m_bToggled, FALSE);

    // With the real pointer.
    Pump(50);
    wxUIActionSimulator sim;
    sim.MouseMove(btn.GetScreenRect().GetPosition() + wxPoint(10, 10));
    Pump(50);
    sim.MouseDblClick();
    EXPECT_TRUE(PumpUntil([&] { return clicks == 6; }));
    Pump(100);
    EXPECT_EQ(clicks, 6);
    EXPECT_EQ(btn.m_bToggled, FALSE);
}

TEST_F(GdipButtonTest, ReleaseOutsideIsNoClickAndPlainButtonNeverToggles) {
    btn.m_pStdImage = HalfPicture(wxColour(200, 0, 0), 80, 40);
    btn.EnableToggle(TRUE);   // no alternate image: ignored
    EXPECT_EQ(btn.m_bToggleButton, FALSE);
    CameraFlags usb(1, 0);
    Press();
    EXPECT_EQ(btn.m_bToggled, FALSE);
    EXPECT_EQ(clicks, 1);
    SendMouse(&btn, wxEVT_LEFT_DOWN, wxPoint(10, 10));
    SendMouse(&btn, wxEVT_MOTION, wxPoint(200, 10));
    EXPECT_FALSE(btn.IsPressed());
    SendMouse(&btn, wxEVT_LEFT_UP, wxPoint(200, 10));
    EXPECT_EQ(clicks, 1);
}

TEST_F(GdipButtonTest, OwnerWritesToggleStateAndDisabledFlag) {
    MakeToggle();
    Pump(50);
    ASSERT_TRUE(PumpUntil([&] { return btn.m_bImagesBuilt != 0; }));
    btn.m_bToggled = TRUE;
    btn.Refresh();
    EXPECT_TRUE(Near(OnScreen(), 5, 20, wxColour(0, 0, 200)));
    btn.m_bToggled = FALSE;
    btn.Refresh();
    EXPECT_TRUE(Near(OnScreen(), 5, 20, wxColour(200, 0, 0)));
    btn.m_bDisabled = TRUE;
    btn.Refresh();
    EXPECT_TRUE(Near(OnScreen(), 5, 20, wxColour(60, 60, 60)));
    // Disabled, a press changes nothing even with a camera.
    CameraFlags usb(1, 0);
    Press();
    EXPECT_EQ(btn.m_bToggled, FALSE);
}

TEST_F(GdipButtonTest, HoverFollowsThePointerAndTooltipNeedsText) {
    btn.m_pStdImage = HalfPicture(wxColour(100, 100, 100), 80, 40);
    Pump(50);
    SendMouse(&btn, wxEVT_MOTION, wxPoint(5, 5));
    EXPECT_EQ(btn.m_bHover, TRUE);
    EXPECT_TRUE(Near(OnScreen(), 5, 20, wxColour(118, 118, 118)));
    EXPECT_EQ(btn.m_pToolTip, nullptr);   // no text: no tooltip
    SendMouse(&btn, wxEVT_LEAVE_WINDOW, wxPoint(-1, -1));
    EXPECT_EQ(btn.m_bHover, FALSE);
    EXPECT_EQ(btn.m_bTracking, FALSE);
    EXPECT_TRUE(Near(OnScreen(), 5, 20, wxColour(100, 100, 100)));

    btn.SetToolTipText("", TRUE);
    EXPECT_EQ(btn.m_pToolTip, nullptr);
    btn.SetToolTipText("Freeze", TRUE);
    ASSERT_NE(btn.m_pToolTip, nullptr);
    EXPECT_EQ(btn.m_pToolTip->GetTip(), "Freeze");
    SendMouse(&btn, wxEVT_MOTION, wxPoint(5, 5));   // hover makes it anew with the same text
    ASSERT_NE(btn.GetToolTip(), nullptr);
    EXPECT_EQ(btn.GetToolTip()->GetTip(), "Freeze");
}

TEST_F(GdipButtonTest, LoadsTheProgramsPngsAndMarksAnAlternateEvenWhenMissing) {
    EXPECT_TRUE(btn.LoadStdImage(166, "PNG"));
    EXPECT_FALSE(btn.LoadAltImage(99999, "PNG"));
    EXPECT_EQ(btn.m_bHasAltImage, TRUE);
    btn.EnableToggle(TRUE);
    EXPECT_EQ(btn.m_bToggleButton, TRUE);
    Pump(50);
    ASSERT_TRUE(PumpUntil([&] { return btn.m_bImagesBuilt != 0; }));
    EXPECT_TRUE(btn.m_dcAltNormal.IsOk());   // the background alone
}

// ---- captioned bitmap button ----

namespace {

wxBitmap Face(const wxColour& colour) {
    wxImage img(96, 28);
    img.SetRGB(wxRect(0, 0, 96, 28), colour.Red(), colour.Green(), colour.Blue());
    return wxBitmap(img);
}

wxImage Render(CImgButton& b, UINT state) {
    wxBitmap out(96, 28, 24);
    wxMemoryDC dc(out);
    b.DrawItem(dc, wxRect(0, 0, 96, 28), state);
    dc.SelectObject(wxNullBitmap);
    return out.ConvertToImage();
}

struct ImgFrame : PaintedFrame {
    ImgFrame() : PaintedFrame(kParent, wxSize(300, 200)) {}
    CImgButton btn;
};

class ImgButtonTest : public ::testing::Test {
protected:
    ImgButtonTest() : frame(new ImgFrame), btn(frame->btn) {}
    void SetUp() override {
        frame->Show();
        ASSERT_TRUE(btn.Create(frame, 1049, wxRect(10, 10, 50, 20), "Add", 0));
        btn.m_bitmap = Face(wxColour(40, 40, 40));
        btn.m_bitmapSel = Face(wxColour(90, 90, 90));
        btn.m_bitmapFocus = btn.m_bitmap;
        btn.SetTextColor(0xFFFFFF);
    }
    void TearDown() override {
        frame->Destroy();
        Pump(20);
    }
    ImgFrame* frame;
    CImgButton& btn;
};

}  // namespace

TEST_F(ImgButtonTest, CaptionIsCentredAndMovesByOnePixelWhenPressed) {
    btn.SizeToContent();
    EXPECT_EQ(btn.GetSize(), wxSize(96, 28));
    EXPECT_EQ(btn.GetPosition(), wxPoint(10, 10));

    EXPECT_TRUE(Near(Render(btn, 0), 1, 1, wxColour(40, 40, 40)));
    EXPECT_TRUE(Near(Render(btn, ODS_SELECTED), 1, 1, wxColour(90, 90, 90)));
    EXPECT_TRUE(Near(Render(btn, ODS_DISABLED), 1, 1, wxColour(40, 40, 40)));   // no disabled face

    // With one face for both states the caption's ink can be compared exactly.
    btn.m_bitmapSel = btn.m_bitmap;
    const wxImage released = Render(btn, 0);
    const wxImage pressed = Render(btn, ODS_SELECTED);
    const wxRect r = BoxOfColour(released, *wxWHITE, 60);
    const wxRect p = BoxOfColour(pressed, *wxWHITE, 60);
    ASSERT_FALSE(r.IsEmpty());
    EXPECT_EQ(p.GetPosition(), r.GetPosition() + wxPoint(1, 1));
    EXPECT_EQ(p.GetSize(), r.GetSize());
    // Centred: the ink lies within the measured text box around the middle.
    wxCoord w = 0, h = 0;
    btn.GetTextExtent("Add", &w, &h);
    const int x = 48 - w / 2, y = 14 - h / 2;
    EXPECT_GE(r.x, x);
    EXPECT_LE(r.GetRight(), x + w);
    EXPECT_GE(r.y, y);
    EXPECT_LE(r.GetBottom(), y + h);
    EXPECT_LE(std::abs((r.x + r.GetRight()) / 2 - 48), 2);
}

TEST_F(ImgButtonTest, CaptionColourAndEmbossedDisabledCaption) {
    btn.SetTextColor(RGB(255, 0, 0));
    const wxImage red = Render(btn, 0);
    EXPECT_FALSE(BoxOfColour(red, wxColour(255, 0, 0), 60).IsEmpty());

    const wxImage disabled = Render(btn, ODS_DISABLED);
    EXPECT_TRUE(BoxOfColour(disabled, wxColour(255, 0, 0), 60).IsEmpty());
    const wxRect hi = BoxOfColour(disabled, *wxWHITE, 30);
    const wxRect shadow = BoxOfColour(disabled, wxColour(160, 160, 160), 20);
    ASSERT_FALSE(hi.IsEmpty());
    ASSERT_FALSE(shadow.IsEmpty());
    // The highlight lies one pixel right and down of the shadow text.
    EXPECT_GE(hi.GetRight(), shadow.GetRight());
    EXPECT_GE(hi.GetBottom(), shadow.GetBottom());
    EXPECT_GE(hi.x, shadow.x);
}

TEST_F(ImgButtonTest, AmpersandUnderlinesAndEmptyCaptionDrawsOnlyTheFace) {
    btn.SetLabel("o");
    const wxRect plain = BoxOfColour(Render(btn, 0), *wxWHITE, 60);
    btn.SetLabel("&o");
    const wxRect marked = BoxOfColour(Render(btn, 0), *wxWHITE, 60);
    ASSERT_FALSE(plain.IsEmpty());
    ASSERT_FALSE(marked.IsEmpty());
    EXPECT_GT(marked.GetBottom(), plain.GetBottom());   // the underline below the glyph
    EXPECT_EQ(marked.y, plain.y);

    btn.SetLabel("");
    const wxImage empty = Render(btn, 0);
    EXPECT_TRUE(BoxOfColour(empty, *wxWHITE, 60).IsEmpty());
    EXPECT_TRUE(Near(empty, 48, 14, wxColour(40, 40, 40)));

    // A caption wider than the face spills over both edges alike.
    btn.SetLabel("A very long caption that does not fit");
    const wxRect wide = BoxOfColour(Render(btn, 0), *wxWHITE, 60);
    EXPECT_LE(wide.x, 1);
    EXPECT_GE(wide.GetRight(), 94);
}

TEST_F(ImgButtonTest, ClickWithThePointerAndFacesFromResources) {
    int clicks = 0;
    btn.Bind(wxEVT_BUTTON, [&](wxCommandEvent& e) {
        EXPECT_EQ(e.GetId(), 1049);
        ++clicks;
    });
    ASSERT_TRUE(btn.LoadBitmaps(243, 244, 243, 0));
    EXPECT_FALSE(btn.m_bitmapDisabled.IsOk());
    btn.SizeToContent();
    EXPECT_EQ(btn.GetSize(), wxSize(96, 28));
    Pump(50);
    wxUIActionSimulator sim;
    sim.MouseMove(btn.GetScreenRect().GetPosition() + wxPoint(20, 10));
    Pump(30);
    sim.MouseClick();
    EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
    // What the window shows carries the caption.
    Pump(50);
    const wxImage shown = ShownArea(frame, btn.GetRect());
    EXPECT_FALSE(BoxOfColour(shown, *wxWHITE, 40).IsEmpty());
    EXPECT_FALSE(btn.LoadBitmaps(99999));
}

TEST_F(ImgButtonTest, DestroyedWhileHeldLetsGoOfTheMouse) {
    auto* held = new CImgButton;
    ASSERT_TRUE(held->Create(frame, 1050, wxRect(10, 60, 50, 20), "Del", 0));
    Pump(30);
    SendMouse(held, wxEVT_LEFT_DOWN, wxPoint(5, 5));
    ASSERT_TRUE(held->IsPressed());
    ASSERT_EQ(wxWindow::GetCapture(), held);
    held->Destroy();   // a window still holding the capture fails a wx assertion here
    Pump(30);
    EXPECT_EQ(wxWindow::GetCapture(), nullptr);
}
