// The customer records dialog over a database in a scratch folder.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <cstdio>
#include <functional>
#include <future>
#include <memory>
#include <utility>

#include <wx/app.h>
#include <wx/datectrl.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>

#include <sqlite3.h>

#include "Records.h"
#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "customers/UserDataDlg.h"
#include "platform/PictureJob.h"
#include "platform/ado/Database.h"
#include "support/MessageRecorder.h"
#include "support/Pump.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<wxString>;

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
    }
    wxString Lang(const char* key) { return theApp.GetLangString(key); }
    wxString Text(int id) { return m_dlg->GetDlgItemText(id); }
    wxString Status() { return Text(1076); }
    void Type(int id, const wxString& text) { m_dlg->SetDlgItemText(id, text); }
    void Check(int id) { m_dlg->GetDlgItemAs<wxRadioButton>(id)->SetValue(true); }
    void Click(int id) {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(m_dlg->GetDlgItem(id));
        m_dlg->GetDlgItem(id)->GetEventHandler()->ProcessEvent(click);
    }
    void Add(const wxString& number, const wxString& name, const wxString& age = "30") {
        Type(1038, number);
        Type(1039, name);
        Type(1047, age);
        Click(1049);
    }
    void Search(const wxString& text) {
        Type(1056, text);
        Click(1057);
    }
    // Selects only list row `row`, as a program would: nothing is loaded.
    void Select(long row) {
        const long both = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
        for (long i = 0; i < m_dlg->m_listUsers->GetItemCount(); ++i)
            if (i == row || m_dlg->m_listUsers->GetItemState(i, both))
                m_dlg->m_listUsers->SetItemState(i, i == row ? both : 0, both);
    }
    // The Down key pressed in the list, the dialog's work after it done.
    void KeyDown() {
        m_dlg->Show();  // the keys move by what the list shows
        m_dlg->Update();
        wxWindow* rows = m_dlg->m_listUsers->GetTargetWindow();
        for (wxEventType type : {wxEVT_KEY_DOWN, wxEVT_CHAR}) {
            wxKeyEvent key(type);
            key.m_keyCode = WXK_DOWN;
            key.SetEventObject(rows);
            rows->GetEventHandler()->ProcessEvent(key);
        }
        wxTheApp->ProcessPendingEvents();
    }
    // Selects row `row` and clicks the list, as the mouse does, and lets the
    // photo box show the customer's photo, as the event loop does meanwhile.
    void Pick(long row) {
        Select(row);
        m_dlg->OnNMClickList();
        PumpUntil([&] { return !m_dlg->m_photoJob.Busy(); });
    }
    void AnswerDelete(int answer) {
        plat::SetMessageBoxHook([answer](const wxString&, const wxString&, UINT) { return answer; });
    }
    Texts Names() {
        Texts names;
        for (long i = 0; i < m_dlg->m_listUsers->GetItemCount(); ++i)
            names.push_back(m_dlg->m_listUsers->GetItemText(i, 1));
        return names;
    }
    Rows Stored() { return m_folder.Rows("select Number, Name, Age, Phone from info order by Number"); }

    RecordsFolder m_folder;
    CStartPageDlg m_page;
    MessageRecorder m_messages;
    std::unique_ptr<CUserDataDlg> m_dlg;
};

