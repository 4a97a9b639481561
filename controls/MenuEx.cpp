#include "controls/MenuEx.h"

#include <algorithm>
#include <cmath>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/eventfilter.h>

#include "controls/ImgButton.h"
#include "controls/SkinColour.h"
#include "platform/ui/ProgramFocus.h"

wxDEFINE_EVENT(EVT_SUBMENU_CLOSED, wxCommandEvent);

CMenuEx* g_pRootMenu = nullptr;

namespace {
constexpr COLORREF kRowFill = 0x22123B;
constexpr COLORREF kRowText = 0xFFFFFF;
constexpr COLORREF kHoverFill = 0x57329A;

CMenuEx* s_focusMenu = nullptr;
int s_menuCount = 0;
}  // namespace

namespace skin {

wxRegion RoundRectRegion(int width, int height, int ellipseW, int ellipseH) {
    wxRegion region;
    if (width <= 0 || height <= 0) return region;
    const double rx = std::min(ellipseW, width) / 2.0, ry = std::min(ellipseH, height) / 2.0;
    for (int y = 0; y < height; ++y) {
        int inset = 0;
        // Distance of the pixel row's centre into the top or bottom corner band.
        const double fromEdge = std::min(y, height - 1 - y) + 0.5;
        if (rx > 0 && ry > 0 && fromEdge < ry) {
            const double dy = (ry - fromEdge) / ry;
            inset = static_cast<int>(std::ceil(rx - rx * std::sqrt(std::max(0.0, 1.0 - dy * dy)) - 1e-9));
        }
        if (width - 2 * inset > 0) region.Union(inset, y, width - 2 * inset, 1);
    }
    return region;
}

bool SwatchColour(int row, COLORREF* colour) {
    static const COLORREF swatches[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    if (row < 0 || row >= 4) return false;
    *colour = swatches[row];
    return true;
}

}  // namespace skin

// Emulates the focus of the menus: a press of the pointer in a window other
// than the focused menu takes the focus from it.
class MenuFocusFilter : public wxEventFilter {
public:
    int FilterEvent(wxEvent& event) override {
        const wxEventType t = event.GetEventType();
        if (t == wxEVT_LEFT_DOWN || t == wxEVT_RIGHT_DOWN || t == wxEVT_MIDDLE_DOWN || t == wxEVT_LEFT_DCLICK ||
            t == wxEVT_RIGHT_DCLICK || t == wxEVT_MIDDLE_DCLICK) {
            wxWindow* win = wxDynamicCast(event.GetEventObject(), wxWindow);
            CMenuEx* menu = nullptr;
            for (wxWindow* w = win; w && !menu; w = w->GetParent()) {
                menu = dynamic_cast<CMenuEx*>(w);
                if (w->IsTopLevel()) break;
            }
            CMenuEx::GiveFocus(menu && menu->IsShown() ? menu : nullptr);
        } else if (t == wxEVT_ACTIVATE_APP && !static_cast<wxActivateEvent&>(event).GetActive()) {
            // Without a window manager the keyboard focus may follow the
            // pointer into the menu itself, which the toolkit reports as the
            // program losing it: that is no other program taking over.  A
            // window of another program holding it is, wherever the pointer.
            CMenuEx* menu = CMenuEx::FocusedMenu();
            if (!menu || !menu->IsShown() || !menu->GetScreenRect().Contains(wxGetMousePosition()) ||
                plat::AnotherProgramHasTheFocus())
                CMenuEx::GiveFocus(nullptr);
        }
        return Event_Skip;
    }
};

static MenuFocusFilter s_focusFilter;

void CMenuEx::GiveFocus(CMenuEx* menu) {
    CMenuEx* previous = s_focusMenu;
    s_focusMenu = menu;
    if (previous && previous != menu) previous->OnKillFocus();
}

CMenuEx* CMenuEx::FocusedMenu() { return s_focusMenu; }

CMenuEx::CMenuEx() {
    if (!g_pRootMenu) g_pRootMenu = this;
    if (s_menuCount++ == 0) wxEvtHandler::AddFilter(&s_focusFilter);
}

CMenuEx::~CMenuEx() {
    for (auto& node : m_items) {
        delete node.pSubMenu;
        node.pSubMenu = nullptr;
    }
    if (g_pRootMenu == this) g_pRootMenu = nullptr;
    if (s_focusMenu == this) s_focusMenu = nullptr;
    if (--s_menuCount == 0) wxEvtHandler::RemoveFilter(&s_focusFilter);
}

BOOL CMenuEx::Create(BOOL swatchMode, wxWindow* owner, UINT id, int margin, int indent, COLORREF textColour,
                     COLORREF textDisabledColour, COLORREF aux1, COLORREF frameColour, COLORREF aux2,
                     BOOL invertHoverText) {
    m_bSwatchMode = swatchMode;
    m_pOwner = owner;
    m_nID = id;
    m_nMargin = std::max(margin, 0);
    m_nIndent = std::max(indent, 0);
    m_clrText = textColour;
    m_clrTextDisabled = textDisabledColour;
    m_clrAux1 = aux1;
    m_clrFrame = frameColour;
    m_clrAux2 = aux2;
    m_bInvertHoverText = invertHoverText;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!plat::PopupWindow::Create(owner, wxBORDER_NONE | wxFRAME_SHAPED)) return FALSE;
    SetName("menu");
    SetSize(0, 0, 50, 50);
    Bind(wxEVT_PAINT, &CMenuEx::OnPaint, this);
    Bind(wxEVT_MOTION, &CMenuEx::OnMouseMove, this);
    Bind(wxEVT_LEAVE_WINDOW, &CMenuEx::OnMouseLeave, this);
    Bind(wxEVT_LEFT_UP, &CMenuEx::OnLButtonUp, this);
    Bind(wxEVT_MENU, &CMenuEx::OnCommand, this);
    Bind(EVT_SUBMENU_CLOSED, &CMenuEx::OnSubMenuClosed, this);
    // The focus that followed the pointer into the menu may go on to another
    // program: the program, already inactive then, is not told again.
    plat::WhenAnotherProgramTakesTheFocus(this, [this] {
        if (s_focusMenu == this) GiveFocus(nullptr);
    });
    RecalcLayout();
    return TRUE;
}

