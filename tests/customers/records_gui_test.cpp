// The customer records dialog on a real display over a database in a scratch
// folder: start-up and language texts, the form's checks, adding, modifying,
// deleting and searching customers (long names and quotes included), the
// photo, and the hand-over of the chosen customer to the start page.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include <wx/app.h>
#include <wx/datectrl.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "Records.h"
#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "customers/UserDataDlg.h"
#include "platform/WindowCapture.h"
#include "support/MessageRecorder.h"
#include "support/Pump.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

class Records : public ::testing::Test {
protected:
    void SetUp() override { g_pStartPage = &m_page; }
    void TearDown() override {
        m_dlg.reset();
        g_pStartPage = nullptr;
    }

    void Open() {
        m_dlg = std::make_unique<CUserDataDlg>();
        ASSERT_TRUE(m_dlg->Create());
        m_dlg->Show();
        Pump(30);
    }
    wxString Lang(const char* key) { return theApp.GetLangString(key); }
    wxString Text(int id) { return m_dlg->GetDlgItemText(id); }
    wxString Status() { return Text(1076); }
    void Type(int id, const wxString& text) { m_dlg->SetDlgItemText(id, text); }
    void Click(int id) {
        wxWindow* button = m_dlg->GetDlgItem(id);
        ASSERT_NE(button, nullptr);
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(button);
        button->GetEventHandler()->ProcessEvent(click);
    }
    void Fill(const wxString& number, const wxString& name, const wxString& age = "30") {
        Type(1038, number);
        Type(1039, name);
        Type(1047, age);
    }
    void Add(const wxString& number, const wxString& name, const wxString& age = "30") {
        Fill(number, name, age);
        Click(1049);
    }
    // Selects only list row `row` and clicks the list, as the mouse does.
    void Pick(long row) {
        wxListCtrl* list = m_dlg->m_listUsers;
        for (long i = 0; i < list->GetItemCount(); ++i)
            list->SetItemState(i, i == row ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
        m_dlg->OnNMClickList();
    }
    long RowOf(const wxString& number) {
        wxListCtrl* list = m_dlg->m_listUsers;
        for (long i = 0; i < list->GetItemCount(); ++i)
            if (list->GetItemText(i, 0) == number) return i;
        return -1;
    }
    std::vector<wxString> ListColumn(int column) {
        std::vector<wxString> texts;
        for (long i = 0; i < m_dlg->m_listUsers->GetItemCount(); ++i)
            texts.push_back(m_dlg->m_listUsers->GetItemText(i, column));
        return texts;
    }
    Rows Stored() { return m_folder.Rows("select Number, Name, Sex, Age, Phone, Email from info order by Number"); }

    RecordsFolder m_folder;
    CStartPageDlg m_page;
    MessageRecorder m_messages;
    std::unique_ptr<CUserDataDlg> m_dlg;
};

TEST_F(Records, StartsOnAnEmptyDatabaseWithTheLanguageTexts) {
    Open();
    EXPECT_FALSE(m_folder.Rows("select count(*) from info").empty());  // written from the template
    EXPECT_EQ(m_dlg->m_listUsers->GetItemCount(), 0);
    EXPECT_EQ(Text(1038), "0001");
    EXPECT_EQ(Text(1039), "");
    EXPECT_EQ(Text(1047), "20");
    EXPECT_EQ(Text(1044), "Operator");
    EXPECT_EQ(Text(1079), Lang("IDS_MEMBER_NAME") + ":");
    EXPECT_EQ(Text(1051), Lang("IDS_MEMBER_NAME"));
    EXPECT_EQ(m_dlg->m_btnStartDetect.GetLabel(), Lang("IDS_STARTDETECT"));
    wxListItem heading;
    heading.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_FORMAT | wxLIST_MASK_WIDTH);
    ASSERT_TRUE(m_dlg->m_listUsers->GetColumn(4, heading));
    EXPECT_EQ(heading.GetText(), Lang("IDS_MEMBER_BIRTHDAY"));
    EXPECT_EQ(heading.GetAlign(), wxLIST_FORMAT_CENTRE);
    EXPECT_EQ(m_dlg->m_strPhotoPath, wxString::FromUTF8(m_folder.Path() + "standard/photo/women.bmp"));
    const cv::Mat shot = plat::CaptureClientArea(m_dlg.get());
    cv::Mat bgr;
    cv::cvtColor(shot, bgr, cv::COLOR_BGRA2BGR);
    cv::imwrite(QUILL_BUILD_DIR "/records_start.png", bgr);
}

