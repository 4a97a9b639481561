// The popup menu window: rows, drawing, hover, choice and focus loss.
#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/uiaction.h>
#include <xcb/xcb.h>

#include <vector>

#include "controls/MenuEx.h"
#include "controls_helpers.h"

namespace {

const wxColour kOwner(30, 30, 30);
const wxColour kFrame(0x93, 0xCC, 0xFB);   // 0xFBCC93
const wxColour kRowFill(0x3B, 0x12, 0x22);   // 0x22123B
const wxColour kHoverFill(0x9A, 0x32, 0x57); // 0x57329A

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(g_pRootMenu, nullptr);
        owner = new PaintedFrame(kOwner, wxSize(400, 300), wxPoint(100, 100));
        owner->Show();
        owner->Bind(wxEVT_MENU, [this](wxCommandEvent& e) {
            commands.push_back(e.GetId());
            codes.push_back(e.GetInt());
        });
        owner->Bind(EVT_SUBMENU_CLOSED, [this](wxCommandEvent&) { ++closedToOwner; });
        menu = new CMenuEx;
        EXPECT_EQ(g_pRootMenu, menu);
    }
    void TearDown() override {
        delete menu;
        EXPECT_EQ(g_pRootMenu, nullptr);
        owner->Destroy();
        Pump(20);
    }
    // The magnification menu as the station window makes it.
    void CreateMagnification(BOOL swatch = FALSE) {
        ASSERT_TRUE(menu->Create(swatch, owner, 0, 2, 4, 0x000000, 0xD2D2D2, 0xFFFFFF, 0xFBCC93, 0xFDF6E5, FALSE));
        EXPECT_FALSE(menu->IsShown());
        menu->AddItem(MenuItemRecord(" 50  X ", 3584, TRUE), 0, -1);
        menu->AddItem(MenuItemRecord(" 200 X ", 3585, TRUE), 1, -1);
    }
    wxPoint RowCentre(int i) const { return menu->RowRect(i).GetPosition() + wxPoint(menu->RowRect(i).width / 2, menu->RowRect(i).height / 2); }
    wxImage Shown() {
        Pump(60);
        return ShownArea(menu, wxRect(menu->GetClientSize()));
    }

    PaintedFrame* owner = nullptr;
    CMenuEx* menu = nullptr;
    std::vector<int> commands, codes;
    int closedToOwner = 0;
};

}  // namespace

TEST_F(MenuTest, RowsGoWhereTheirPositionSays) {
    ASSERT_TRUE(menu->Create(FALSE, owner, 0, 2, 4, 0, 0xD2D2D2, 0xFFFFFF, 0xFBCC93, 0xFDF6E5, FALSE));
    menu->AddItem(MenuItemRecord("a", 1), 0, -1);
    menu->AddItem(MenuItemRecord("b", 2), 1, -1);
    menu->AddItem(MenuItemRecord("c", 3), 2, -1);
    menu->InsertItem(MenuItemRecord("first", 4), 0);
    menu->InsertItem(MenuItemRecord("last", 5), -1);
    menu->InsertItem(MenuItemRecord("beyond", 6), 99);
    menu->InsertItem(MenuItemRecord("second", 7), 1);
    std::vector<UINT> ids;
    for (const auto& n : menu->m_items) ids.push_back(n.nID);
    EXPECT_EQ(ids, (std::vector<UINT>{4, 7, 1, 2, 3, 5, 6}));
    EXPECT_EQ(menu->GetItemCount(), 7);
    EXPECT_EQ(menu->m_items[1].strText, "second");
    EXPECT_TRUE(menu->m_items[1].bEnabled);
    EXPECT_EQ(menu->m_items[1].pSubMenu, nullptr);

    // Geometry: rows stacked from the margin, window = rows + margin all round.
    wxCoord w = 0, h = 0;
    menu->GetTextExtent("beyond", &w, &h);
    EXPECT_EQ(menu->m_rcItem.GetPosition(), wxPoint(2, 2));
    EXPECT_GE(menu->m_rcItem.width, w + 8);
    EXPECT_EQ(menu->m_rcItem.height, 4 + h);
    EXPECT_EQ(menu->GetSize(), wxSize(menu->m_rcItem.width + 4, 7 * menu->m_rcItem.height + 4));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(menu->HitTest(RowCentre(i).x, RowCentre(i).y), i);
    EXPECT_EQ(menu->HitTest(1, 1), -1);   // margin
    EXPECT_EQ(menu->HitTest(2, 2), 0);
    EXPECT_EQ(menu->HitTest(2, 2 + menu->m_rcItem.height), 1);
    EXPECT_EQ(menu->HitTest(2 + menu->m_rcItem.width, 3), -1);
}

