#include "app/StartPageDlg.h"

#include <cstdlib>

#include <gtk/gtk.h>
#include <wx/choice.h>
#include <wx/dcclient.h>
#include <wx/image.h>

#include "app/QuillmarshApp.h"
#include "platform/Ini.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/ui/Stacking.h"
#include "customers/UserDataDlg.h"
#include "station/QuillmarshDlg.h"

namespace {
std::unique_ptr<plat::CDialog> MakeCustomerList() { return std::make_unique<CUserDataDlg>(nullptr); }
std::unique_ptr<plat::CDialog> MakeStationWindow() { return std::make_unique<CQuillmarshDlg>(nullptr); }
}  // namespace

DialogMaker g_makeCustomerList = &MakeCustomerList;
DialogMaker g_makeStationWindow = &MakeStationWindow;

CStartPageDlg* g_pStartPage = nullptr;

namespace {

constexpr int IDC_RECORDS = 1002;
constexpr int IDC_QUICKSTART = 1003;
constexpr int IDC_EXIT = 1004;
constexpr int IDC_LANGUAGE = 1075;

// The page's pictures by language index.
struct StartPictures {
    int background, records, quickStart, exit;
};
constexpr StartPictures kStartPictures[4] = {
    {271, 170, 171, 242}, {272, 275, 278, 281}, {273, 276, 279, 282}, {274, 277, 280, 283}};

const StartPictures& PicturesFor(int language) { return kStartPictures[language >= 0 && language < 4 ? language : 0]; }

const wchar_t* const kLanguageNames[CQuillmarshApp::kLanguages] = {L"简体中文", L"繁體中文", L"English", L"한국어"};

const plat::DlgControl kStartPageControls[] = {
    {IDC_RECORDS, plat::Ctl::PushButton, plat::cs::TabStop, 368, 180, 105, 39, L""},
    {IDC_QUICKSTART, plat::Ctl::PushButton, plat::cs::TabStop, 368, 227, 105, 39, L""},
    {IDC_EXIT, plat::Ctl::PushButton, plat::cs::TabStop, 368, 274, 105, 39, L""},
    {IDC_LANGUAGE, plat::Ctl::Combo, plat::cs::Sort | plat::cs::VScroll | plat::cs::TabStop, 391, 7, 82,
     78, L""},
};

}  // namespace

const plat::DlgTemplate plat::kStartPageTemplate = {
    CStartPageDlg::IDD, 480, 334, L"", plat::ds::Popup | plat::ds::MinimizeBox, L"MS Shell Dlg", 8, kStartPageControls};

CStartPageDlg::CStartPageDlg(wxWindow* parent) : plat::CDialog(plat::kStartPageTemplate, parent) {
    BindClicked(IDC_RECORDS, [this] { OnBnClickedRecords(); });
    BindClicked(IDC_QUICKSTART, [this] { OnBnClickedQuickStart(); });
    BindClicked(IDC_EXIT, [this] { OnBnClickedExit(); });
    Bind(wxEVT_PAINT, &CStartPageDlg::OnPaint, this);
}

CStartPageDlg::~CStartPageDlg() {
    // The windows it ran go before it.
    m_pUserDataDlg.reset();
    m_pMainDlg.reset();
    if (g_pStartPage == this) g_pStartPage = nullptr;
}

void CStartPageDlg::DoDataExchange(CDataExchange* pDX) {
    plat::CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_RECORDS, m_btnRecords);
    DDX_Control(pDX, IDC_QUICKSTART, m_btnQuickStart);
    DDX_Control(pDX, IDC_EXIT, m_btnExit);
    DDX_Control(pDX, IDC_LANGUAGE, m_comboLanguage);
}

BOOL CStartPageDlg::OnInitDialog() {
    plat::CDialog::OnInitDialog();

    // No taskbar entry of its own.
    if (GtkWidget* widget = static_cast<GtkWidget*>(GetHandle()); widget && GTK_IS_WINDOW(widget))
        gtk_window_set_skip_taskbar_hint(GTK_WINDOW(widget), TRUE);
    // The whole client area is painted from the background picture; the
    // labels and buttons lie over it.
    SetBackgroundStyle(wxBG_STYLE_PAINT);

    g_pStartPage = this;

    // The two fonts the other windows share, made once.
    if (!theApp.m_fontTitle.IsOk())
        theApp.m_fontTitle = wxFont(wxFontInfo(wxSize(0, 36)).Family(wxFONTFAMILY_SWISS).FaceName("Batang"));
    if (!theApp.m_fontLabel.IsOk())
        theApp.m_fontLabel = wxFont(wxFontInfo(wxSize(0, 20)).Family(wxFONTFAMILY_SWISS).FaceName("Batang"));

    m_strSetupIni = plat::GetExecutableFolder() + "Setup.ini";
    // An index outside the four languages is taken as the first, whose pack
    // and pictures every window then uses.
    m_nLanguage = CQuillmarshApp::SetupLanguage();

    if (m_comboLanguage) {
        // A sorted list keeps its own order: the language is found by its name.
        for (const wchar_t* name : kLanguageNames) m_comboLanguage->Append(name);
        m_comboLanguage->SetStringSelection(kLanguageNames[m_nLanguage]);
        m_comboLanguage->Hide();
    }

    // The buttons' words are in the language just read.
    const StartPictures& pictures = PicturesFor(m_nLanguage);
    m_btnRecords.LoadStdImage(pictures.records, plat::RT_PNG);
    m_btnQuickStart.LoadStdImage(pictures.quickStart, plat::RT_PNG);
    m_btnExit.LoadStdImage(pictures.exit, plat::RT_PNG);
    return TRUE;
}