TEST_F(Records, AddChecksNumberAgeAndNameAndRefusesATakenNumber) {
    Open();
    const struct {
        const char *number, *age, *name, *status;
    } cases[] = {
        {"0", "30", "A", "IDS_INPUT_NUMBERERROR"},   {"1000", "30", "A", "IDS_INPUT_NUMBERERROR"},
        {"5", "0", "A", "IDS_INPUT_NUMBERERROR"},    {"5", "100", "A", "IDS_INPUT_NUMBERERROR"},
        {"5", "30", "", "IDS_INPUT_NAMEERROR"},      {"1", "1", "First", nullptr},
        {"7", "1", "   ", nullptr},  // blanks pass
        {"0007", "40", "Again", "IDS_INPUT_NUMBEREXIST"},  {"999", "99", "Last", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number + std::string(" ") + c.age + " '" + c.name + "'");
        m_messages.texts.clear();
        Add(c.number, wxString::FromUTF8(c.name), c.age);
        if (c.status) {
            EXPECT_EQ(Status(), Lang(c.status));
            EXPECT_TRUE(m_messages.texts.empty());
            EXPECT_EQ(Text(1039), wxString::FromUTF8(c.name));  // left for the operator to correct
        } else {
            EXPECT_EQ(Status(), "");
            EXPECT_EQ(m_messages.texts, std::vector<wxString>{Lang("IDS_ADD_SUCCESS")});
        }
    }
    EXPECT_EQ(Stored(), (Rows{{"0001", "First", "1", "1", "", ""},
                              {"0007", "   ", "1", "1", "", ""},
                              {"0999", "Last", "1", "99", "", ""}}));
    // Ready for the next one: one above the largest number, which is out of range.
    EXPECT_EQ(Text(1038), "1000");
    EXPECT_EQ(Text(1047), "20");
    Add("1000", "Next");
    EXPECT_EQ(Status(), Lang("IDS_INPUT_NUMBERERROR"));

    // A number box without a number: the whole-number message, nothing stored.
    m_messages.texts.clear();
    Add("abc", "Nobody");
    EXPECT_EQ(m_messages.texts, std::vector<wxString>{wxString::FromUTF8("请输入一个整数。")});
    EXPECT_EQ(Stored().size(), 3u);
}

TEST_F(Records, AddResetsTheFormKeepingOperatorAndPhoto) {
    Open();
    const std::string photo = m_folder.WritePhoto("pick/red.bmp", 0, 0, 255);
    m_dlg->m_strPhotoPath = wxString::FromUTF8(photo);
    Fill("42", "Anna", "33");
    Type(1044, "Dr. Lee");
    Type(1041, "555");
    m_dlg->GetDlgItemAs<wxRadioButton>(1059)->SetValue(true);
    Click(1049);
    EXPECT_EQ(m_folder.Rows("select Sex, Age, Operator, Phone, Photo from info"),
              (Rows{{"0", "33", "Dr. Lee", "555", m_folder.Bytes(photo)}}));
    EXPECT_EQ(Text(1038), "0043");
    EXPECT_EQ(Text(1039), "");
    EXPECT_EQ(Text(1041), "");
    EXPECT_EQ(Text(1047), "20");
    EXPECT_EQ(Text(1044), "Dr. Lee");
    EXPECT_TRUE(m_dlg->GetDlgItemAs<wxRadioButton>(1060)->GetValue());
    EXPECT_EQ(m_dlg->m_strPhotoPath, wxString::FromUTF8(photo));

    // Without a chosen photo the no-photo picture is stored; a photo file
    // that cannot be read stores nothing and says why.
    m_dlg->m_strPhotoPath = m_dlg->m_strNoPhoto;
    Add("2", "Ben");
    EXPECT_EQ(m_folder.Rows("select Photo from info where Name='Ben'"),
              (Rows{{m_folder.Bytes(m_folder.Path() + "standard/photo/women.bmp")}}));
    m_dlg->m_strPhotoPath = wxString::FromUTF8(m_folder.Path() + "gone.bmp");
    Add("3", "Cleo");
    EXPECT_TRUE(Status().StartsWith(Lang("IDS_WARN_CATCH")));
    EXPECT_TRUE(Status().Contains("gone.bmp"));
    EXPECT_TRUE(m_folder.Rows("select * from info where Name='Cleo'").empty());
}

