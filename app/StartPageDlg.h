#pragma once
// The start page: the first window and the application's main window for the
// whole run.  It reads the language index, sets the language-pack path, runs
// the customer list and the station window one after the other, and holds the
// current customer that those windows and the report read through
// g_pStartPage.
#include <memory>
#include <vector>

#include "controls/GdipButton.h"
#include "customers/UserRecord.h"
#include "platform/Resources.h"
#include "platform/ui/Dialog.h"

class wxChoice;
class wxPaintEvent;

// Makers of the two windows the start page runs modally; the start page owns
// what they return and deletes it after the runs.  Tests put stand-in windows
// in their place.  An unset maker leaves that window's step out.
using DialogMaker = std::unique_ptr<plat::CDialog> (*)();
extern DialogMaker g_makeCustomerList;   // a CUserDataDlg with no parent
extern DialogMaker g_makeStationWindow;  // a CQuillmarshDlg with no parent

namespace plat {
extern const DlgTemplate kStartPageTemplate;
}

class CStartPageDlg : public plat::CDialog {
public:
    enum { IDD = 167 };
    explicit CStartPageDlg(wxWindow* parent = nullptr);
    ~CStartPageDlg() override;

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Enter and Escape do nothing here.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Points the application at the language pack of m_nLanguage beside the
    // executable and warns, in that language, when the file is missing.
    void SetLanguagePack();

    void OnBnClickedRecords();
    void OnBnClickedQuickStart();
    void OnBnClickedExit();

    CGdipButton m_btnRecords;
    CGdipButton m_btnQuickStart;
    CGdipButton m_btnExit;
    wxString m_strSetupIni;
    wxChoice* m_comboLanguage = nullptr;
    std::unique_ptr<plat::CDialog> m_pMainDlg;
    std::unique_ptr<plat::CDialog> m_pUserDataDlg;
    UserRecord m_curRecord{};
    // The current record's trailing flag: 1 while a customer taken from the
    // list is current.
    BOOL& m_bCustomerChosen = m_curRecord.bChosen;
    int m_nLanguage = 0;

    // Texts of the missing-pack warning by language index; empty for an
    // index that has none.
    static wxString MissingPackWarning(int language);

    // The background and button pictures of the page in a language; an index
    // outside 0-3 takes index 0's.
    static std::vector<plat::ResourceRef> LanguagePictures(int language);

private:
    void OnPaint(wxPaintEvent& event);
    void Minimise();
    void Restore();
    // Runs the station window modally, then lets go of both windows, clears
    // the chosen flag and restores the start page.
    void RunStationWindowAndReturn();
};

extern CStartPageDlg* g_pStartPage;

// The copyright dialog: the maker's logo and statement, closed with OK.
class CCopyRight : public plat::CDialog {
public:
    enum { IDD = 220 };
    explicit CCopyRight(wxWindow* parent = nullptr);
    BOOL OnInitDialog() override;

    // The statement picture of a language (its words are in that language);
    // an index outside 0-3 takes index 0's.
    static int StatementPicture(int language);
};

namespace plat {
extern const DlgTemplate kCopyRightTemplate;
}
