// The controls with the program's own pictures, together in one window over a
// painted background.  QUILL_SHOWCASE_SECONDS=n keeps the window up for a
// screenshot.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/QuillmarshApp.h"
#include "controls/GdipButton.h"
#include "controls/ImgButton.h"
#include "controls/MenuEx.h"
#include "controls_helpers.h"

namespace {
struct Showcase : PaintedFrame {
    Showcase() : PaintedFrame(wxColour(20, 60, 110), wxSize(640, 300), wxPoint(0, 0)) {}
    CGdipButton records, exit, freeze, scaleMenu;
    CImgButton add, close;
    CMenuEx* menu = nullptr;
    ~Showcase() override { delete menu; }
};
}  // namespace

TEST(Showcase, ProgramPicturesDrawOverTheWindowBackground) {
    auto* w = new Showcase;
    w->Show();
    ASSERT_TRUE(w->records.Create(w, 1002, wxRect(20, 20, 158, 63), "", 0));
    ASSERT_TRUE(w->exit.Create(w, 1004, wxRect(20, 100, 158, 63), "", 0));
    ASSERT_TRUE(w->freeze.Create(w, 1001, wxRect(200, 20, 80, 80), "", 0));
    ASSERT_TRUE(w->scaleMenu.Create(w, 1027, wxRect(300, 20, 48, 48), "", 0));
    ASSERT_TRUE(w->records.LoadStdImage(170, "PNG"));
    ASSERT_TRUE(w->exit.LoadStdImage(242, "PNG"));
    ASSERT_TRUE(w->freeze.LoadStdImage(166, "PNG"));
    ASSERT_TRUE(w->freeze.LoadAltImage(140, "PNG"));
    w->freeze.EnableToggle(TRUE);
    ASSERT_TRUE(w->scaleMenu.LoadStdImage(215, "PNG"));
    w->exit.m_bDisabled = TRUE;

    ASSERT_TRUE(w->add.Create(w, 1049, wxRect(20, 200, 80, 20), "&Add", 0));
    ASSERT_TRUE(w->close.Create(w, 1009, wxRect(130, 200, 80, 20), wxString::FromUTF8("关闭"), 0));
    for (CImgButton* b : {&w->add, &w->close}) {
        ASSERT_TRUE(b->LoadBitmaps(243, 244, 243, 0));
        b->SizeToContent();
        b->SetTextColor(0xFFFFFF);
    }
    w->close.Disable();

    w->menu = new CMenuEx;
    ASSERT_TRUE(w->menu->Create(FALSE, w, 0, 2, 4, 0x000000, 0xD2D2D2, 0xFFFFFF, 0xFBCC93, 0xFDF6E5, FALSE));
    w->menu->AddItem(MenuItemRecord(" 50  X ", 3584), 0, -1);
    w->menu->AddItem(MenuItemRecord(" 200 X ", 3585), 1, -1);
    const wxRect anchor = w->scaleMenu.GetScreenRect();
    w->menu->ShowMenu(anchor.x - 15 + 100, anchor.y + 60, TRUE);
    Pump(100);
    SendMouse(w->menu, wxEVT_MOTION, w->menu->RowRect(0).GetPosition() + wxPoint(3, 3));
    SendMouse(&w->records, wxEVT_MOTION, wxPoint(5, 5));
    Pump(150);

    const wxImage shown = ShownArea(w, wxRect(w->GetClientSize()));
    // Each picture covers a good part of its button.
    for (wxWindow* b : std::initializer_list<wxWindow*>{&w->records, &w->exit, &w->freeze, &w->scaleMenu, &w->add}) {
        const wxImage part = shown.GetSubImage(b->GetRect());
        int drawn = 0;
        for (int y = 0; y < part.GetHeight(); ++y)
            for (int x = 0; x < part.GetWidth(); ++x)
                if (!Near(part, x, y, wxColour(20, 60, 110), 3)) ++drawn;
        EXPECT_GT(drawn, part.GetWidth() * part.GetHeight() / 10) << b->GetId();
    }
    // The disabled button is grey: its red, green and blue agree.
    const wxImage exitPart = shown.GetSubImage(w->exit.GetRect());
    int greyish = 0, coloured = 0;
    for (int y = 0; y < exitPart.GetHeight(); y += 3)
        for (int x = 0; x < exitPart.GetWidth(); x += 3) {
            const int r = exitPart.GetRed(x, y), g = exitPart.GetGreen(x, y), b = exitPart.GetBlue(x, y);
            if (r == 20 && g == 60 && b == 110) continue;   // background
            (std::abs(r - g) < 4 && std::abs(g - b) < 4) ? ++greyish : ++coloured;
        }
    EXPECT_GT(greyish, 10 * coloured + 10);

    if (const char* s = std::getenv("QUILL_SHOWCASE_SECONDS")) {
        shown.SaveFile(wxString(QUILL_BUILD_DIR) + "/showcase_window.png", wxBITMAP_TYPE_PNG);
        Pump(std::atoi(s) * 1000);
    }
    w->Destroy();
    Pump(20);
}