TEST_F(Records, LongNameIsCutInTheListButModifiedAndDeletedWhole) {
    Open();
    const wxString longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";  // 30 characters
    Add("12", longName);
    Add("13", "Short");
    ASSERT_EQ(ListColumn(1), (std::vector<wxString>{longName.Left(19), "Short"}));
    EXPECT_EQ(record::FieldText(m_dlg->m_records[0].szName), longName.Left(19));

    Pick(0);
    EXPECT_EQ(Text(1039), longName);
    EXPECT_EQ(Text(1038), "0012");
    Type(1041, "777");
    Type(1038, "99");  // the number is not rewritten
    Click(1052);
    EXPECT_EQ(Stored()[0], (std::vector<std::string>{"0012", longName.utf8_string(), "1", "30", "777", ""}));

    plat::SetMessageBoxHook([](const wxString&, const wxString&, UINT) { return IDYES; });
    Pick(0);
    Click(1053);
    plat::SetMessageBoxHook({});
    EXPECT_EQ(Stored(), (Rows{{"0013", "Short", "1", "30", "", ""}}));
    EXPECT_EQ(ListColumn(1), (std::vector<wxString>{"Short"}));
    EXPECT_EQ(Status(), "");
}

TEST_F(Records, ModifyStripsBlanksAndRefusesAnEmptyName) {
    Open();
    Add("5", "   ");
    Add("6", "Zed");
    Pick(0);
    Type(1042, "a b@c.d");
    Click(1052);
    EXPECT_EQ(Status(), Lang("IDS_INPUT_NAMEERROR"));
    EXPECT_EQ(Stored()[0][5], "");

    Pick(1);
    Fill("6", "Zed  Zeta", "44");
    Type(1042, "z @z.z");
    Click(1052);
    EXPECT_EQ(Stored()[1], (std::vector<std::string>{"0006", "ZedZeta", "1", "44", "", "z@z.z"}));
    EXPECT_EQ(Text(1039), "Zed  Zeta");  // the form keeps what was typed

    // Nothing selected (the reload dropped the selection): nothing written.
    Type(1039, "Other");
    Click(1052);
    EXPECT_EQ(Status(), Lang("IDS_SELECT_FIRST"));
    EXPECT_EQ(Stored()[1][1], "ZedZeta");
}