TEST_F(Records, AddChecksTheFormAndLeavesItReadyForTheNextCustomer) {
    Open();
    EXPECT_EQ(Text(1038), "0001");  // an empty table
    const struct {
        const char *number, *age, *name, *refusal;
    } cases[] = {
        {"0", "30", "A", "IDS_INPUT_NUMBERERROR"}, {"1000", "30", "A", "IDS_INPUT_NUMBERERROR"},
        {"5", "0", "A", "IDS_INPUT_NUMBERERROR"},  {"5", "100", "A", "IDS_INPUT_NUMBERERROR"},
        {"5", "30", "", "IDS_INPUT_NAMEERROR"},    {"1", "1", "First", nullptr},
        {"7", "1", "   ", nullptr},  // a name of blanks passes
        {"0007", "40", "Again", "IDS_INPUT_NUMBEREXIST"}, {"999", "99", "Last", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number + std::string(" ") + c.age + " '" + c.name + "'");
        m_messages.texts.clear();
        Add(c.number, c.name, c.age);
        EXPECT_EQ(Status(), c.refusal ? Lang(c.refusal) : wxString());
        EXPECT_EQ(m_messages.texts, c.refusal ? Texts{} : Texts{Lang("IDS_ADD_SUCCESS")});
        if (c.refusal) {
            EXPECT_EQ(Text(1039), c.name) << "left for the operator to correct";
        }
    }
    EXPECT_EQ(Stored(), (Rows{{"0001", "First", "1", ""}, {"0007", "   ", "1", ""}, {"0999", "Last", "99", ""}}));
    // Ready for the next one, numbered one above the largest: out of range.
    EXPECT_EQ(Text(1038), "1000");
    EXPECT_EQ(Text(1047), "20");
    EXPECT_EQ(Text(1044), "Operator");
    EXPECT_TRUE(m_dlg->GetDlgItemAs<wxRadioButton>(1060)->GetValue());
    Add("1000", "Next");
    EXPECT_EQ(Status(), Lang("IDS_INPUT_NUMBERERROR"));

    // A number box without a number: the whole-number message, nothing stored.
    m_messages.texts.clear();
    Add("abc", "Nobody");
    EXPECT_EQ(m_messages.texts, Texts{wxString::FromUTF8("请输入一个整数。")});
    EXPECT_EQ(Stored().size(), 3u);
}

TEST_F(Records, LongAndQuotedNamesAreModifiedAndDeletedWhole) {
    Open();
    const wxString longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";  // 30 characters, 19 in the record
    Add("12", longName);
    Add("13", "O'Neil");
    Add("14", "   ");
    ASSERT_EQ(Names(), (Texts{longName.Left(19), "O'Neil", "   "}));

    Pick(0);
    EXPECT_EQ(Text(1039), longName);
    Type(1041, "777");
    Type(1038, "99");  // the number is never rewritten
    Click(1052);
    Pick(1);
    EXPECT_EQ(Text(1038), "0013");
    Type(1039, "O'Neil  Jr");  // blanks are taken out
    Click(1052);
    Pick(2);
    Click(1052);  // blanks only: no name left
    EXPECT_EQ(Status(), Lang("IDS_INPUT_NAMEERROR"));
    EXPECT_EQ(Stored(), (Rows{{"0012", longName.utf8_string(), "30", "777"},
                              {"0013", "O'NeilJr", "30", ""},
                              {"0014", "   ", "30", ""}}));

    Pick(0);
    AnswerDelete(IDNO);
    Click(1053);
    EXPECT_EQ(Stored().size(), 3u);
    EXPECT_EQ(Text(1039), longName);
    AnswerDelete(IDYES);
    Click(1053);
    Pick(0);
    Click(1053);
    EXPECT_EQ(Stored(), (Rows{{"0014", "   ", "30", ""}}));
    EXPECT_EQ(Names(), Texts{"   "});
    EXPECT_EQ(Text(1039), "");  // the form cleared, the no-photo picture back
    EXPECT_EQ(Text(1038), "");
    EXPECT_EQ(m_dlg->m_strPhotoPath, m_dlg->m_strNoPhoto);

    // Nothing selected, or a customer gone behind the list's back: said so,
    // and the customer loaded before is neither modified nor deleted.
    Click(1053);
    EXPECT_EQ(Status(), Lang("IDS_SELECT_FIRST"));
    Add("15", "Kim");
    Pick(0);
    // The engine gives the new row the deleted row's identity.
    ASSERT_TRUE(m_folder.Execute("delete from info where Name = 'Kim';"
                                 "insert into info (Number, Name) values ('0016', 'Lee')"));
    Pick(1);
    EXPECT_EQ(Status(), theApp.GetLangString(lang::kRowGone));
    Type(1039, "Zed");
    for (int button : {1052, 1053}) {
        Click(button);
        EXPECT_EQ(Status(), Lang("IDS_SELECT_FIRST")) << button;
    }
    EXPECT_EQ(Stored(), (Rows{{"0014", "   ", "30", ""}, {"0016", "Lee", "<null>", "<null>"}}));
    plat::SetMessageBoxHook({});
}

