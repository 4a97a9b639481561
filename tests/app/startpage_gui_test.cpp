// The start page in a real window: language index and missing-pack warnings,
// the order in which its buttons run the customer list and the station
// window, the current customer's flag; the copyright dialog's pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/choice.h>
#include <wx/statbmp.h>

#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "support/MessageRecorder.h"
#include "support/TempDir.h"

namespace {

// The start page run against a scratch executable folder.
class StartPageTest : public ::testing::Test {
protected:
    void SetUp() override { plat::SetExecutableFolderForTesting(wxString::FromUTF8(exe.Path())); }
    void TearDown() override {
        plat::SetExecutableFolderForTesting("");
        g_makeCustomerList = m_savedList;
        g_makeStationWindow = m_savedStation;
        theApp.m_strLangIni.clear();
    }
    void SetLanguage(const std::string& value) { exe.Write("Setup.ini", "[setup]\r\nlanguage=" + value + "\r\n"); }
    TempDir exe;
    DialogMaker m_savedList = g_makeCustomerList;
    DialogMaker m_savedStation = g_makeStationWindow;
};

const wxString kWarnings[] = {
    wxString::FromUTF8("所选语言包丢失，请重新安装本程序！"),
    wxString::FromUTF8("所選語言包丟失，請重新安裝本程序！"),
    "Language packs is missing, Please reinstall the Program!",
    wxString::FromUTF8("선택된 언어 패킷 손실이 프로그램을 다시 설치하십시오"),
};

// Each index chooses its own pack; one outside the four is the first.  A
// missing pack warns once in the index's language and its texts read in
// English.
TEST_F(StartPageTest, MissingPackWarnsOnceInTheLanguageOfTheIndex) {
    const char* const packs[] = {"简体中文.ini", "繁體中文.ini", "English.ini", "한국어.ini"};
    for (int setting : {0, 1, 2, 3, 7, -1}) {
        SCOPED_TRACE(setting);
        const int index = setting >= 0 && setting <= 3 ? setting : 0;
        SetLanguage(std::to_string(setting));
        CStartPageDlg page;
        ASSERT_TRUE(page.Create());
        EXPECT_EQ(g_pStartPage, &page);
        EXPECT_EQ(page.m_nLanguage, index);

        MessageRecorder messages;
        page.SetLanguagePack();
        ASSERT_EQ(messages.texts.size(), 1u);
        EXPECT_EQ(messages.texts[0], kWarnings[index]);
        EXPECT_EQ(theApp.m_strLangIni, wxString::FromUTF8(exe.Path() + "Language/" + packs[index]));
        EXPECT_EQ(theApp.GetLangString("IDS_REPORT"), "Skin/Hair Analysis Report");
        page.DestroyWindow();
    }
}

TEST_F(StartPageTest, PresentPackIsUsedWithoutWarning) {
    SetLanguage("2");
    exe.Write("Language/English.ini", "[Setting]\nIDS_REPORT=Report\n");
    CStartPageDlg page;
    ASSERT_TRUE(page.Create());
    MessageRecorder messages;
    page.SetLanguagePack();
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(theApp.GetLangString("IDS_REPORT"), "Report");
}

TEST_F(StartPageTest, LanguageIndexAndHiddenList) {
    {
        // No Setup.ini: index 0, nothing reported.
        CStartPageDlg page;
        ASSERT_TRUE(page.Create());
        EXPECT_EQ(page.m_nLanguage, 0);
        ASSERT_NE(page.m_comboLanguage, nullptr);
        EXPECT_FALSE(page.m_comboLanguage->IsShown());
        ASSERT_EQ(page.m_comboLanguage->GetCount(), 4u);
        EXPECT_EQ(page.m_comboLanguage->GetStringSelection(), wxString::FromUTF8("简体中文"));
    }
    {
        exe.Write("Setup.ini", "[SETUP]\n Language = 3 \n");  // the profile rules
        CStartPageDlg page;
        ASSERT_TRUE(page.Create());
        EXPECT_EQ(page.m_nLanguage, 3);
        EXPECT_EQ(page.m_comboLanguage->GetStringSelection(), wxString::FromUTF8("한국어"));
    }
    {
        exe.Write("Setup.ini", "[setup]\nother=1\n");
        CStartPageDlg page;
        ASSERT_TRUE(page.Create());
        EXPECT_EQ(page.m_nLanguage, 0);
    }
}

// A stand-in for the customer list or the station window: records its run
// and what the start page held when it opened, then ends itself from inside
// its own modal loop.
const plat::DlgTemplate kFakeTemplate = {1, 100, 60, L"", plat::ds::Popup, L"MS Shell Dlg", 8, {}};
std::vector<std::string> g_runs;

class FakeWindow : public plat::CDialog {
public:
    FakeWindow(std::string name, bool choose) : plat::CDialog(kFakeTemplate), m_name(std::move(name)), m_choose(choose) {}
    BOOL OnInitDialog() override {
        plat::CDialog::OnInitDialog();
        std::string entry = m_name + " chosen=" + std::to_string(g_pStartPage->m_bCustomerChosen);
        if (m_name == "station") entry += g_pStartPage->m_pUserDataDlg ? " list-alive" : " no-list";
        g_runs.push_back(entry);
        if (m_choose) {
            // What the list's start-detection does: copy the record, then mark it chosen.
            UserRecord picked{};
            record::FillField(picked.szName, "Alice");
            g_pStartPage->m_curRecord = picked;
            g_pStartPage->m_bCustomerChosen = 1;
        }
        wxTheApp->CallAfter([this] { EndDialog(IDOK); });
        return TRUE;
    }
    std::string m_name;
    bool m_choose;
};

bool g_listChooses = false;
std::unique_ptr<plat::CDialog> MakeList() { return std::make_unique<FakeWindow>("list", g_listChooses); }
std::unique_ptr<plat::CDialog> MakeStation() { return std::make_unique<FakeWindow>("station", false); }

void Click(CStartPageDlg& page, int id) {
    wxCommandEvent click(wxEVT_BUTTON, id);
    wxWindow* button = page.GetDlgItem(id);
    ASSERT_NE(button, nullptr);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

TEST_F(StartPageTest, ButtonsRunListThenStationOrStationAloneAndClearTheChoice) {
    g_makeCustomerList = &MakeList;
    g_makeStationWindow = &MakeStation;
    g_runs.clear();
    g_listChooses = true;

    CStartPageDlg page;
    std::vector<int> chosenAfter;
    wxTheApp->CallAfter([&] {
        Click(page, 1002);  // customer chosen in the list
        chosenAfter.push_back(page.m_bCustomerChosen);
        g_listChooses = false;
        Click(page, 1002);  // list closed without a choice
        chosenAfter.push_back(page.m_bCustomerChosen);
        page.m_bCustomerChosen = 1;  // a stale choice does not reach a quick detection
        Click(page, 1003);
        chosenAfter.push_back(page.m_bCustomerChosen);
        EXPECT_EQ(page.m_pMainDlg, nullptr);
        EXPECT_EQ(page.m_pUserDataDlg, nullptr);
        EXPECT_TRUE(page.IsShown());
        page.EndDialog(IDCANCEL);
    });
    MessageRecorder messages;  // the pack is missing: one warning per press
    EXPECT_EQ(page.DoModal(), IDCANCEL);

    const std::vector<std::string> expected = {
        "list chosen=0", "station chosen=1 list-alive",  //
        "list chosen=0", "station chosen=0 list-alive",  //
        "station chosen=0 no-list",
    };
    EXPECT_EQ(g_runs, expected);
    EXPECT_EQ(chosenAfter, (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(record::FieldText(page.m_curRecord.szName), "Alice");  // the record stays, unchosen
    EXPECT_EQ(messages.texts.size(), 3u);
}

TEST_F(StartPageTest, ButtonsWithoutTheirWindowsReturnToTheStartPage) {
    SetLanguage("7");  // the first language's pack, which is there: no warning
    exe.Write("Language/简体中文.ini", "[Setting]\n");
    g_makeCustomerList = nullptr;
    g_makeStationWindow = nullptr;
    CStartPageDlg page;
    wxTheApp->CallAfter([&] {
        Click(page, 1002);
        Click(page, 1003);
        page.EndDialog(IDOK);
    });
    MessageRecorder messages;
    EXPECT_EQ(page.DoModal(), IDOK);
    EXPECT_TRUE(messages.texts.empty());
    EXPECT_EQ(page.m_bCustomerChosen, 0);
}

TEST(CopyRight, ShowsLogoAndStatementAndClosesWithOk) {
    CCopyRight dlg;
    std::vector<wxSize> pictures;
    wxTheApp->CallAfter([&] {
        for (wxWindow* child : dlg.GetChildren())
            if (auto* bmp = dynamic_cast<wxStaticBitmap*>(child)) pictures.push_back(bmp->GetBitmap().GetSize());
        wxCommandEvent ok(wxEVT_BUTTON, IDOK);
        ok.SetEventObject(dlg.GetDlgItem(IDOK));
        dlg.GetDlgItem(IDOK)->GetEventHandler()->ProcessEvent(ok);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(pictures, (std::vector<wxSize>{wxSize(170, 47), wxSize(319, 101)}));
}

}  // namespace