TEST_F(Records, DeleteAsksFirstAndAnsweredNoChangesNothing) {
    Open();
    Add("1", "Ann");
    Add("2", "Bob");
    Pick(1);
    std::vector<wxString> asked;
    UINT answer = IDNO;
    plat::SetMessageBoxHook([&](const wxString& text, const wxString&, UINT) {
        asked.push_back(text);
        return static_cast<int>(answer);
    });
    Click(1053);
    EXPECT_EQ(Stored().size(), 2u);
    EXPECT_EQ(ListColumn(1), (std::vector<wxString>{"Ann", "Bob"}));
    EXPECT_EQ(Text(1039), "Bob");
    answer = IDYES;
    Click(1053);
    plat::SetMessageBoxHook({});
    EXPECT_EQ(asked, (std::vector<wxString>{Lang("IDS_DELETE_MAKESURE"), Lang("IDS_DELETE_MAKESURE")}));
    EXPECT_EQ(Stored(), (Rows{{"0001", "Ann", "1", "30", "", ""}}));
    EXPECT_EQ(Text(1039), "");
    EXPECT_EQ(Text(1038), "");
    EXPECT_EQ(m_dlg->m_strPhotoPath, m_dlg->m_strNoPhoto);

    // A customer removed behind the list's back is reported, not an error.
    ASSERT_TRUE(m_folder.Execute("delete from info"));
    answer = IDYES;
    plat::SetMessageBoxHook([&](const wxString&, const wxString&, UINT) { return static_cast<int>(answer); });
    Pick(0);
    Click(1053);
    plat::SetMessageBoxHook({});
    EXPECT_EQ(Status(), Lang("IDS_SEARCH_FAIL"));
    EXPECT_EQ(m_dlg->m_listUsers->GetItemCount(), 0);
}

TEST_F(Records, SearchByNumberOrWholeNameAndHandOverTheFoundCustomer) {
    Open();
    Add("3", "Carl");
    Add("12", "O'Neil");
    Add("20", "Dora");
    m_dlg->GetDlgItemAs<wxRadioButton>(1050)->SetValue(true);
    for (const char* text : {"12", "12abc", " 12"}) {
        SCOPED_TRACE(text);
        Click(1058);
        Type(1056, text);
        Click(1057);
        EXPECT_EQ(ListColumn(1), (std::vector<wxString>{"O'Neil"}));
    }
    // Nothing typed: nothing happens.  Nothing found: said so, the list kept.
    Type(1056, "");
    Click(1057);
    EXPECT_EQ(ListColumn(1), (std::vector<wxString>{"O'Neil"}));
    Type(1056, "abc");
    Click(1057);
    EXPECT_EQ(Status(), Lang("IDS_SEARCH_FAIL"));
    EXPECT_EQ(ListColumn(1), (std::vector<wxString>{"O'Neil"}));

    // By name, whole names only, the quote doubled in the query.
    m_dlg->GetDlgItemAs<wxRadioButton>(1051)->SetValue(true);
    Type(1056, "Dor");
    Click(1057);
    EXPECT_EQ(Status(), Lang("IDS_SEARCH_FAIL"));
    Type(1056, "dora");  // text comparison ignores case
    Click(1057);
    EXPECT_EQ(ListColumn(1), (std::vector<wxString>{"Dora"}));
    Type(1056, "O'Neil");
    Click(1057);
    ASSERT_EQ(ListColumn(1), (std::vector<wxString>{"O'Neil"}));

    // The found customer is the one handed over, not the first of the full list.
    Pick(0);
    EXPECT_EQ(Text(1039), "O'Neil");
    Type(1041, "123");
    Click(1052);
    EXPECT_EQ(m_folder.Rows("select Phone from info where Number='0012'"), (Rows{{"123"}}));
    Type(1056, "O'Neil");
    Click(1057);
    Pick(0);
    Click(1054);
    EXPECT_EQ(m_page.m_bCustomerChosen, 1);
    EXPECT_EQ(record::FieldText(m_page.m_curRecord.szName), "O'Neil");
    EXPECT_EQ(record::FieldText(m_page.m_curRecord.szPhone), "123");
}

