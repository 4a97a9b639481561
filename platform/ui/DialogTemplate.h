#pragma once
// Dialog templates as C++ tables.  Positions and sizes are in dialog units of
// the 8-point dialog font at 96 DPI; CDialog turns them into pixels and real
// controls.  Each dialog's .cpp defines its own `const plat::DlgTemplate` and
// hands it to CDialog's constructor.
//
//   static const plat::DlgControl kCopyRightControls[] = {
//       {IDOK, plat::Ctl::DefPushButton, plat::cs::TabStop, 93, 107, 50, 14, L"确定"},
//       {-1, plat::Ctl::Picture, 0, 62, 14, 113, 29, L"", 221},
//   };
//   const plat::DlgTemplate kCopyRightTemplate = {220, 251, 133, L"Dialog",
//       plat::ds::Caption | plat::ds::SysMenu | plat::ds::ModalFrame, L"MS Shell Dlg", 8,
//       kCopyRightControls};
#include <span>

#include <wx/gdicmn.h>

#include "platform/WinTypes.h"

namespace plat {

// Dialog units to pixels: the 8-point dialog font's base units at 96 DPI are
// 6 x 13, so x px = MulDiv(x, 6, 4) and y px = MulDiv(y, 13, 8).
constexpr int DluToPxX(int x) { return MulDiv(x, 6, 4); }
constexpr int DluToPxY(int y) { return MulDiv(y, 13, 8); }
// A control's rectangle: each of x, y, cx, cy converted on its own, as the
// dialog manager places template controls.
inline wxRect DluToPx(int x, int y, int cx, int cy) {
    return wxRect(DluToPxX(x), DluToPxY(y), DluToPxX(cx), DluToPxY(cy));
}

enum class Ctl {
    PushButton,
    DefPushButton,
    Static,      // text label (left-aligned unless cs::Right / cs::Center)
    Picture,     // bitmap resource `image` (type BITMAP); the control takes the bitmap's size
    Icon,        // icon resource `image`
    Frame,       // black frame: a plain window of its own (mouse events, painting by its owner)
    Radio,       // auto radio button; a group starts at cs::Group or after a non-radio control
    CheckBox,
    Edit,
    Combo,       // drop-down list
    ListView,    // report view
    DateTime,    // date picker, short date, drop-down calendar
    GroupBox,
};

// Control styles.  The whole word is handed to a skinned control's Create
// when SubclassDlgItem replaces the template's control.
namespace cs {
constexpr unsigned long Hidden = 1ul << 0;
constexpr unsigned long Disabled = 1ul << 1;
constexpr unsigned long Group = 1ul << 2;
constexpr unsigned long TabStop = 1ul << 3;
constexpr unsigned long Number = 1ul << 4;      // edit: digits only
constexpr unsigned long ReadOnly = 1ul << 5;    // edit
constexpr unsigned long Multiline = 1ul << 6;   // edit: Enter inserts a line break
constexpr unsigned long Notify = 1ul << 7;      // static/frame: clicks and double-clicks reach the owner
constexpr unsigned long Right = 1ul << 8;       // static/edit text alignment
constexpr unsigned long Center = 1ul << 9;
constexpr unsigned long Sort = 1ul << 10;       // combo box
constexpr unsigned long Border = 1ul << 11;
constexpr unsigned long OwnerDraw = 1ul << 12;  // button drawn by its (skinned) class
constexpr unsigned long SingleSel = 1ul << 13;  // list view: one row at a time
constexpr unsigned long VScroll = 1ul << 14;
constexpr unsigned long Bitmap = 1ul << 15;     // button showing a bitmap instead of text
}  // namespace cs

// Dialog styles.
namespace ds {
constexpr unsigned long Popup = 1ul << 0;       // top-level, no caption unless ds::Caption
constexpr unsigned long Child = 1ul << 1;       // lies over its parent's client area (modeless)
constexpr unsigned long Caption = 1ul << 2;
constexpr unsigned long SysMenu = 1ul << 3;
constexpr unsigned long ModalFrame = 1ul << 4;
constexpr unsigned long Border = 1ul << 5;      // thin border
constexpr unsigned long Visible = 1ul << 6;     // a modeless Create shows it at once
constexpr unsigned long ClipChildren = 1ul << 7;
constexpr unsigned long MinimizeBox = 1ul << 8;  // the window can be minimised
}  // namespace ds

struct DlgControl {
    int id;                  // -1 for controls nobody addresses
    Ctl kind;
    unsigned long style;     // cs:: flags
    int x, y, cx, cy;        // dialog units
    const wchar_t* text;     // may be nullptr
    int image = 0;           // Picture/Icon: resource id
};

struct DlgTemplate {
    int id;
    int cx, cy;              // client size, dialog units
    const wchar_t* caption;
    unsigned long style;     // ds:: flags
    const wchar_t* fontName;
    int fontSize;            // points
    std::span<const DlgControl> controls;
};

}  // namespace plat