BOOL CMenuEx::InsertItem(MenuItemRecord item, int pos) {
    _MENU_NODE node;
    node.strText = item.strText;
    node.nID = item.nID;
    node.bEnabled = item.bEnabled;
    if (pos < 0 || pos > static_cast<int>(m_items.size())) pos = static_cast<int>(m_items.size());
    m_items.insert(m_items.begin() + pos, node);
    RecalcLayout();
    return TRUE;
}

BOOL CMenuEx::AddItem(MenuItemRecord item, int pos, int /*extra*/) {
    if (!InsertItem(item, pos)) return FALSE;
    RecalcLayout();
    return TRUE;
}

wxFont CMenuEx::RowFont() const { return m_font.IsOk() ? m_font : GetFont(); }

void CMenuEx::RecalcLayout() {
    const wxFont font = RowFont();
    int widest = 0, height = 0;
    bool anySubMenu = false;
    for (const auto& node : m_items) {
        int w = 0, h = 0;
        GetTextExtent(node.strText, &w, &h, nullptr, nullptr, &font);
        widest = std::max(widest, w);
        height = h;   // the last row's height sets the row height
        anySubMenu = anySubMenu || node.pSubMenu;
    }
    const int r = m_nMargin, d = m_nIndent;
    m_rcItem = wxRect(r, r, widest + 2 * d + (anySubMenu ? 2 * d : 0), d + height);
    if (GetHandle()) {
        const int W = m_rcItem.width + 2 * r;
        const int H = static_cast<int>(m_items.size()) * m_rcItem.height + 2 * r;
        SetSize(W, H);
        SetShape(skin::RoundRectRegion(W, H, r, r));
        Refresh();
    }
}

wxRect CMenuEx::RowRect(int i) const {
    wxRect rc = m_rcItem;
    rc.y += i * m_rcItem.height;
    return rc;
}

int CMenuEx::HitTest(int x, int y) {
    for (int i = 0; i < static_cast<int>(m_items.size()); ++i)
        if (RowRect(i).Contains(x, y)) return i;
    return -1;
}

BOOL CMenuEx::HasItem(UINT id) {
    for (const auto& node : m_items)
        if (node.nID == id) return TRUE;
    for (const auto& node : m_items)
        if (node.pSubMenu && node.pSubMenu->HasItem(id)) return TRUE;
    return FALSE;
}