TEST_F(MenuTest, EmptyMenuHitsNothingAndSendsNothing) {
    ASSERT_TRUE(menu->Create(FALSE, owner, 0, 2, 4, 0, 0xD2D2D2, 0xFFFFFF, 0xFBCC93, 0xFDF6E5, FALSE));
    EXPECT_EQ(menu->GetItemCount(), 0);
    for (int y = -2; y < 20; ++y)
        for (int x = -2; x < 20; ++x) ASSERT_EQ(menu->HitTest(x, y), -1);
    menu->ShowMenu(300, 300, TRUE);
    Pump(50);
    SendMouse(menu, wxEVT_MOTION, wxPoint(3, 3));
    EXPECT_EQ(menu->m_nHoverItem, -1);
    SendMouse(menu, wxEVT_LEFT_DOWN, wxPoint(3, 3));
    SendMouse(menu, wxEVT_LEFT_UP, wxPoint(3, 3));
    EXPECT_TRUE(commands.empty());
    EXPECT_TRUE(menu->IsShown());
}

TEST_F(MenuTest, DrawsRowsOnTheFrameAndTheHoveredRowHighlighted) {
    CreateMagnification();
    menu->ShowMenu(300, 300, TRUE);
    EXPECT_TRUE(menu->IsShown());
    EXPECT_EQ(menu->GetScreenPosition(), wxPoint(300, 300));
    wxImage img = Shown();
    EXPECT_TRUE(Near(img, 1, 5, kFrame));
    EXPECT_TRUE(Near(img, 3, RowCentre(0).y, kRowFill));
    EXPECT_TRUE(Near(img, 3, RowCentre(1).y, kRowFill));
    EXPECT_FALSE(BoxOfColour(img, *wxWHITE, 60).IsEmpty());   // white row text

    SendMouse(menu, wxEVT_MOTION, RowCentre(1));
    EXPECT_EQ(menu->m_nHoverItem, 1);
    img = Shown();
    EXPECT_TRUE(Near(img, 3, RowCentre(0).y, kRowFill));
    EXPECT_TRUE(Near(img, 3, RowCentre(1).y, kHoverFill));
    // The hovered row's text is in the text colour (black) over the highlight.
    const wxRect row1 = menu->RowRect(1);
    EXPECT_FALSE(BoxOfColour(img.GetSubImage(row1), *wxBLACK, 40).IsEmpty());

    // Off the rows (into the margin) the highlight goes.
    SendMouse(menu, wxEVT_MOTION, wxPoint(1, 1));
    EXPECT_EQ(menu->m_nHoverItem, -1);
    EXPECT_TRUE(Near(Shown(), 3, RowCentre(1).y, kRowFill));
}

TEST_F(MenuTest, SwatchRowsKeepTheirColoursHoveredOrNot) {
    ASSERT_TRUE(menu->Create(TRUE, owner, 0, 2, 4, 0x000000, 0x808080, 0, 0xFBCC93, 0, FALSE));
    const char* names[] = {"red", "green", "blue", "white", "fifth"};
    for (int i = 0; i < 5; ++i) menu->AddItem(MenuItemRecord(names[i], 100 + i), i, -1);
    menu->ShowMenu(300, 300, TRUE);
    const wxColour expected[] = {*wxRED, *wxGREEN, *wxBLUE, *wxWHITE, kFrame};
    wxImage img = Shown();
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(Near(img, 3, RowCentre(i).y, expected[i])) << i;
    EXPECT_FALSE(BoxOfColour(img, wxColour(0x80, 0x80, 0x80), 30).IsEmpty());   // row text colour
    for (int i = 0; i < 5; ++i) {
        SendMouse(menu, wxEVT_MOTION, RowCentre(i));
        ASSERT_EQ(menu->m_nHoverItem, i);
        EXPECT_TRUE(Near(Shown(), 3, RowCentre(i).y, expected[i])) << "hovered " << i;
    }
}

TEST_F(MenuTest, ChoosingARowSendsOneCommandAndHides) {
    CreateMagnification();
    menu->ShowMenu(300, 300, TRUE);
    Pump(60);
    wxUIActionSimulator sim;
    const wxPoint target = menu->GetScreenPosition() + RowCentre(1);
    sim.MouseMove(target.x - 3, target.y);
    Pump(40);
    sim.MouseMove(target);
    Pump(40);
    EXPECT_EQ(menu->m_nHoverItem, 1);
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !commands.empty(); }));
    Pump(100);
    EXPECT_EQ(commands, std::vector<int>{3585});
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_FALSE(menu->IsShown());
    EXPECT_EQ(menu->m_nHoverItem, -1);
    EXPECT_EQ(closedToOwner, 0);   // the root menu tells no one it closed
    menu->SetCurSel(1);           // no effect
    EXPECT_FALSE(menu->IsShown());
}

