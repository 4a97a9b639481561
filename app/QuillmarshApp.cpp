#include "app/QuillmarshApp.h"

#include <cstring>

#include <wx/app.h>
#include <wx/image.h>

#include "app/LangTexts.h"
#include "app/StartPageDlg.h"
#include "platform/Ini.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

CQuillmarshApp theApp;

CQuillmarshApp::CQuillmarshApp() {
    // What the platform layer tells the operator comes in the pack's language.
    plat::SetTextLookup([this](const plat::LangText& text) { return GetLangString(text); });
}

CQuillmarshApp::~CQuillmarshApp() = default;

namespace {

wxString PackText(const wxString& key, const wxString& fallback, const wxString& pack) {
    // Read anew each time: a pack changed while the program runs counts at
    // the next lookup.
    wxString text = plat::GetPrivateProfileString("Setting", key, fallback, pack, 1000);
    text.Replace("\\n", "\n", true);
    return text;
}

// A text added beyond the pack's first keys: a pack that lacks it, or holds
// it empty, gives the English.
wxString AddedText(const plat::LangText& text, const wxString& pack) {
    const wxString english = wxString::FromUTF8(text.english);
    const wxString shown = PackText(text.key, english, pack);
    return shown.empty() ? english : shown;
}

// The picture decoders stand where the COM libraries stood: every picture of
// the program (buttons, backgrounds, photos) goes through them, so start-up
// fails without them, with the message the operator has always seen.
bool InitImageDecoders() {
    wxInitAllImageHandlers();
    return wxImage::FindHandler(wxBITMAP_TYPE_PNG) != nullptr &&
           wxImage::FindHandler(wxBITMAP_TYPE_BMP) != nullptr;
}

}  // namespace

BOOL CQuillmarshApp::InitInstance() {
    if (!InitImageDecoders()) {
        AfxMessageBox(wxString::FromUTF8("初始化OLE DLL失败:("), MB_OK);
        return FALSE;
    }

    // One station per user and one per program folder, whose database and
    // customer folders it writes.
    m_instanceGuard =
        std::make_unique<plat::SingleInstanceGuard>("PreventSecondInstance", plat::GetExecutableFolder());
    if (m_instanceGuard->AnotherIsRunning()) {
        // Said in the pack's language, which the start page has not chosen yet.
        AfxMessageBox(AddedText(lang::kAlreadyRunning, LanguagePackPath(SetupLanguage())), MB_OK);
        return FALSE;
    }

    // Every path of the program is based on the executable's folder (with its
    // trailing separator).
    m_strImageRoot = plat::GetExecutableFolder() + "Guests-Image";
    if (!plat::PathFileExists(m_strImageRoot)) plat::CreateDirectory(m_strImageRoot);

    {
        CStartPageDlg dlg(nullptr);
        m_pMainWnd = &dlg;
        if (wxTheApp) wxTheApp->SetTopWindow(&dlg);
        dlg.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}

void CQuillmarshApp::ReleaseSingleInstance() { m_instanceGuard.reset(); }

int CQuillmarshApp::ExitInstance() {
    // What needs wx goes while wx is still up: the guard's lock file and the
    // fonts would otherwise be released by static destruction, after wx has
    // shut down.
    ReleaseSingleInstance();
    m_fontTitle = wxNullFont;
    m_fontLabel = wxNullFont;
    return 0;
}

wxString CQuillmarshApp::GetLangString(wxString key) {
    for (const plat::LangText& text : lang::kPackKeys)
        if (key.IsSameAs(text.key, false)) return AddedText(text, m_strLangIni);
    for (const plat::LangText* text : lang::kAll)
        if (key.IsSameAs(text->key, false)) return AddedText(*text, m_strLangIni);
    return PackText(key, "Not found", m_strLangIni);
}

wxString CQuillmarshApp::GetLangString(const plat::LangText& text) { return AddedText(text, m_strLangIni); }

int CQuillmarshApp::LanguageIndex(int setting) { return setting >= 0 && setting < kLanguages ? setting : 0; }

int CQuillmarshApp::SetupLanguage() {
    const wxString setup = plat::GetExecutableFolder() + "Setup.ini";
    if (!plat::PathFileExists(setup)) return 0;
    return LanguageIndex(plat::GetPrivateProfileInt("setup", "language", 0, setup));
}

wxString CQuillmarshApp::LanguagePackPath(int language) {
    static const wchar_t* const kPacks[kLanguages] = {L"简体中文.ini", L"繁體中文.ini", L"English.ini", L"한국어.ini"};
    return plat::GetExecutableFolder() + "Language/" + kPacks[LanguageIndex(language)];
}

const char* CQuillmarshApp::GetAnsiCodePage() const {
    // The code page each language's Windows system stored its texts in.
    static const char* const kCodePages[kLanguages] = {"CP936", "CP950", "CP1252", "CP949"};
    return kCodePages[LanguageIndex(g_pStartPage ? g_pStartPage->m_nLanguage : 0)];
}

void CQuillmarshApp::WideToAnsi(wxString text, char* buf, int bufSize) {
    if (!buf || bufSize <= 0) return;
    const wxScopedCharBuffer utf8 = text.utf8_str();
    const char* src = utf8.data();
    std::size_t len = src ? utf8.length() : 0;
    const std::size_t room = static_cast<std::size_t>(bufSize) - 1;
    if (len > room) {
        len = room;
        // Back up to the first byte of the character the cut falls into.
        while (len > 0 && (static_cast<unsigned char>(src[len]) & 0xC0) == 0x80) --len;
    }
    if (len) std::memcpy(buf, src, len);
    buf[len] = '\0';
}
