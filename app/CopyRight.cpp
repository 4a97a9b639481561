#include <wx/image.h>
#include <wx/statbmp.h>

#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"

namespace {

constexpr int IDB_COPYRIGHT_LOGO = 221;
constexpr int IDC_STATEMENT = 1000;
// The statement's words are in the language of the index; the logo has none.
constexpr int kStatement[4] = {222, 284, 285, 286};
// What its OK button says in each language.
const wchar_t* const kOk[4] = {L"确定", L"確定", L"OK", L"확인"};

const plat::DlgControl kCopyRightControls[] = {
    {IDOK, plat::Ctl::DefPushButton, plat::cs::TabStop, 93, 107, 50, 14, L"确定"},
    {-1, plat::Ctl::Picture, 0, 62, 14, 113, 29, L"", IDB_COPYRIGHT_LOGO},
    {IDC_STATEMENT, plat::Ctl::Picture, 0, 16, 42, 213, 62, L"", kStatement[0]},
};

}  // namespace

const plat::DlgTemplate plat::kCopyRightTemplate = {
    CCopyRight::IDD, 251, 133, L"Dialog", plat::ds::Caption | plat::ds::SysMenu | plat::ds::ModalFrame,
    L"MS Shell Dlg", 8, kCopyRightControls};

CCopyRight::CCopyRight(wxWindow* parent) : plat::CDialog(plat::kCopyRightTemplate, parent) {}

int CCopyRight::StatementPicture(int language) { return kStatement[language >= 0 && language < 4 ? language : 0]; }

BOOL CCopyRight::OnInitDialog() {
    plat::CDialog::OnInitDialog();
    const int language = g_pStartPage ? CQuillmarshApp::LanguageIndex(g_pStartPage->m_nLanguage) : 0;
    SetDlgItemText(IDOK, kOk[language]);
    const int id = StatementPicture(language);
    wxImage picture;
    if (auto* statement = dynamic_cast<wxStaticBitmap*>(GetDlgItem(IDC_STATEMENT));
        statement && id != kStatement[0] && plat::LoadResourceImage(id, plat::RT_BITMAP, picture))
        statement->SetBitmap(wxBitmap(picture));
    return TRUE;
}