TEST_F(MenuTest, DisabledRowsAreNotChosen) {
    CreateMagnification();
    menu->EnableItem("", 3584, FALSE);
    EXPECT_FALSE(menu->m_items[0].bEnabled);
    menu->EnableItem("", 9999, FALSE);   // unknown: nothing changes
    EXPECT_TRUE(menu->m_items[1].bEnabled);
    menu->ShowMenu(300, 300, TRUE);
    SendMouse(menu, wxEVT_MOTION, RowCentre(0));
    SendMouse(menu, wxEVT_LEFT_DOWN, RowCentre(0));
    SendMouse(menu, wxEVT_LEFT_UP, RowCentre(0));
    EXPECT_TRUE(commands.empty());
    EXPECT_TRUE(menu->IsShown());
    // A disabled hovered row shows its text in the disabled colour.
    EXPECT_FALSE(BoxOfColour(Shown().GetSubImage(menu->RowRect(0)), wxColour(0xD2, 0xD2, 0xD2), 30).IsEmpty());
    menu->EnableItem("", 3584, TRUE);
    SendMouse(menu, wxEVT_LEFT_UP, RowCentre(0));
    EXPECT_EQ(commands, std::vector<int>{3584});
}

TEST_F(MenuTest, ClickingAnotherWindowHidesWithoutCommand) {
    CreateMagnification();
    auto* other = new wxButton(owner, wxID_ANY, "other", wxPoint(10, 10), wxSize(100, 40));
    int otherClicks = 0;
    other->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++otherClicks; });
    menu->ShowMenu(300, 300, TRUE);
    Pump(60);
    SendMouse(menu, wxEVT_MOTION, RowCentre(0));
    EXPECT_EQ(CMenuEx::FocusedMenu(), menu);
    wxUIActionSimulator sim;
    sim.MouseMove(other->GetScreenRect().GetPosition() + wxPoint(20, 20));
    Pump(40);
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !menu->IsShown(); }));
    EXPECT_TRUE(PumpUntil([&] { return otherClicks == 1; }));   // the click itself goes through
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(menu->m_nHoverItem, -1);
    EXPECT_EQ(CMenuEx::FocusedMenu(), nullptr);
}

TEST_F(MenuTest, SubmenuOpensRightOfItsRowAndPassesItsChoiceUp) {
    CreateMagnification();
    auto* sub = new CMenuEx;
    EXPECT_EQ(g_pRootMenu, menu);   // only the first menu is the root
    ASSERT_TRUE(sub->Create(FALSE, menu, 0, 2, 4, 0, 0xD2D2D2, 0, 0xFBCC93, 0, FALSE));
    sub->AddItem(MenuItemRecord("deep", 4000), -1, -1);
    sub->AddItem(MenuItemRecord("deeper", 4001), -1, -1);
    menu->m_items[1].pSubMenu = sub;
    menu->RecalcLayout();
    const int plainWidth = menu->m_rcItem.width;
    EXPECT_TRUE(menu->HasItem(4001));
    EXPECT_FALSE(menu->HasItem(4002));
    menu->EnableItem("", 4001, FALSE);
    EXPECT_FALSE(sub->m_items[1].bEnabled);
    menu->EnableItem("", 4001, TRUE);

    menu->ShowMenu(300, 300, TRUE);
    Pump(60);
    wxUIActionSimulator sim;
    const wxPoint rowOnScreen = menu->GetScreenPosition() + RowCentre(1);
    sim.MouseMove(rowOnScreen);
    ASSERT_TRUE(PumpUntil([&] { return sub->IsShown(); }));
    EXPECT_EQ(menu->m_pOpenSubMenu, sub);
    const wxRect row = menu->RowRect(1);
    EXPECT_EQ(sub->GetScreenPosition(), wxPoint(300 + row.GetRight() + 1, 300 + row.y - 2));
    EXPECT_EQ(CMenuEx::FocusedMenu(), sub);
    EXPECT_TRUE(menu->IsShown());   // losing the focus to its submenu keeps it
    EXPECT_GT(plainWidth, 0);

    // Over the margin with the submenu open the highlight stays.
    SendMouse(menu, wxEVT_MOTION, wxPoint(1, 1));
    EXPECT_EQ(menu->m_nHoverItem, 1);

    // Choosing in the submenu reaches the root's owner once, and both hide.
    const wxPoint deep = sub->GetScreenPosition() + sub->RowRect(0).GetPosition() + wxPoint(5, 5);
    sim.MouseMove(deep);
    Pump(60);
    EXPECT_EQ(sub->m_nHoverItem, 0);
    sim.MouseClick();
    ASSERT_TRUE(PumpUntil([&] { return !commands.empty(); }));
    Pump(100);
    EXPECT_EQ(commands, std::vector<int>{4000});
    EXPECT_FALSE(sub->IsShown());
    EXPECT_FALSE(menu->IsShown());
    EXPECT_EQ(menu->m_pOpenSubMenu, nullptr);
}

