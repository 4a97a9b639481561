// Dialog templates of the station window (102) and its About box (100).
#include "station/QuillmarshDlg.h"

namespace plat {

namespace {

// Window order is stacking order: the view comes first so that the scale
// menu button, the waiting animation, the no-device pictures and the retry
// button lie over it; the caption lies over the title strip.
const DlgControl kStationControls[] = {
    {1007, Ctl::Picture, 0, 0, 0, 640, 26, L"", 130},
    {1035, Ctl::Static, cs::Center, 233, 1, 160, 22, L"Quillmarsh"},
    {1036, Ctl::Picture, 0, 1, 1, 97, 21, L"", 232},
    {1010, Ctl::PushButton, cs::Bitmap, 496, 0, 25, 23, L""},
    {1009, Ctl::PushButton, cs::Bitmap, 521, 0, 25, 23, L""},
    {1012, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 8, 30, 80, 27, L""},
    {1011, Ctl::Frame, 0, 100, 40, 347, 260, L""},
    {1027, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 420, 276, 24, 22, L""},
    {1026, Ctl::PushButton, cs::Hidden, 400, 276, 12, 12, L""},
    {1013, Ctl::Static, 0, 140, 80, 267, 185, L""},
    {1023, Ctl::Picture, cs::Hidden, 100, 100, 345, 134, L"", 163},
    {1024, Ctl::Picture, cs::Hidden, 100, 100, 345, 134, L"", 195},
    {1025, Ctl::Picture, cs::Hidden, 100, 100, 345, 134, L"", 212},
    {1028, Ctl::Picture, cs::Hidden, 100, 100, 345, 134, L"", 266},
    {1022, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 380, 240, 65, 22, L""},
    {1017, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 10, 360, 107, 39, L""},
    {1001, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 98, 360, 107, 39, L""},
    {1016, Ctl::PushButton, cs::OwnerDraw | cs::TabStop | cs::Hidden, 98, 360, 107, 39, L""},
    {1002, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 186, 360, 107, 39, L""},
    {1008, Ctl::PushButton, cs::OwnerDraw | cs::TabStop | cs::Hidden, 186, 360, 107, 39, L""},
    {1003, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 274, 360, 107, 39, L""},
    {1004, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 362, 360, 107, 39, L""},
    {1014, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 450, 360, 107, 39, L""},
    {1005, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 98, 320, 123, 27, L""},
    {1006, Ctl::PushButton, cs::OwnerDraw | cs::TabStop, 346, 320, 123, 27, L""},
};

const DlgControl kAboutControls[] = {
    {-1, Ctl::Icon, 0, 14, 14, 21, 20, L"", 128},
    {1100, Ctl::Static, 0, 42, 14, 114, 8, L"Quillmarsh，1.4 版"},
    {1101, Ctl::Static, 0, 42, 26, 114, 8, L"版权所有 (C) 2014"},
    {IDOK, Ctl::DefPushButton, cs::Group | cs::TabStop, 113, 41, 50, 14, L"确定"},
};

}  // namespace

const DlgTemplate kStationTemplate = {102, 547, 410, L"Quillmarsh",
                                      ds::Popup | ds::Visible | ds::ClipChildren | ds::Border | ds::MinimizeBox,
                                      L"MS Shell Dlg", 8, kStationControls};

const DlgTemplate kAboutTemplate = {100, 170, 62, L"关于 Quillmarsh",
                                    ds::Popup | ds::Caption | ds::SysMenu | ds::ModalFrame, L"MS Shell Dlg", 8,
                                    kAboutControls};

}  // namespace plat