int CMenuEx::GetItemCount() { return static_cast<int>(m_items.size()); }

void CMenuEx::SetFont(const wxFont* font, BOOL redraw) {
    if (font && font->IsOk()) m_font = *font;
    for (auto& node : m_items)
        if (node.pSubMenu) node.pSubMenu->SetFont(font, redraw);
    // The rows are measured again so that the new font fits them.
    RecalcLayout();
    if (redraw) Refresh();
}

void CMenuEx::EnableItem(wxString text, UINT id, BOOL enable) {
    for (auto& node : m_items) {
        if (node.nID == id) {
            node.bEnabled = enable;
            break;
        }
        if (node.pSubMenu && node.pSubMenu->HasItem(id)) {
            node.pSubMenu->EnableItem(text, id, enable);
            break;
        }
    }
    Refresh();
}

void CMenuEx::SetCurSel(int) {}

void CMenuEx::ShowMenu(int x, int y, BOOL show) {
    if (show) {
        Move(x, y);
        Show();
        Raise();
        GiveFocus(this);
        return;
    }
    if (m_pOpenSubMenu) {
        CMenuEx* sub = m_pOpenSubMenu;
        m_pOpenSubMenu = nullptr;
        sub->ShowMenu(0, 0, FALSE);
    }
    Hide();
    if (s_focusMenu == this) s_focusMenu = nullptr;
    if (m_nHoverItem >= 0) {
        m_nHoverItem = -1;
        Refresh();
    }
    if (this != g_pRootMenu && m_pOwner) {
        wxCommandEvent closed(EVT_SUBMENU_CLOSED);
        closed.SetEventObject(this);
        m_pOwner->GetEventHandler()->ProcessEvent(closed);
    }
}

void CMenuEx::HideWindow() {
    Hide();
    // Hiding the focused window takes the focus away from it.
    if (s_focusMenu == this) GiveFocus(nullptr);
}

void CMenuEx::OnKillFocus() {
    if (!m_pOpenSubMenu) ShowMenu(0, 0, FALSE);
}

void CMenuEx::OnSubMenuClosed(wxCommandEvent&) {
    if (!m_pOpenSubMenu) return;
    m_pOpenSubMenu = nullptr;
    if (!GetScreenRect().Contains(wxGetMousePosition())) ShowMenu(0, 0, FALSE);
}

void CMenuEx::OnCommand(wxCommandEvent& event) {
    wxCommandEvent command(wxEVT_MENU, event.GetId());
    command.SetInt(0);
    command.SetEventObject(event.GetEventObject() ? event.GetEventObject() : this);
    if (m_pOwner) m_pOwner->GetEventHandler()->ProcessEvent(command);
    HideWindow();
}

void CMenuEx::OnMouseMove(wxMouseEvent& event) {
    const int old = m_nHoverItem;
    m_nHoverItem = HitTest(event.GetX(), event.GetY());
    if (m_nHoverItem == -1 && m_pOpenSubMenu) m_nHoverItem = old;
    if (m_nHoverItem != old) {
        if (m_pOpenSubMenu) {
            CMenuEx* sub = m_pOpenSubMenu;
            m_pOpenSubMenu = nullptr;
            sub->ShowMenu(0, 0, FALSE);
        }
        if (old >= 0) RefreshRect(RowRect(old));
        if (m_nHoverItem >= 0) RefreshRect(RowRect(m_nHoverItem));
    }
    if (m_nHoverItem >= 0 && m_items[m_nHoverItem].pSubMenu) {
        m_pOpenSubMenu = m_items[m_nHoverItem].pSubMenu;
        wxRect rc = RowRect(m_nHoverItem);
        const wxPoint origin = GetScreenPosition();
        rc.Offset(origin.x, origin.y - m_nMargin);
        m_pOpenSubMenu->ShowMenu(rc.x + rc.width, rc.y, TRUE);
    }
    event.Skip();
}

void CMenuEx::OnMouseLeave(wxMouseEvent& event) {
    // The pointer left the menu: no row is under it any more.  The row of an
    // open submenu stays lit while the pointer is in the submenu.
    if (m_nHoverItem >= 0 && !m_pOpenSubMenu) {
        RefreshRect(RowRect(m_nHoverItem));
        m_nHoverItem = -1;
    }
    event.Skip();
}