TEST_F(Records, ModifyWritesTheCustomerTheFormWasLoadedFromNotTheSelectedRow) {
    Open();
    Add("1", "Ann");
    Add("2", "Bob");
    Select(1);  // nothing loaded yet
    Type(1039, "Zed");
    Click(1052);
    EXPECT_EQ(Status(), Lang("IDS_SELECT_FIRST"));

    Pick(0);
    Select(1);
    Type(1039, "Ann Lee");
    Type(1041, "555");
    Click(1052);
    Type(1041, "666");
    Click(1052);  // still found under the name it now has
    EXPECT_EQ(Stored(), (Rows{{"0001", "AnnLee", "30", "666"}, {"0002", "Bob", "30", ""}}));
}

// The customer selected with the keyboard is loaded as a click loads it, and
// Start detection and Delete act on it only while its row holds exactly what
// the operator sees: not once another program deleted or changed it, or
// rewrote the table so that two twins swapped their places.
TEST_F(Records, StartDetectionAndDeleteActOnlyOnTheCustomerShown) {
    const char* const changes[] = {
        nullptr,
        "DELETE FROM info WHERE Phone = '222'",
        "UPDATE info SET Remark = 'seen' WHERE Phone = '222'",
        "UPDATE info SET Phone = CASE Phone WHEN '111' THEN '222' ELSE '111' END,"
        " Age = CASE Age WHEN '30' THEN '40' ELSE '30' END",
    };
    Open();  // the database made
    AnswerDelete(IDYES);
    for (int button : {1054, 1053}) {
        for (const char* change : changes) {
            SCOPED_TRACE(std::to_string(button) + " " + (change ? change : "unchanged"));
            m_dlg.reset();
            ASSERT_TRUE(m_folder.Execute("DELETE FROM info; INSERT INTO info (Number, Name, Phone, Age) VALUES"
                                         " ('0001', 'Alice', '111', '30'), ('0001', 'Alice', '222', '40')"));
            Open();
            Pick(0);
            KeyDown();
            EXPECT_EQ((Texts{Text(1041), Text(1047)}), (Texts{"222", "40"}));
            if (change) {
                ASSERT_TRUE(m_folder.Execute(change));
            }
            const Rows before = m_folder.Rows("select Phone, Age from info");
            m_page.m_curRecord = UserRecord{};
            Click(button);
            EXPECT_EQ(Status(), change ? theApp.GetLangString(lang::kRowGone) : wxString());
            EXPECT_EQ(m_page.m_bCustomerChosen, button == 1054 && !change);
            if (button == 1054 && !change) {
                EXPECT_EQ(record::FieldText(m_page.m_curRecord.szPhone), "222");
            }
            const Rows left = button == 1053 && !change ? Rows{{"111", "30"}} : before;
            EXPECT_EQ(m_folder.Rows("select Phone, Age from info"), left);
        }
    }
    plat::SetMessageBoxHook({});
}

