#include "app/StartPageDlg.h"

namespace {

constexpr int IDB_COPYRIGHT_LOGO = 221;
constexpr int IDB_COPYRIGHT_STATEMENT = 222;

const plat::DlgControl kCopyRightControls[] = {
    {IDOK, plat::Ctl::DefPushButton, plat::cs::TabStop, 93, 107, 50, 14, L"确定"},
    {-1, plat::Ctl::Picture, 0, 62, 14, 113, 29, L"", IDB_COPYRIGHT_LOGO},
    {-1, plat::Ctl::Picture, 0, 16, 42, 213, 62, L"", IDB_COPYRIGHT_STATEMENT},
};

}  // namespace

const plat::DlgTemplate plat::kCopyRightTemplate = {
    CCopyRight::IDD, 251, 133, L"Dialog", plat::ds::Caption | plat::ds::SysMenu | plat::ds::ModalFrame,
    L"MS Shell Dlg", 8, kCopyRightControls};

CCopyRight::CCopyRight(wxWindow* parent) : plat::CDialog(plat::kCopyRightTemplate, parent) {}