TEST_F(MenuTest, HidingASubmenuTellsItsOwner) {
    CreateMagnification();
    auto* sub = new CMenuEx;
    ASSERT_TRUE(sub->Create(FALSE, owner, 0, 2, 4, 0, 0xD2D2D2, 0, 0xFBCC93, 0, FALSE));
    sub->ShowMenu(10, 10, TRUE);
    sub->ShowMenu(0, 0, FALSE);
    EXPECT_EQ(closedToOwner, 1);
    menu->ShowMenu(10, 10, TRUE);
    menu->ShowMenu(0, 0, FALSE);   // the root tells no one
    EXPECT_EQ(closedToOwner, 1);
    delete sub;
}

TEST_F(MenuTest, CommandsAreFoundInAnySubmenu) {
    CreateMagnification();
    CMenuEx* subs[2] = {new CMenuEx, new CMenuEx};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(subs[i]->Create(FALSE, menu, 0, 2, 4, 0, 0xD2D2D2, 0, 0xFBCC93, 0, FALSE));
        subs[i]->AddItem(MenuItemRecord("deep", 4000 + i), -1, -1);
        menu->m_items[i].pSubMenu = subs[i];   // owned by the menu from here on
    }
    // The second submenu has it although the first does not.
    EXPECT_TRUE(menu->HasItem(4001));
    EXPECT_FALSE(menu->HasItem(4002));
    menu->EnableItem("", 4001, FALSE);
    EXPECT_FALSE(subs[1]->m_items[0].bEnabled);
    EXPECT_TRUE(subs[0]->m_items[0].bEnabled);
}

namespace {

// Another program (an X connection of its own) moving the keyboard focus: to
// the window under the pointer, as without a window manager, or to a window
// of its own, shown for it.
struct OtherProgram {
    xcb_connection_t* conn = xcb_connect(nullptr, nullptr);
    ~OtherProgram() { xcb_disconnect(conn); }
    void Focus(bool ownWindow) {
        xcb_window_t target = XCB_INPUT_FOCUS_POINTER_ROOT;
        if (ownWindow) {
            const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
            const uint32_t overrideRedirect = 1;
            xcb_create_window(conn, XCB_COPY_FROM_PARENT, target = xcb_generate_id(conn), screen->root, 1500, 800, 100,
                              100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_OVERRIDE_REDIRECT,
                              &overrideRedirect);
            xcb_map_window(conn, target);
        }
        xcb_set_input_focus(conn, XCB_INPUT_FOCUS_POINTER_ROOT, target, XCB_CURRENT_TIME);
        xcb_flush(conn);
    }
};

}  // namespace

// The lit row goes out when the pointer leaves the menu.  The focus that
// followed the pointer into the menu keeps it open; another program taking
// the focus then closes it, with the pointer still over it.
TEST_F(MenuTest, LeavingPutsTheRowOutAndAnotherProgramTakingTheFocusCloses) {
    CreateMagnification();
    OtherProgram other;
    other.Focus(false);
    menu->ShowMenu(300, 300, TRUE);
    ASSERT_TRUE(PumpUntil([&] { return menu->IsShownOnScreen(); }));
    wxUIActionSimulator sim;
    const wxPoint row = menu->GetScreenPosition() + RowCentre(1);
    auto lightRow = [&] {
        sim.MouseMove(row.x - 3, row.y);
        sim.MouseMove(row);
        return PumpUntil([&] { return menu->m_nHoverItem == 1; });
    };
    ASSERT_TRUE(lightRow());
    sim.MouseMove(menu->GetScreenPosition() - wxPoint(40, 0));
    EXPECT_TRUE(PumpUntil([&] { return menu->m_nHoverItem == -1; }));

    ASSERT_TRUE(lightRow());
    EXPECT_TRUE(menu->IsShown());
    other.Focus(true);
    EXPECT_TRUE(PumpUntil([&] { return !menu->IsShown(); }));
    EXPECT_TRUE(commands.empty());
}