// Rows another program left, in a table whose columns have no declared type
// (so a number stays a number and a text stays a text): each is loaded by a
// click, modified, handed over and deleted, and no other row is touched.
TEST_F(Records, RowsAnotherProgramLeftAreEachLoadedModifiedAndDeletedThemselves) {
    ASSERT_TRUE(m_folder.Execute(
        "CREATE TABLE info (Number COLLATE NOCASE, Name COLLATE NOCASE, Sex, Age, Birthday, Phone, Email, Address,"
        " Operator, Remark, Photo);"
        "INSERT INTO info (Number, Name, Sex, Age, Phone) VALUES ('0002', CAST(x'D5C5C8FD' AS TEXT), '1', '30', 'a'),"
        " ('0003', x'C4E3', '1', '30', 'b'), ('0004', NULL, '1', '30', 'c'), (5, 'Int', '1', '30', 'd'),"
        " ('0007', 'Dup', '1', '30', 'e'), ('0007', 'Dup', '1', '30', 'f'), ('0008', 'abc', '1', '30', 'g'),"
        " ('0008', 'ABC', '1', '30', 'h')"));
    Open();
    const struct {
        const char *number, *name, *typed;  // as the form shows them; a name typed for Modify
    } rows[] = {{"0002", "张三", nullptr}, {"0003", "[BLOB]", nullptr}, {"0004", "", "Nil"},
                {"0005", "Int", nullptr},  {"0007", "Dup", nullptr},    {"0007", "Dup", nullptr},
                {"0008", "abc", nullptr},  {"0008", "ABC", nullptr}};
    const long n = std::size(rows);
    // Found by the name the list shows, in whatever encoding it is stored.
    Search(wxString::FromUTF8("张三"));
    EXPECT_EQ(Names(), Texts{wxString::FromUTF8("张三")});
    Click(1058);
    for (long i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        Pick(i);
        EXPECT_EQ(Status(), wxString());
        EXPECT_EQ((Texts{Text(1038), Text(1039), Text(1041)}),
                  (Texts{rows[i].number, wxString::FromUTF8(rows[i].name), wxString(char('a' + i))}));
        if (rows[i].typed) Type(1039, rows[i].typed);
        Type(1041, std::to_string(i));
        Click(1052);
        EXPECT_EQ(Status(), wxString());
        Select(i);
        Click(1054);
        EXPECT_EQ(record::FieldText(m_page.m_curRecord.szPhone), std::to_string(i));
        Click(1058);  // the connection Start detection closed, opened again
    }
    // Only the phones changed (and the name typed), each where it was typed.
    EXPECT_EQ(m_folder.Rows("select printf('%s %s %s %s %s %s %s', hex(Number), typeof(Number), hex(Name),"
                            " typeof(Name), typeof(Sex), typeof(Age), Phone) from info"),
              (Rows{{"30303032 text D5C5C8FD text text text 0"}, {"30303033 text C4E3 blob text text 1"},
                    {"30303034 text 4E696C text text text 2"}, {"35 integer 496E74 text text text 3"},
                    {"30303037 text 447570 text text text 4"}, {"30303037 text 447570 text text text 5"},
                    {"30303038 text 616263 text text text 6"}, {"30303038 text 414243 text text text 7"}}));
    AnswerDelete(IDYES);
    Rows left = m_folder.Rows("select Phone from info");
    for (long i = n - 1; i >= 0; --i) {
        Pick(i);
        Click(1053);
        left.pop_back();
        EXPECT_EQ(m_folder.Rows("select Phone from info"), left) << i;
    }
    plat::SetMessageBoxHook({});
}

TEST_F(Records, SearchFindsByNumberOrWholeNameAndStartDetectionHandsOverTheFoundCustomer) {
    m_dlg = std::make_unique<CUserDataDlg>();
    wxTheApp->CallAfter([&] {
        Add("3", "Carl");
        Add("12", "O'Neil");
        Add("20", "Dora");
        Check(1050);
        for (const char* text : {"12", "12abc", " 12"}) {
            Click(1058);
            Search(text);
            EXPECT_EQ(Names(), Texts{"O'Neil"}) << text;
        }
        Search("");  // nothing to look for: nothing happens
        Search("abc");
        EXPECT_EQ(Status(), Lang("IDS_SEARCH_FAIL"));
        EXPECT_EQ(Names(), Texts{"O'Neil"});  // the list kept
        Check(1051);
        Search("Dor");
        EXPECT_EQ(Status(), Lang("IDS_SEARCH_FAIL"));
        Search("O'Neil");
        EXPECT_EQ(Names(), Texts{"O'Neil"});
        // The customer handed over is the one found, not row 0 of the full
        // list, also when another program stored it since the list was loaded
        // in the place of the last customer, which it deleted.
        ASSERT_TRUE(m_folder.Execute("delete from info where Name = 'Dora';"
                                     "insert into info (Number, Name) values ('0030', 'Zoe')"));
        Search("Zoe");
        Pick(0);
        Type(1038, "");  // a number box without a number does not keep the dialog open
        Click(1054);
        if (!Status().empty()) m_dlg->EndDialog(IDCANCEL);
    });
    EXPECT_EQ(m_dlg->DoModal(), IDOK);
    EXPECT_EQ(m_page.m_bCustomerChosen, 1);
    EXPECT_EQ(record::FieldText(m_page.m_curRecord.szName), "Zoe");
}

