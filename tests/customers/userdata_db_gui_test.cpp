// The customer dialog's database side on a real window.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <string>

#include <wx/listctrl.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "customers/UserDataDlg.h"
#include "support/TempDir.h"

namespace {

const plat::DlgControl kControls[] = {
    {1048, plat::Ctl::ListView, plat::cs::TabStop | plat::cs::Border, 167, 83, 400, 289, L""},
    {1076, plat::Ctl::Static, 0, 174, 65, 377, 11, L""},
};
const plat::DlgTemplate kTemplate = {233, 585, 391, L"", plat::ds::Popup, L"MS Shell Dlg", 8, kControls};

class UserDataDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_strLangIni = wxString::FromUTF8(dir.Write(
            "pack.ini", "[Setting]\nIDS_MEMBER_SEX_MEN=男\nIDS_MEMBER_SEX_WOMEN=女\nIDS_WARN_CATCH=出错：\n"));
        ASSERT_TRUE(dlg.Create());
        dlg.m_listUsers = dlg.GetDlgItemAs<wxListCtrl>(1048);
        ASSERT_TRUE(dlg.m_listUsers);
        for (int c = 0; c < 6; ++c) dlg.m_listUsers->InsertColumn(c, wxString::Format("%d", c));
        dlg.m_strDbPath = wxString::FromUTF8(dir.File("UserData.mdb"));
    }
    void TearDown() override { theApp.m_strLangIni.clear(); }
    void Connect() {
        dlg.m_pConnection.CreateInstance();
        dlg.m_pConnection->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dlg.m_strDbPath, "", "", 0);
    }
    // Rows written as another program would, so that nulls and odd texts are stored as they are.
    void Exec(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(dlg.m_strDbPath.utf8_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
    std::string Cell(long row, int column) {
        return dlg.m_listUsers->GetItemText(row, column).utf8_string();
    }
    TempDir dir;
    CUserDataDlg dlg{kTemplate};
};

TEST_F(UserDataDbTest, MissingDatabaseIsMadeEmptyAndNeverWrittenOver) {
    ASSERT_TRUE(dlg.WriteDatabaseFromResource());
    Connect();
    dlg.LoadRecords();
    EXPECT_TRUE(dlg.m_records.empty());
    EXPECT_EQ(dlg.m_listUsers->GetItemCount(), 0);
    EXPECT_EQ(dlg.m_nMaxNumber, 0);
    EXPECT_FALSE(dlg.m_pRecordset);

    Exec("INSERT INTO info (Number) VALUES ('0001')");
    const std::string stored = TempDir::Read(dir.File("UserData.mdb"));
    EXPECT_FALSE(dlg.WriteDatabaseFromResource());
    EXPECT_EQ(TempDir::Read(dir.File("UserData.mdb")), stored);
}

TEST_F(UserDataDbTest, RowsLoadIntoRecordsAndListInStoredOrder) {
    ASSERT_TRUE(dlg.WriteDatabaseFromResource());
    const std::string longName(30, 'n');
    Exec("INSERT INTO info (Number, Name, Sex, Age, Birthday, Phone, Email, Address, Operator, Remark) VALUES "
         "('0003', 'Ann', '1', '31', '1990/01/02', '555', 'a@b', 'Street', 'Op', '%d and %%'),"
         "('0012', '" + longName + "', '0', 40, NULL, NULL, NULL, NULL, NULL, NULL),"
         "('abc', 'Cy', '', NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
         "('0007', 'Di', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    Connect();
    dlg.m_nMaxNumber = 99;
    dlg.LoadRecords();

    EXPECT_EQ(dlg.m_nMaxNumber, 12);
    ASSERT_EQ(dlg.m_records.size(), 4u);
    ASSERT_EQ(dlg.m_listUsers->GetItemCount(), 4);
    const char* numbers[] = {"0003", "0012", "abc", "0007"};
    const char* sexes[] = {"女", "男", "女", "女"};  // only "0" is male; "1", empty and null female
    for (long i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const UserRecord& r = dlg.m_records[i];
        EXPECT_EQ(record::FieldText(r.szNumber).utf8_string(), numbers[i]);
        EXPECT_EQ(record::FieldText(r.szSex).utf8_string(), sexes[i]);
        EXPECT_EQ(r.bChosen, 0);
        for (int c = 0; c < 6; ++c) {
            const char16_t* fields[] = {r.szNumber, r.szName, r.szSex, r.szAge, r.szBirthday, r.szPhone};
            const std::size_t sizes[] = {8, 20, 4, 4, 20, 20};
            EXPECT_EQ(Cell(i, c), record::FieldText(fields[c], sizes[c]).utf8_string()) << "column " << c;
        }
    }
    const UserRecord& ann = dlg.m_records[0];
    EXPECT_EQ(record::FieldText(ann.szRemark), "%d and %%");
    EXPECT_EQ(record::FieldText(ann.szEmail), "a@b");
    EXPECT_EQ(record::FieldText(ann.szOperator), "Op");
    EXPECT_EQ(record::FieldText(ann.szAddress), "Street");
    EXPECT_EQ(Cell(0, 4), "1990/01/02");
    EXPECT_EQ(Cell(1, 1), std::string(19, 'n'));
    EXPECT_EQ(Cell(1, 3), "40");  // an integer in a text column reads as its text
}

TEST_F(UserDataDbTest, DatabaseErrorsShowOnTheStatusLine) {
    ASSERT_TRUE(dlg.WriteDatabaseFromResource());
    Exec("INSERT INTO info (Number) VALUES ('0005')");
    Connect();
    dlg.LoadRecords();
    ASSERT_EQ(dlg.m_records.size(), 1u);

    EXPECT_FALSE(dlg.OpenRecordset(dlg.m_pRecordset, "select * from info where Name='it's'"));
    EXPECT_FALSE(dlg.m_pRecordset);
    EXPECT_EQ(dlg.GetDlgItemText(1076).utf8_string(), "出错：near \"s\": syntax error");

    // Without a usable table the list keeps what it showed, and says so.
    Exec("DROP TABLE info");
    dlg.LoadRecords();
    EXPECT_EQ(dlg.GetDlgItemText(1076), wxString::FromUTF8("出错：no such table: info\n") + theApp.GetLangString(lang::kListKept));
    EXPECT_EQ(dlg.m_records.size(), 1u);
    EXPECT_EQ(dlg.m_listUsers->GetItemCount(), 1);
    EXPECT_EQ(dlg.m_nMaxNumber, 5);

    // No connection at all.
    dlg.m_pConnection.Release();
    EXPECT_FALSE(dlg.OpenRecordset(dlg.m_pRecordset, "select * from info"));
    EXPECT_EQ(dlg.GetDlgItemText(1076).utf8_string(), "出错：There is no database connection.");
}

}  // namespace