BOOL CStartPageDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg && pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        return TRUE;
    return plat::CDialog::PreTranslateMessage(pMsg);
}

wxString CStartPageDlg::MissingPackWarning(int language) {
    switch (language) {
        case 0: return L"所选语言包丢失，请重新安装本程序！";
        case 1: return L"所選語言包丟失，請重新安裝本程序！";
        case 2: return L"Language packs is missing, Please reinstall the Program!";
        case 3: return L"선택된 언어 패킷 손실이 프로그램을 다시 설치하십시오";
        default: return wxString();
    }
}

std::vector<plat::ResourceRef> CStartPageDlg::LanguagePictures(int language) {
    const StartPictures& p = PicturesFor(language);
    return {{p.background, plat::RT_BITMAP},
            {p.records, plat::RT_PNG},
            {p.quickStart, plat::RT_PNG},
            {p.exit, plat::RT_PNG}};
}

void CStartPageDlg::SetLanguagePack() {
    static const wchar_t* const kIntegerPrompt[4] = {L"请输入一个整数。", L"請輸入整數。", L"Please enter an integer.",
                                                      L"정수를 입력하십시오."};
    plat::SetIntegerPrompt(kIntegerPrompt[CQuillmarshApp::LanguageIndex(m_nLanguage)]);
    theApp.m_strLangIni = CQuillmarshApp::LanguagePackPath(m_nLanguage);
    if (!plat::PathFileExists(theApp.m_strLangIni)) {
        const wxString warning = MissingPackWarning(m_nLanguage);
        if (!warning.empty()) AfxMessageBox(warning, MB_OK);
    }
}

void CStartPageDlg::Minimise() { Iconize(true); }

void CStartPageDlg::Restore() {
    Iconize(false);
    Show(true);
    plat::BringToFront(this);
}

void CStartPageDlg::OnBnClickedRecords() {
    SetLanguagePack();
    Minimise();

    m_pUserDataDlg.reset();
    if (g_makeCustomerList) {
        m_pUserDataDlg = g_makeCustomerList();
        if (m_pUserDataDlg) m_pUserDataDlg->DoModal();
    }
    // The station window follows however the list was closed: for the
    // customer the list handed over, or for a guest.
    m_pMainDlg.reset();
    RunStationWindowAndReturn();
}

void CStartPageDlg::OnBnClickedQuickStart() {
    SetLanguagePack();
    Minimise();

    m_pMainDlg.reset();
    m_bCustomerChosen = 0;  // a guest: the station works in the "Guest" folder
    RunStationWindowAndReturn();
}

void CStartPageDlg::RunStationWindowAndReturn() {
    if (g_makeStationWindow) {
        m_pMainDlg = g_makeStationWindow();
        if (m_pMainDlg) m_pMainDlg->DoModal();
    }
    m_pUserDataDlg.reset();
    m_pMainDlg.reset();

    m_bCustomerChosen = 0;
    Restore();
}

void CStartPageDlg::OnBnClickedExit() {
    // The process ends here, with nothing closed or cleaned up; only the
    // single-instance guard goes first, as the system would free it.
    theApp.ReleaseSingleInstance();
    std::_Exit(0);
}

void CStartPageDlg::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    // A missing picture leaves the page unpainted; nothing is reported.
    wxImage picture;
    if (!plat::LoadResourceImage(PicturesFor(m_nLanguage).background, plat::RT_BITMAP, picture) || !picture.IsOk())
        return;
    const wxSize client = GetClientSize();
    if (client.x <= 0 || client.y <= 0) return;
    if (picture.GetSize() != client) picture.Rescale(client.x, client.y, wxIMAGE_QUALITY_NEAREST);
    dc.DrawBitmap(wxBitmap(picture), 0, 0, false);
}