void CMenuEx::OnLButtonUp(wxMouseEvent& event) {
    m_nHoverItem = HitTest(event.GetX(), event.GetY());
    if (m_nHoverItem < 0) return;
    const _MENU_NODE& node = m_items[m_nHoverItem];
    if (node.pSubMenu || !node.bEnabled) return;
    wxCommandEvent command(wxEVT_MENU, static_cast<int>(node.nID));
    command.SetEventObject(this);
    ProcessWindowEvent(command);
}

static void DrawRowText(wxDC& dc, const wxString& text, const wxRect& rc) {
    int underline = -1;
    const wxString shown = skin::StripAccessKey(text, &underline);
    wxDCClipper clip(dc, rc);
    dc.DrawLabel(shown, rc, wxALIGN_LEFT | wxALIGN_CENTER_VERTICAL, underline);
}

// The submenu arrow: a triangle pointing right with its tip at (x, y).
static void DrawArrow(wxDC& dc, int x, int y, int d, const wxColour& colour) {
    const wxPoint pts[] = {{x, y}, {x - d, y - d}, {x - d, y + d}};
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawPolygon(3, pts);
}

void CMenuEx::DrawBackground(wxDC& dc) {
    const wxSize size = GetClientSize();
    // The margin ring is the frame; rows are drawn over the rest.  A row left
    // unfilled (swatch mode past the fourth row) shows the frame colour.
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(skin::ColourOf(m_clrFrame)));
    dc.DrawRectangle(0, 0, size.x, size.y);
    dc.SetFont(RowFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    const int d = m_nIndent, h = m_rcItem.height;
    for (int i = 0; i < static_cast<int>(m_items.size()); ++i) {
        const wxRect row = RowRect(i);
        COLORREF fill = kRowFill;
        const bool filled = m_bSwatchMode ? skin::SwatchColour(i, &fill) : true;
        if (filled) {
            dc.SetPen(*wxTRANSPARENT_PEN);
            dc.SetBrush(wxBrush(skin::ColourOf(fill)));
            dc.DrawRectangle(row);
        }
        dc.SetTextForeground(skin::ColourOf(m_bSwatchMode ? m_clrTextDisabled : kRowText));
        const wxRect textRc(row.x + d, row.y, row.width - 2 * d, row.height);
        DrawRowText(dc, m_items[i].strText, textRc);
        if (m_items[i].pSubMenu)
            DrawArrow(dc, textRc.x + textRc.width, textRc.y + textRc.height - h / 2, d, skin::ColourOf(m_clrText));
    }
}

void CMenuEx::DrawHoverRow(wxDC& dc) {
    if (m_nHoverItem < 0 || m_nHoverItem >= static_cast<int>(m_items.size())) return;
    const _MENU_NODE& node = m_items[m_nHoverItem];
    const int rowW = std::max(m_rcItem.width, 1), h = std::max(m_rcItem.height, 1), d = m_nIndent;
    wxBitmap row(rowW, h, 24);
    wxMemoryDC mem(row);
    // A swatch row past the fourth has no fill of its own: it shows the frame
    // colour, highlighted or not.
    COLORREF fill = kHoverFill;
    if (m_bSwatchMode && !skin::SwatchColour(m_nHoverItem, &fill)) fill = m_clrFrame;
    mem.SetPen(*wxTRANSPARENT_PEN);
    mem.SetBrush(wxBrush(skin::ColourOf(fill)));
    mem.DrawRectangle(0, 0, rowW, h);
    mem.SetFont(RowFont());
    mem.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    COLORREF text = node.bEnabled ? m_clrText : m_clrTextDisabled;
    if (m_bInvertHoverText) text = ~text & 0xFFFFFF;
    mem.SetTextForeground(skin::ColourOf(text));
    DrawRowText(mem, node.strText, wxRect(d, 0, rowW - d, h));
    if (node.pSubMenu) DrawArrow(mem, rowW, h - h / 2, d, skin::ColourOf(text));
    mem.SelectObject(wxNullBitmap);
    dc.DrawBitmap(row, m_rcItem.x, m_rcItem.y + m_nHoverItem * m_rcItem.height, false);
}

void CMenuEx::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    DrawBackground(dc);
    DrawHoverRow(dc);
}
