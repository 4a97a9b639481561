#pragma once
// The application object: start-up, the state several windows and threads
// share, and the language-pack lookup.
#include <atomic>
#include <cstddef>
#include <memory>

#include <wx/font.h>
#include <wx/string.h>

#include "platform/Texts.h"
#include "platform/WinTypes.h"

class wxWindow;
namespace plat {
class SingleInstanceGuard;
}

class CQuillmarshApp {
public:
    CQuillmarshApp();

    // The whole start-up and the start page's modal run; returns FALSE so the
    // program ends when the start page has closed.  Needs wx started (a GUI
    // application object) on the user-interface thread.
    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // Lets go of the single-instance guard at once.  For the paths that end
    // the process without returning: the guard's lock file would otherwise
    // outlive the process and name its id, which another process may carry
    // later and so keep every new start out.
    void ReleaseSingleInstance();

    // The text of a language key from section "Setting" of m_strLangIni;
    // backslash-n becomes a line break.  A key the pack lacks or holds empty
    // gives its English; "Not found" only for a key the program does not know.
    wxString GetLangString(wxString key);
    // The same for the messages the program shows beyond the pack's first
    // keys: a pack without the key, or with it empty, gives the English.
    wxString GetLangString(const plat::LangText& text);
    // The languages by index: 0 Simplified Chinese, 1 Traditional Chinese,
    // 2 English, 3 Korean.  A setting outside them is taken as 0.
    static constexpr int kLanguages = 4;
    static int LanguageIndex(int setting);
    // The language index Setup.ini beside the executable sets (0 without it).
    static int SetupLanguage();
    // The language pack of that index beside the executable.
    static wxString LanguagePackPath(int language);
    // The code page in which the Windows station of the language chosen in
    // Setup.ini stored its texts (iconv's name).
    const char* GetAnsiCodePage() const;
    // UTF-8 ("the system code page") into buf, always NUL-terminated, cut to
    // fit without splitting a character.
    void WideToAnsi(wxString text, char* buf, int bufSize);

    // Flags read and written whole by the user-interface, capture, presence and
    // stream-reader threads.
    std::atomic<int> m_bCompareMode{0};
    std::atomic<int> m_bNetCamera{0};
    std::atomic<int> m_bUsbCamera{0};
    std::atomic<int> m_nCameraIndex{-1};
    wxString m_strImageRoot;
    ULONG_PTR m_gdiplusToken = 0;
    wxFont m_fontTitle;
    wxFont m_fontLabel;
    wxString m_strLangIni;

    // The start page while it runs: the application's main window.
    wxWindow* m_pMainWnd = nullptr;

    virtual ~CQuillmarshApp();

private:
    // Held for the life of the process once start-up has taken it.
    std::unique_ptr<plat::SingleInstanceGuard> m_instanceGuard;
};

extern CQuillmarshApp theApp;