TEST_F(Records, StartDetectionAndCloseEndTheDialogAndSetTheChosenFlag) {
    m_page.m_bCustomerChosen = 1;
    int ends[3] = {0, 0, 0};
    for (int run = 0; run < 3; ++run) {
        m_dlg = std::make_unique<CUserDataDlg>();
        wxTheApp->CallAfter([&, run] {
            if (run == 0) {
                Add("4", "Eve");
                Click(1054);  // nothing selected: the dialog stays
                EXPECT_EQ(Status(), Lang("IDS_SELECT_FIRST"));
                EXPECT_EQ(m_page.m_bCustomerChosen, 0);
                Pick(0);
                Type(1038, "");  // a number box without a number does not keep it open
                Click(1054);
            } else if (run == 1) {
                Click(1009);
            } else {
                m_dlg->Close();  // the system's close command
            }
        });
        ends[run] = m_dlg->DoModal();
        if (run == 0) {
            EXPECT_EQ(m_page.m_bCustomerChosen, 1);
            EXPECT_EQ(record::FieldText(m_page.m_curRecord.szName), "Eve");
        } else {
            EXPECT_EQ(m_page.m_bCustomerChosen, 0);
        }
    }
    EXPECT_EQ(ends[0], IDOK);
    EXPECT_EQ(ends[1], IDCANCEL);
    EXPECT_EQ(ends[2], IDCANCEL);
}

TEST_F(Records, ClickLoadsTheRowWithItsBirthdayAndPhoto) {
    Open();
    const std::string photo = m_folder.WritePhoto("pick/blue.bmp", 255, 0, 0);
    m_dlg->m_strPhotoPath = wxString::FromUTF8(photo);
    Add("8", "Fay");
    ASSERT_TRUE(m_folder.Execute("update info set Birthday='1990/05/17', Sex='x' where Number='0008'"));
    ASSERT_TRUE(m_folder.Execute("insert into info (Number, Name) values ('0009', 'NoPhoto')"));
    Click(1058);
    Pick(0);
    EXPECT_EQ(Text(1038), "0008");
    EXPECT_TRUE(m_dlg->GetDlgItemAs<wxRadioButton>(1060)->GetValue());  // only "0" is male
    EXPECT_TRUE(m_dlg->GetDlgItemAs<wxDatePickerCtrl>(1061)->GetValue().IsSameDate(
        wxDateTime(17, wxDateTime::May, 1990)));
    EXPECT_EQ(m_dlg->m_strPhotoPath, m_dlg->m_strPhotoTemp);
    EXPECT_EQ(m_folder.Bytes(m_dlg->m_strPhotoTemp.utf8_string()), m_folder.Bytes(photo));
    Pick(1);
    EXPECT_EQ(Text(1047), "0");
    EXPECT_EQ(m_dlg->m_strPhotoPath, m_dlg->m_strNoPhoto);
    EXPECT_TRUE(m_dlg->GetDlgItemAs<wxDatePickerCtrl>(1061)->GetValue().IsSameDate(
        wxDateTime(17, wxDateTime::May, 1990)));  // no date: the picker keeps its own
    // No row selected: the click changes nothing.
    Pick(-1);
    EXPECT_EQ(Text(1039), "NoPhoto");
}

TEST_F(Records, DatabaseThatCannotBeOpenedIsReportedOnTheStatusLine) {
    std::ofstream(m_folder.Database()) << "not a database";
    Open();
    EXPECT_TRUE(Status().StartsWith(Lang("IDS_WARN_CATCH")));
    EXPECT_GT(Status().length(), Lang("IDS_WARN_CATCH").length());
    EXPECT_EQ(Text(1038), "0");
    EXPECT_EQ(Text(1079), wxString::FromUTF8("姓名："));  // template texts stay
    Add("1", "Gus");
    EXPECT_EQ(Status(), Lang("IDS_OPEN_DATA_FAILED"));
    EXPECT_EQ(m_folder.Bytes(m_folder.Database()), "not a database");
}

TEST(RecordsLanguage, MissingKeyShowsTheMissingKeyText) {
    RecordsFolder folder("[Setting]\nIDS_MEMBER_NUMBER=No.\n");
    CUserDataDlg dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.GetDlgItemText(1079), "Not found:");
    EXPECT_EQ(dlg.GetDlgItemText(1051), "Not found");
    EXPECT_EQ(dlg.GetDlgItemText(1078), "No.:");
}

}  // namespace