TEST_F(Records, CloseAndStartDetectionWithoutASelectionLeaveNoCustomerChosen) {
    for (int run = 0; run < 2; ++run) {
        m_page.m_bCustomerChosen = 1;
        m_dlg = std::make_unique<CUserDataDlg>();
        wxTheApp->CallAfter([&, run] {
            Click(1054);  // nothing selected: the dialog stays
            EXPECT_EQ(Status(), Lang("IDS_SELECT_FIRST"));
            EXPECT_EQ(m_page.m_bCustomerChosen, 0);
            m_page.m_bCustomerChosen = 1;
            run == 0 ? Click(1009) : (void)m_dlg->Close();  // the button, then the system's close
        });
        EXPECT_EQ(m_dlg->DoModal(), IDCANCEL);
        EXPECT_EQ(m_page.m_bCustomerChosen, run == 0 ? 0 : 1);
    }
}

TEST_F(Records, PhotoAndBirthdayGoInAndComeBackOut) {
    Open();
    const std::string photo = m_folder.WritePhoto("pick/blue.bmp", 255, 0, 0);
    m_dlg->m_strPhotoPath = wxString::FromUTF8(photo);
    Add("8", "Fay");
    m_dlg->m_strPhotoPath = m_dlg->m_strNoPhoto;
    Add("9", "Gil");  // without a chosen photo the no-photo picture is stored
    ASSERT_TRUE(m_folder.Execute("update info set Birthday='1990/05/17' where Number='0008'"));
    ASSERT_TRUE(m_folder.Execute("insert into info (Number, Name) values ('0010', 'Nil')"));
    const std::string noPhoto = m_folder.Bytes(m_folder.Path() + "standard/photo/women.bmp");
    EXPECT_EQ(m_folder.Rows("select Photo from info where Name='Gil'"), Rows{{noPhoto}});
    Click(1058);
    Pick(0);
    EXPECT_TRUE(m_dlg->GetDlgItemAs<wxDatePickerCtrl>(1061)->GetValue().IsSameDate(
        wxDateTime(17, wxDateTime::May, 1990)));
    EXPECT_EQ(m_dlg->m_strPhotoPath, m_dlg->m_strPhotoTemp);
    EXPECT_EQ(m_folder.Bytes(m_dlg->m_strPhotoTemp.utf8_string()), m_folder.Bytes(photo));
    // The photo cannot be taken out: said so, and a Modify keeps the stored one.
    m_dlg->m_strPhotoTemp = wxString::FromUTF8(m_folder.Path() + "no-such-folder/default.bmp");
    Pick(0);
    EXPECT_TRUE(
        Status().StartsWith(plat::Text(lang::kPhotoNotWritten, m_dlg->m_strPhotoTemp)));
    Type(1041, "444");
    Click(1052);
    EXPECT_TRUE(m_folder.Rows("select Phone, Photo from info where Name='Fay'") ==
                (Rows{{"444", m_folder.Bytes(photo)}}));
    Add("15", "Ivy");  // stores the picture the box shows
    EXPECT_TRUE(m_folder.Rows("select Photo from info where Name='Ivy'") == Rows{{noPhoto}});
    Pick(2);
    EXPECT_EQ(m_dlg->m_strPhotoPath, m_dlg->m_strNoPhoto);
    // A stored photo the box cannot show is said, and Add does not store it again.
    ASSERT_TRUE(m_folder.Execute("update info set Photo = x'0102' where Name='Nil'"));
    m_dlg->m_strPhotoTemp = wxString::FromUTF8(m_folder.Path() + "standard/photo/default.bmp");
    Pick(2);
    EXPECT_EQ(Status(), plat::Text(lang::kStoredPhotoNotShown) + " " + plat::Text(lang::kPictureNotTaken));
    EXPECT_EQ(m_dlg->m_strPhotoPath, "");

    // A photo that cannot be read stores nothing, and says which file.
    m_dlg->m_strPhotoPath = wxString::FromUTF8(m_folder.Path() + "gone.bmp");
    m_dlg->m_bPhotoChosen = true;
    Type(1041, "555");
    Type(1047, "30");
    Click(1052);
    Type(1045, "allergic to latex");
    Add("11", "Hal");
    EXPECT_EQ(Status(), plat::Text(lang::kPhotoNotRead, m_dlg->m_strPhotoPath) + "\n" + plat::Text(lang::kFileGone));
    // Nothing stored, nothing typed lost.
    EXPECT_EQ((Texts{Text(1038), Text(1039), Text(1041), Text(1045)}), (Texts{"11", "Hal", "555", "allergic to latex"}));
    EXPECT_EQ(Stored(),
              (Rows{{"0008", "Fay", "30", "444"}, {"0009", "Gil", "30", ""}, {"0010", "Nil", "<null>", "<null>"},
                    {"0015", "Ivy", "30", "444"}}));
}

