// The About box's words follow the station's language; its template holds
// index 0's, so that language keeps the resource string and the template as
// they are.
#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "platform/Resources.h"
#include "station/QuillmarshDlg.h"

namespace {

constexpr int IDC_ABOUT_VERSION = 1100;
constexpr int IDC_ABOUT_COPYRIGHT = 1101;

struct AboutWords {
    const wchar_t* menu;
    const wchar_t* caption;
    const wchar_t* version;
    const wchar_t* copyright;
    const wchar_t* ok;
};

const AboutWords kWords[4] = {
    {nullptr, L"关于 Quillmarsh", L"Quillmarsh，1.4 版", L"版权所有 (C) 2014", L"确定"},
    {L"關於 Quillmarsh(&A)...", L"關於 Quillmarsh", L"Quillmarsh 1.4 版", L"著作權所有 (C) 2014", L"確定"},
    {L"&About Quillmarsh...", L"About Quillmarsh", L"Quillmarsh, version 1.4", L"Copyright (C) 2014", L"OK"},
    {L"Quillmarsh 정보(&A)...", L"Quillmarsh 정보", L"Quillmarsh 버전 1.4", L"Copyright (C) 2014", L"확인"},
};

int CurrentLanguage() {
    return g_pStartPage ? CQuillmarshApp::LanguageIndex(g_pStartPage->m_nLanguage) : 0;
}

}  // namespace

wxString CAboutDlg::MenuText(int language) {
    const AboutWords& words = kWords[CQuillmarshApp::LanguageIndex(language)];
    return words.menu ? wxString(words.menu) : plat::LoadResourceString(IDS_ABOUTBOX);
}

BOOL CAboutDlg::OnInitDialog() {
    const BOOL result = plat::CDialog::OnInitDialog();
    const AboutWords& words = kWords[CurrentLanguage()];
    SetTitle(words.caption);
    SetDlgItemText(IDC_ABOUT_VERSION, words.version);
    SetDlgItemText(IDC_ABOUT_COPYRIGHT, words.copyright);
    SetDlgItemText(IDOK, words.ok);
    return result;
}
