#pragma once
// A small self-drawn popup menu: a borderless window with rounded corners
// showing a column of text rows.  The row under the pointer is highlighted; a
// click on an enabled row sends the row's command to the owner and hides the
// menu.  Rows are chosen with the mouse only.
//
// Command delivery: the owner's event handler receives a wxCommandEvent of
// type wxEVT_MENU whose id is the row's command id and whose int is 0 (the
// notification code), synchronously, once per choice; the event object is the
// menu that was clicked.  Bind it with Bind(wxEVT_MENU, handler, id).
//
// A menu that hides tells its owner with EVT_SUBMENU_CLOSED (a wxCommandEvent,
// the message WM_SUBMENU_CLOSED), except the root menu g_pRootMenu.  A
// submenu's owner is its parent menu.
//
// Focus: a popup never takes the keyboard focus here, so "the menu has the
// focus" is kept by the menus themselves: the menu last shown or clicked has
// it, and loses it when the pointer is pressed in any other window of the
// program or the program is deactivated; a menu losing it hides unless a
// submenu of it is open.
#include <vector>

#include <wx/event.h>
#include <wx/font.h>
#include <wx/region.h>

#include "platform/WinTypes.h"
#include "platform/ui/ModalPointer.h"

constexpr UINT WM_SUBMENU_CLOSED = WM_USER + 2013;
wxDECLARE_EVENT(EVT_SUBMENU_CLOSED, wxCommandEvent);

class CMenuEx;

// One row as the caller gives it.
struct MenuItemRecord {
    wxString strText;
    UINT nID = 0;
    BOOL bEnabled = TRUE;
    MenuItemRecord() = default;
    MenuItemRecord(const wxString& text, UINT id, BOOL enabled = TRUE) : strText(text), nID(id), bEnabled(enabled) {}
};

// One row as the menu keeps it.  A submenu is owned by the menu (deleted with
// it) and must be created with this menu as its owner.
struct _MENU_NODE {
    wxString strText;
    UINT nID = 0;
    BOOL bEnabled = TRUE;
    CMenuEx* pSubMenu = nullptr;
};

class CMenuEx : public plat::PopupWindow {
public:
    CMenuEx();
    ~CMenuEx() override;

    // Inserts a row (without submenu) at `pos`; a negative position or one
    // beyond the count appends.  Always TRUE.
    virtual BOOL InsertItem(MenuItemRecord item, int pos);
    // Measures the rows, sizes and shapes the window, and redraws it.
    virtual void RecalcLayout();
    // The first row whose rectangle holds the client point, or -1.
    virtual int HitTest(int x, int y);
    // Creates the (hidden) window.  `textColour` is the text of an enabled
    // highlighted row; `textDisabledColour` that of a disabled highlighted row
    // and, in swatch mode, of every row; `aux1`/`aux2` are kept unused.
    virtual BOOL Create(BOOL swatchMode, wxWindow* owner, UINT id, int margin, int indent, COLORREF textColour,
                        COLORREF textDisabledColour, COLORREF aux1, COLORREF frameColour, COLORREF aux2,
                        BOOL invertHoverText);
    // Shows the menu with its top-left corner at screen point (x, y), or
    // hides it (and an open submenu).
    virtual void ShowMenu(int x, int y, BOOL show);
    // Whether a row of this menu or of a submenu has command `id`.
    virtual BOOL HasItem(UINT id);
    virtual int GetItemCount();
    // Copies the font for the rows (an invalid font changes nothing), passes it
    // on to the submenus and lays the rows out again.
    virtual void SetFont(const wxFont* font, BOOL redraw);
    // InsertItem; `extra` is not read.
    virtual BOOL AddItem(MenuItemRecord item, int pos, int extra);
    // Enables or disables the first row with `id`, or passes the call to the
    // first submenu that has it.  `text` is only passed on.
    virtual void EnableItem(wxString text, UINT id, BOOL enable);
    // Has no effect.
    void SetCurSel(int index);

    // Rectangle of row i in client coordinates.
    wxRect RowRect(int i) const;
    // The menu that has the focus, if any.
    static CMenuEx* FocusedMenu();

    std::vector<_MENU_NODE> m_items;
    UINT m_nID = 0;
    wxWindow* m_pOwner = nullptr;
    wxFont m_font;
    COLORREF m_clrFrame = 0;
    COLORREF m_clrText = 0;
    COLORREF m_clrTextDisabled = 0;
    COLORREF m_clrAux1 = 0;
    COLORREF m_clrAux2 = 0;
    BOOL m_bInvertHoverText = FALSE;
    int m_nMargin = 0;
    int m_nIndent = 0;
    int m_nHoverItem = -1;
    CMenuEx* m_pOpenSubMenu = nullptr;
    wxRect m_rcItem;   // the first row; row i lies i row heights below
    BOOL m_bSwatchMode = FALSE;

protected:
    virtual void OnSubMenuClosed(wxCommandEvent& event);
    virtual void OnPaint(wxPaintEvent& event);
    virtual void OnKillFocus();
    virtual void OnMouseMove(wxMouseEvent& event);
    void OnMouseLeave(wxMouseEvent& event);
    virtual void OnLButtonUp(wxMouseEvent& event);
    // A row's command: forwarded to the owner, then the menu hides.
    virtual void OnCommand(wxCommandEvent& event);

private:
    void DrawBackground(wxDC& dc);
    void DrawHoverRow(wxDC& dc);
    void HideWindow();
    wxFont RowFont() const;

    static void GiveFocus(CMenuEx* menu);
    friend class MenuFocusFilter;
};

extern CMenuEx* g_pRootMenu;

namespace skin {
// The window region of a width x height rectangle with corners rounded by an
// ellipse of ellipseW x ellipseH.
wxRegion RoundRectRegion(int width, int height, int ellipseW, int ellipseH);
// Fill of row `row` in swatch mode; false for rows past the four swatches.
bool SwatchColour(int row, COLORREF* colour);
}  // namespace skin