// The photo the operator chooses, through the dialog's own handler.
class ChoosingDlg : public CUserDataDlg {
public:
    std::string chosen;
    void Choose(const std::string& path) {
        chosen = path;
        OnStnDblclickPhoto();
    }

protected:
    bool AskPhotoFile(wxString& path) override {
        path = wxString::FromUTF8(chosen);
        return true;
    }
};

// A chosen photo is decoded off the dialog's thread, and stored only as it
// was shown: a file replaced or gone since is refused with the pack's words.
TEST_F(Records, APhotoIsDecodedWhileTheDialogAnswersAndStoredOnlyAsItWasShown) {
    auto* dlg = new ChoosingDlg;
    m_dlg.reset(dlg);
    ASSERT_TRUE(dlg->Create());
    const std::string slow = m_folder.WritePhoto("pick/slow.bmp", 255, 0, 0);
    const std::string photo = m_folder.WritePhoto("pick/photo.bmp", 0, 255, 0);
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    plat::PictureJob::SetStartHookForTesting([&](const std::string& path) {
        if (path == slow) released.wait();
    });
    dlg->Choose(slow);  // held in its decode: the handler has returned
    EXPECT_EQ(dlg->m_strPhotoPath, dlg->m_strNoPhoto);
    Add("5", "Una");
    EXPECT_EQ(Status(), plat::Text(lang::kPhotoStillLoading));
    dlg->Choose(photo);  // takes the place of the held one
    release.set_value();
    EXPECT_TRUE(PumpUntil([&] { return dlg->m_strPhotoPath == wxString::FromUTF8(photo) && !dlg->m_photoJob.Busy(); }));
    plat::PictureJob::SetStartHookForTesting({});

    // An editor saves another picture over it (a new file moved into place).
    const std::string other = m_folder.WritePhoto("pick/other.bmp", 0, 0, 255);
    ASSERT_EQ(std::rename(other.c_str(), photo.c_str()), 0);
    Add("5", "Una");
    EXPECT_EQ(Status(), plat::Text(lang::kPhotoNotRead, wxString::FromUTF8(photo)) + "\n" +
                            plat::Text(lang::kPhotoChangedSinceShown));
    std::remove(photo.c_str());
    Add("5", "Una");
    EXPECT_EQ(Status(), plat::Text(lang::kPhotoNotRead, wxString::FromUTF8(photo)) + "\n" + plat::Text(lang::kFileGone));
    EXPECT_EQ(Stored(), Rows{});

    // A readable photo at a path longer than the dialog takes: refused for that.
    const std::string deep = m_folder.WritePhoto(std::string(120, 'd') + "/" + std::string(120, 'e') + "/p.bmp", 1, 2, 3);
    dlg->Choose(deep);
    EXPECT_TRUE(PumpUntil([&] { return !Status().empty(); }));
    EXPECT_EQ(Status(), plat::Text(lang::kPhotoNotShown, "p.bmp") + " " + plat::Text(lang::kPicturePathTooLong));
}

TEST_F(Records, DatabaseThatCannotBeOpenedIsReportedAndLeftAsItIs) {
    std::ofstream(m_folder.Database()) << "not a database";
    Open();
    EXPECT_TRUE(Status().StartsWith(Lang("IDS_WARN_CATCH")));
    EXPECT_EQ(Text(1038), "0");
    EXPECT_EQ(Text(1079), Lang("IDS_MEMBER_NAME") + ":");  // the captions whatever the database
    Add("1", "Gus");
    EXPECT_EQ(Status(), Lang("IDS_OPEN_DATA_FAILED"));
    EXPECT_EQ(m_folder.Bytes(m_folder.Database()), "not a database");
}

// Another program on the same file (a second station, a viewer, a sync tool)
// holds it locked or changes it: nothing it did is lost or doubled, nothing
// is shown that the database does not hold, and the dialog recovers.
TEST_F(Records, AnotherProgramsLocksAndChangesAreNeitherLostNorDoubled) {
    // Restored whatever the test's end: later tests wait the normal time.
    struct BusyTimeout {
        BusyTimeout() { SetBusyTimeoutForTesting(50); }
        ~BusyTimeout() { SetBusyTimeoutForTesting(0); }
    } busyTimeout;
    auto lock = [&] {
        sqlite3* other = nullptr;
        sqlite3_open(m_folder.Database().c_str(), &other);
        EXPECT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        return std::unique_ptr<sqlite3, int (*)(sqlite3*)>(other, sqlite3_close);  // ends its transaction
    };
    const wxString busy = Lang("IDS_WARN_CATCH") + theApp.GetLangString(lang::kDatabaseBusy) + "\ndatabase is locked";
    Open();
    Add("1", "Ann");
    Add("2", "Bob");
    m_dlg.reset();

    // Opened while the file is held: said, then working once it is let go.
    auto held = lock();
    Open();
    EXPECT_EQ(Status(), busy);
    Click(1058);
    held.reset();
    Click(1058);
    EXPECT_EQ(Names(), (Texts{"Ann", "Bob"}));
    EXPECT_EQ(Text(1038), "0003");

    // A Delete the database refuses leaves the customer listed and stored.
    Pick(1);
    AnswerDelete(IDYES);
    held = lock();
    Click(1053);
    held.reset();
    plat::SetMessageBoxHook({});
    EXPECT_EQ(Status(), busy);
    EXPECT_EQ(Names(), (Texts{"Ann", "Bob"}));
    EXPECT_EQ(Stored().size(), 2u);
    Type(1041, "321");  // the form still holds Bob
    Click(1052);
    EXPECT_EQ(Stored()[1], (std::vector<std::string>{"0002", "Bob", "30", "321"}));

    // A number another program stores while Add waits for the file: it held
    // the file for writing, and stores the number and lets go the first time
    // Add's connection waits for it.
    held = lock();
    sqlite3* other = held.get();
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK; BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3* dialog = m_dlg->m_pConnection->GetDatabase()->Handle();
    sqlite3_busy_handler(
        dialog,
        [](void* store, int waits) -> int {
            return waits == 0 && sqlite3_exec(static_cast<sqlite3*>(store),
                                              "INSERT INTO info (Number, Name) VALUES ('0003', 'Cid'); COMMIT",
                                              nullptr, nullptr, nullptr) == SQLITE_OK;
        },
        other);
    Add("3", "Dan");
    sqlite3_busy_timeout(dialog, 50);
    held.reset();
    EXPECT_EQ(Status(), Lang("IDS_INPUT_NUMBEREXIST"));
    EXPECT_EQ(m_folder.Rows("select Name from info where Number = '0003'"), Rows{{"Cid"}});

    // A customer another program changed since the click is not written over;
    // the form keeps what was typed, and after a new click Modify writes.
    Pick(0);
    ASSERT_TRUE(m_folder.Execute("UPDATE info SET Phone = '999' WHERE Name = 'Ann'"));
    Type(1041, "555");
    Type(1045, "allergic");
    Click(1052);
    EXPECT_EQ(Status(), Lang("IDS_CHANGED_BY_OTHER"));
    EXPECT_EQ((Texts{Text(1041), Text(1045)}), (Texts{"555", "allergic"}));
    EXPECT_EQ(m_folder.Rows("select Phone, Remark from info where Name = 'Ann'"), (Rows{{"999", ""}}));
    Pick(0);
    EXPECT_EQ(Text(1041), "999");
    Type(1045, "allergic");
    Click(1052);
    EXPECT_EQ(Status(), wxString());
    EXPECT_EQ(m_folder.Rows("select Phone, Remark from info where Name = 'Ann'"), (Rows{{"999", "allergic"}}));

    // A remark in another program's code page, shown in it, and photos
    // another program stored after the click, over one and where there was
    // none: a Modify of the phone, and another, leave all of them as they are.
    ASSERT_TRUE(m_folder.Execute("UPDATE info SET Remark = CAST(x'C4E3BAC3' AS TEXT) WHERE Name = 'Ann';"
                                 "UPDATE info SET Photo = NULL WHERE Name = 'Bob'"));
    const wxString shown[] = {wxString::FromUTF8("你好"), ""};
    for (long row : {0, 1}) {
        Pick(row);
        EXPECT_EQ(Text(1045), shown[row]);
        ASSERT_TRUE(m_folder.Execute("UPDATE info SET Photo = x'0102' WHERE Number = '000" + std::to_string(row + 1) +
                                     "'"));
        Type(1041, "12" + std::to_string(row));
        Click(1052);
        EXPECT_EQ(Status(), wxString());
        Click(1052);  // the form unchanged
        EXPECT_EQ(Status(), wxString());
    }
    EXPECT_EQ(m_folder.Rows("select Phone, hex(Remark), typeof(Remark), Photo = x'0102' from info where Number < '0003'"),
              (Rows{{"120", "C4E3BAC3", "text", "1"}, {"121", "", "text", "1"}}));

    // Stored, but another program takes the file as the list is read again
    // after the commit: said instead of the success, listed once it is free.
    std::function<void()> take = [&] { held = lock(); };
    auto onStatement = [](unsigned, void* hook, void* st, void*) {
        auto& take = *static_cast<std::function<void()>*>(hook);
        if (take && std::strstr(sqlite3_sql(static_cast<sqlite3_stmt*>(st)), "SELECT _rowid_") &&
            sqlite3_get_autocommit(sqlite3_db_handle(static_cast<sqlite3_stmt*>(st))))
            std::exchange(take, nullptr)();
        return 0;
    };
    sqlite3_trace_v2(dialog, SQLITE_TRACE_STMT, onStatement, &take);
    MessageRecorder boxes;
    Add("4", "Eve");
    held.reset();
    EXPECT_EQ(Status(), theApp.GetLangString(lang::kStoredNotListed));
    EXPECT_EQ(boxes.texts, Texts{});
    Click(1058);
    EXPECT_EQ(Names(), (Texts{"Ann", "Bob", "Cid", "Eve"}));

    // Another program deletes a customer once the list's reading has begun:
    // the list is the file before or after it, whole, never a part of it.
    struct AfterReading {
        RecordsFolder* folder;
        bool began = false, deleted = false;
    } after{&m_folder};
    auto deleteOnce = [](unsigned, void* hook, void* st, void*) {
        auto& a = *static_cast<AfterReading*>(hook);
        if (a.began && !a.deleted) a.deleted = a.folder->Execute("DELETE FROM info WHERE Name = 'Bob'");
        if (std::strstr(sqlite3_sql(static_cast<sqlite3_stmt*>(st)), "SELECT _rowid_")) a.began = true;
        return 0;
    };
    sqlite3_trace_v2(dialog, SQLITE_TRACE_STMT, deleteOnce, &after);
    Click(1058);
    sqlite3_trace_v2(dialog, 0, nullptr, nullptr);
    EXPECT_TRUE(after.deleted);
    EXPECT_EQ(Status(), wxString());
    const Texts listed = Names();
    EXPECT_TRUE(listed == (Texts{"Ann", "Bob", "Cid", "Eve"}) || listed == (Texts{"Ann", "Cid", "Eve"}));
    // A list that cannot be read again keeps what it showed, and says so.
    held = lock();
    Click(1058);
    held.reset();
    EXPECT_EQ(Names(), listed);
    EXPECT_EQ(Status(), Lang("IDS_WARN_CATCH") + theApp.GetLangString(lang::kDatabaseBusy) + "\n" +
                            theApp.GetLangString(lang::kListKept));
}

TEST(RecordsLanguage, MissingKeyShowsItsEnglish) {
    RecordsFolder folder("[Setting]\nIDS_MEMBER_NUMBER=No.\n");
    CUserDataDlg dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(dlg.GetDlgItemText(1078), "No.:");
    EXPECT_EQ(dlg.GetDlgItemText(1079), "Name:");
    EXPECT_EQ(dlg.GetDlgItemText(1051), "Name");
}

}  // namespace
