// The database layer over SQLite files in a scratch folder, made from the
// embedded template as the customer dialog makes them.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Resources.h"
#include "platform/ado/Ado.h"
#include "platform/ado/Database.h"
#include "support/TempDir.h"

namespace {

std::vector<BYTE> Pattern(std::size_t n) {
    std::vector<BYTE> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<BYTE>(i * 7 + 3);
    return v;
}

class AdoTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResourceBlob blob = plat::FindResource(270, "MDB");
        ASSERT_TRUE(blob);
        path = dir.Write("UserData.mdb", std::string(reinterpret_cast<const char*>(blob.data), blob.size));
        conn = Connect();
    }
    _ConnectionPtr Connect() const {
        _ConnectionPtr c;
        c.CreateInstance();
        c->Open(Source(path));
        return c;
    }
    static wxString Source(const std::string& file) {
        return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + wxString::FromUTF8(file);
    }
    // On the test's connection, or on `on` (another program's, say).
    _RecordsetPtr Query(const wxString& sql, const _ConnectionPtr* on = nullptr) {
        _RecordsetPtr rs;
        rs.CreateInstance();
        rs->Open(sql, on ? *on : conn, adOpenDynamic, adLockOptimistic, adCmdText);
        return rs;
    }
    void Add(std::vector<std::pair<const char*, _variant_t>> values) {
        _RecordsetPtr rs = Query("select * from info");
        rs->AddNew();
        for (auto& [name, value] : values) rs->PutCollect(name, value);
        rs->Update();
        rs->Close();
    }
    std::string Column(const wxString& sql, const char* field, const _ConnectionPtr* on = nullptr) {
        _RecordsetPtr rs = Query(sql, on);
        std::string out;
        for (; !rs->GetEOF(); rs->MoveNext()) {
            _variant_t v = rs->GetCollect(field);
            out += (out.empty() ? "" : ",") + (v.IsNull() ? std::string("<null>") : std::string(v.text.utf8_str()));
        }
        return out;
    }
    TempDir dir;
    std::string path;
    _ConnectionPtr conn;
};

TEST_F(AdoTest, RowsComeInInsertionOrderAndCompareWithoutCase) {
    Add({{"Number", "0003"}, {"Name", "Alice"}, {"Sex", _variant_t(0, VT_INT)}, {"Age", _variant_t(31, VT_INT)}});
    Add({{"Number", "0012"}, {"Name", "O'Brien"}});
    Add({{"Number", "0001"}, {"Name", "alice"}});

    EXPECT_EQ(Column("select * from info", "Number"), "0003,0012,0001");
    // The index on Number does not change the order of a query without ORDER BY.
    EXPECT_EQ(Column("select * from info where Number > '0000'", "Name"), "Alice,O'Brien,alice");
    EXPECT_EQ(Column("select * from info order by Number", "Number"), "0001,0003,0012");
    // Nor which rows a LIMIT keeps.
    EXPECT_EQ(Column("select * from info limit 2", "Number"), "0003,0012");
    EXPECT_EQ(Column("select Number from info where Number > '0000' limit 1 offset 1", "Number"), "0012");
    EXPECT_EQ(Column("select * from info where Name='ALICE'", "Number"), "0003,0001");
    EXPECT_EQ(Column("select * from info where Name='" + EscapeSqlQuotes("O'Brien") + "'", "Number"), "0012");

    // Integers written to text columns are stored as their text; unset columns are null.
    _RecordsetPtr rs = Query("select * from info where Number='0003'");
    EXPECT_EQ(rs->GetCollect("Sex").vt, VT_BSTR);
    EXPECT_EQ(rs->GetCollect("sex").text, "0");
    EXPECT_EQ(rs->GetCollect("Age").text, "31");
    EXPECT_TRUE(rs->GetCollect("Phone").IsNull());
    EXPECT_THROW(rs->GetCollect("Colour"), _com_error);
}

// A recordset's rows are one reading of the file: what another program
// changes afterwards does not show in them, a row the recordset writes holds
// what was stored, and a reading handed out keeps what it held.
TEST_F(AdoTest, RowsAreOneReadingOfTheFile) {
    Add({{"Number", "0001"}, {"Name", "Ann"}});
    Add({{"Number", "0002"}, {"Name", "Bob"}});
    const _ConnectionPtr other = Connect();
    _RecordsetPtr rs = Query("select * from info");
    Query("DELETE FROM info WHERE Name = 'Bob'", &other);
    Query("UPDATE info SET Name = 'Amy', Photo = x'0102' WHERE Number = '0001'", &other);
    const ado::ReadingPtr before = rs->GetReading();
    EXPECT_EQ(Column("select * from info", "Name"), "Amy");
    wxString names;
    for (; !rs->GetEOF(); rs->MoveNext()) names += rs->GetCollect("Name").text + ",";
    EXPECT_EQ(names, "Ann,Bob,");
    rs->MoveFirst();
    EXPECT_EQ(rs->GetFields()->GetItem("Photo")->GetActualSize(), 2);  // a long value as stored
    rs->PutCollect("Age", _variant_t(7, VT_INT));
    rs->Update();
    EXPECT_EQ(rs->GetCollect("Name").text, "Amy");
    EXPECT_EQ(rs->GetCollect("Age").text, "7");
    EXPECT_EQ(before->GetValue(0, before->FindField("Name")).text, "Ann");
    EXPECT_EQ(before->GetCount(), 2u);
}

TEST_F(AdoTest, EditsStayPendingUntilUpdate) {
    Add({{"Number", "0001"}, {"Name", "Alice"}});
    _RecordsetPtr rs = Query("select * from info");
    rs->PutCollect("Name", "Bob");
    EXPECT_EQ(rs->GetEditMode(), adEditInProgress);
    EXPECT_EQ(rs->GetCollect("Name").text, "Bob");
    EXPECT_EQ(Column("select * from info", "Name"), "Alice");
    rs->CancelUpdate();
    EXPECT_EQ(rs->GetCollect("Name").text, "Alice");

    rs->AddNew();
    rs->PutCollect("Number", "0002");
    EXPECT_FALSE(rs->GetEOF());
    rs->Close();  // the pending new row is given up
    EXPECT_EQ(Column("select * from info", "Number"), "0001");

    rs->Open("select * from info", conn);
    rs->PutCollect("Name", "Carol");
    rs->MoveNext();  // moving saves the edit
    EXPECT_TRUE(rs->GetEOF());
    EXPECT_THROW(rs->MoveNext(), _com_error);
    EXPECT_EQ(Column("select * from info", "Name"), "Carol");

    // A value the database cannot hold is refused at once.
    _variant_t dispatch;
    dispatch.vt = VT_DISPATCH;
    rs->MoveFirst();
    EXPECT_THROW(rs->PutCollect("Name", dispatch), _com_error);
}

TEST_F(AdoTest, DeleteRemovesOnlyTheCurrentRow) {
    Add({{"Number", "0001"}, {"Name", "A"}});
    Add({{"Number", "0001"}, {"Name", "B"}});
    Add({{"Number", "0002"}, {"Name", "C"}});
    _RecordsetPtr rs = Query("select * from info where Number='0001'");
    rs->Delete(adAffectCurrent);
    EXPECT_THROW(rs->GetCollect("Name"), _com_error);
    rs->MoveNext();
    EXPECT_EQ(rs->GetCollect("Name").text, "B");
    EXPECT_EQ(Column("select * from info", "Name"), "B,C");

    _RecordsetPtr none = Query("select * from info where Number='9999'");
    EXPECT_TRUE(none->GetBOF());
    EXPECT_TRUE(none->GetEOF());
    EXPECT_THROW(none->Delete(), _com_error);
}

TEST_F(AdoTest, PhotoMovesInPiecesAndTheFirstAppendReplaces) {
    Add({{"Number", "0001"}});
    struct Case {
        std::size_t size;
        std::vector<long> reads;  // sizes GetChunk(1024) returns, 0 for null
    };
    const Case cases[] = {{2500, {1024, 1024, 452, 0}}, {2048, {1024, 1024, 0}}, {1024, {1024, 0}}, {0, {0}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::vector<BYTE> photo = Pattern(c.size);
        _RecordsetPtr rs = Query("select * from info");
        FieldPtr field = rs->GetFields()->GetItem("Photo");
        // An old value first, which the first append of the next edit replaces.
        field->AppendChunk(_variant_t::Bytes("old", 3));
        rs->Update();
        for (std::size_t at = 0; at < photo.size(); at += 1024)
            field->AppendChunk(_variant_t::Bytes(photo.data() + at, std::min<std::size_t>(1024, photo.size() - at)));
        if (photo.empty()) field->AppendChunk(_variant_t::Bytes(nullptr, 0));
        rs->Update();
        rs->Close();

        rs = Query("select * from info");
        field = rs->GetFields()->GetItem("Photo");
        EXPECT_EQ(field->GetActualSize(), static_cast<long>(c.size));
        std::vector<BYTE> back;
        for (long expected : c.reads) {
            _variant_t piece = field->GetChunk(1024);
            if (expected == 0) {
                EXPECT_TRUE(piece.IsNull());
                continue;
            }
            ASSERT_TRUE(piece.IsByteArray());
            EXPECT_EQ(static_cast<long>(piece.bytes.size()), expected);
            back.insert(back.end(), piece.bytes.begin(), piece.bytes.end());
        }
        EXPECT_EQ(back, photo);
    }
}

// A piecewise read holds the file only while it runs.
TEST_F(AdoTest, PieceReadsLeaveTheFileFreeForOtherWriters) {
    const std::vector<BYTE> photo = Pattern(50000);
    Add({{"Number", "0001"}, {"Photo", _variant_t::Bytes(photo.data(), photo.size())}});
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    auto otherWrites = [&] {
        return sqlite3_exec(other, "UPDATE info SET Remark = 'x'", nullptr, nullptr, nullptr) == SQLITE_OK;
    };

    _RecordsetPtr rs = Query("select * from info");
    FieldPtr field = rs->GetFields()->GetItem("Photo");
    std::vector<BYTE> back;
    while (static_cast<long>(back.size()) < field->GetActualSize()) {
        const _variant_t piece = field->GetChunk(1024);
        ASSERT_TRUE(piece.IsByteArray());
        back.insert(back.end(), piece.bytes.begin(), piece.bytes.end());
    }
    EXPECT_EQ(back, photo);
    EXPECT_TRUE(otherWrites());

    rs->Close();
    const std::pair<const char*, std::function<void()>> leaves[] = {
        {"MoveFirst", [&] { rs->MoveFirst(); }},
        {"Update", [&] { rs->PutCollect("Name", "Ann"); rs->Update(); }},
        {"Close", [&] { rs->Close(); }}};
    for (const auto& [name, leave] : leaves) {
        SCOPED_TRACE(name);
        rs = Query("select * from info");
        field = rs->GetFields()->GetItem("Photo");
        EXPECT_EQ(field->GetChunk(1024).bytes, std::vector<BYTE>(photo.begin(), photo.begin() + 1024));
        leave();
        EXPECT_TRUE(otherWrites());
        if (rs->GetState() != adStateClosed) {  // reading starts again from the first byte
            EXPECT_EQ(field->GetChunk(4).bytes, std::vector<BYTE>(photo.begin(), photo.begin() + 4));
        }
    }
    sqlite3_close(other);
}

// A value longer than the engine may hold is refused, whichever way it comes,
// and nothing of the edit reaches the row.
TEST_F(AdoTest, RefusedValuesLeaveTheStoredRowAsItWas) {
    Add({{"Number", "0001"}, {"Remark", "kept"}, {"Photo", _variant_t::Bytes("stored", 6)}});
    sqlite3* h = conn->GetDatabase()->Handle();
    const std::vector<BYTE> long_ = Pattern(1500);
    const std::pair<const char*, std::function<void(Recordset&)>> edits[] = {
        {"photo put whole", [&](Recordset& rs) { rs.PutCollect("Photo", _variant_t::Bytes(long_.data(), 1500)); }},
        {"text put whole", [&](Recordset& rs) { rs.PutCollect("Remark", wxString('x', 1500)); }},
        {"photo in pieces", [&](Recordset& rs) {
             FieldPtr photo = rs.GetFields()->GetItem("Photo");
             for (std::size_t at = 0; at < long_.size(); at += 500)
                 photo->AppendChunk(_variant_t::Bytes(long_.data() + at, 500));
         }},
        // Appended within the limit, which is lowered before the row is written.
        {"photo in pieces, then a lower limit", [&](Recordset& rs) {
             sqlite3_limit(h, SQLITE_LIMIT_LENGTH, 2000);
             rs.GetFields()->GetItem("Photo")->AppendChunk(_variant_t::Bytes(long_.data(), long_.size()));
             sqlite3_limit(h, SQLITE_LIMIT_LENGTH, 1000);
         }},
    };
    for (const auto& [name, edit] : edits) {
        SCOPED_TRACE(name);
        sqlite3_limit(h, SQLITE_LIMIT_LENGTH, 1000);
        _RecordsetPtr rs = Query("select * from info");
        rs->PutCollect("Name", "Changed");
        try {
            edit(*rs.GetInterfacePtr());
            rs->Update();
            ADD_FAILURE() << "stored";
        } catch (const _com_error& e) {
            EXPECT_EQ(e.ErrorMessage(), "string or blob too big");
        }
        rs->CancelUpdate();
        rs->Close();
        EXPECT_EQ(Column("select * from info", "Remark"), "kept");
        EXPECT_EQ(Column("select * from info", "Name"), "<null>");
        rs = Query("select * from info");
        EXPECT_EQ(rs->GetCollect("Photo").bytes, std::vector<BYTE>({'s', 't', 'o', 'r', 'e', 'd'}));
    }
}

// Another program reading the file (a backup, a viewer) keeps a write from
// being committed: the write fails whole, the connection is back in
// autocommit, and the next write once the reader is gone is stored and seen by
// other programs at once.  In a transaction of the caller's own, a failed write
// undoes itself alone.
TEST_F(AdoTest, AFailedWriteEndsItsTransaction) {
    Add({{"Number", "0001"}, {"Name", "Ann"}, {"Photo", _variant_t::Bytes("photo", 5)}});
    sqlite3* h = conn->GetDatabase()->Handle();
    sqlite3_busy_timeout(h, 50);
    const _ConnectionPtr reader = Connect();
    const std::vector<BYTE> photo = Pattern(5000);
    const std::pair<const char*, std::function<void(Recordset&)>> writes[] = {
        {"modify", [](Recordset& rs) { rs.PutCollect("Name", "Bea"); rs.Update(); }},
        {"modify with a photo in pieces", [&](Recordset& rs) {
             rs.PutCollect("Name", "Bea");
             FieldPtr field = rs.GetFields()->GetItem("Photo");
             for (std::size_t at = 0; at < photo.size(); at += 1024)
                 field->AppendChunk(_variant_t::Bytes(photo.data() + at, std::min<std::size_t>(1024, photo.size() - at)));
             rs.Update();
         }},
        {"add", [](Recordset& rs) { rs.AddNew(); rs.PutCollect("Number", "0002"); rs.Update(); }},
        {"delete", [](Recordset& rs) { rs.Delete(); }},
    };
    for (const auto& [name, write] : writes) {
        SCOPED_TRACE(name);
        Query("BEGIN", &reader);
        Query("select * from info", &reader);  // read: the file is held until COMMIT
        _RecordsetPtr rs = Query("select * from info");
        try {
            write(*rs.GetInterfacePtr());
            ADD_FAILURE() << "written under another program's read";
        } catch (const _com_error& e) {
            EXPECT_EQ(e.ErrorMessage(), "database is locked");
            EXPECT_EQ(e.Error(), adErrResourceLocked);
        }
        EXPECT_NE(sqlite3_get_autocommit(h), 0) << "a transaction stayed open";
        rs->CancelUpdate();
        rs->Close();
        EXPECT_EQ(Column("select * from info", "Name"), "Ann");
        EXPECT_EQ(Query("select * from info")->GetFields()->GetItem("Photo")->GetActualSize(), 5);
        Query("COMMIT", &reader);
    }
    _RecordsetPtr rs = Query("select * from info");
    rs->PutCollect("Name", "Cid");
    rs->Update();
    Add({{"Number", "0002"}, {"Name", "Dan"}});
    EXPECT_EQ(Column("select * from info", "Name", &reader), "Cid,Dan");

    Query("BEGIN");
    Add({{"Number", "0003"}, {"Name", "Eve"}});
    sqlite3_limit(h, SQLITE_LIMIT_LENGTH, 100);
    rs = Query("select * from info where Number='0001'");
    rs->PutCollect("Remark", wxString('x', 200));
    EXPECT_THROW(rs->Update(), _com_error);
    rs->CancelUpdate();
    EXPECT_EQ(sqlite3_get_autocommit(h), 0) << "the caller's transaction was ended";
    Query("COMMIT");
    EXPECT_EQ(Column("select * from info", "Name", &reader), "Cid,Dan,Eve");
    EXPECT_EQ(Column("select * from info", "Remark", &reader), "<null>,<null>,<null>");
}

// A write step stores only what it commits: left without a commit, or its
// commit refused by another program's read, it leaves nothing and no
// transaction behind; another program writing keeps it from beginning.
TEST_F(AdoTest, AWriteStepStoresOnlyWhatItCommits) {
    sqlite3_busy_timeout(conn->GetDatabase()->Handle(), 50);
    const _ConnectionPtr other = Connect();
    const std::vector<std::vector<const char*>> holds = {{}, {"BEGIN", "select * from info"}, {"BEGIN IMMEDIATE"}};
    for (const auto& hold : holds) {
        WriteStep step(conn);
        for (const char* sql : hold) Query(sql, &other);
        try {
            step.Begin();
            Add({{"Number", "0001"}});
            if (!hold.empty()) step.Commit();
        } catch (const _com_error& e) {
            EXPECT_EQ(e.Error(), adErrResourceLocked);
        }
        if (!hold.empty()) Query("COMMIT", &other);
    }
    WriteStep step(conn);
    step.Begin();
    Add({{"Number", "0002"}});
    step.Commit();
    EXPECT_NE(sqlite3_get_autocommit(conn->GetDatabase()->Handle()), 0);
    EXPECT_EQ(Column("select * from info", "Number", &other), "0002");
}

// Writing is optimistic: an Update writes over a row only while it holds, in
// the columns being written, what the recordset read of them, as stored (a
// text that is not UTF-8 and bytes in a text column by their bytes); what
// another program changed elsewhere in the row, or in a long value, does not
// stop it.
TEST_F(AdoTest, UpdateWritesOnlyOverWhatItRead) {
    const _ConnectionPtr other = Connect();
    const char* const gbk = "UPDATE info SET Phone = CAST(x'C4E3BAC3' AS TEXT)";
    const char* const bytes = "UPDATE info SET Phone = x'C4E3'";
    const struct {
        const char* stored;  // by the other program before the read
        const char* change;  // by the other program, between the read and the Update
        bool written;
    } cases[] = {
        {nullptr, "UPDATE info SET Phone = '999'", false},
        {nullptr, "UPDATE info SET Name = 'ANN'", false},  // a change of case is a change
        {nullptr, "UPDATE info SET Phone = NULL", false},
        {nullptr, "UPDATE info SET Remark = 'theirs'", true},
        {nullptr, "UPDATE info SET Photo = x'01'", true},
        {gbk, nullptr, true},
        {gbk, "UPDATE info SET Phone = CAST(x'C4E3BAC4' AS TEXT)", false},  // other bytes, the same reading
        {bytes, nullptr, true},
        {bytes, "UPDATE info SET Phone = CAST(x'C4E3' AS TEXT)", false},  // the same bytes as text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.stored ? c.stored : "") + " / " + (c.change ? c.change : ""));
        Query("DELETE FROM info", &other);
        Add({{"Number", "0001"}, {"Name", "Ann"}, {"Phone", "555"}});
        if (c.stored) Query(c.stored, &other);
        _RecordsetPtr rs = Query("select * from info");
        const _variant_t phone = rs->GetCollect("Phone");  // read before the change
        EXPECT_EQ(rs->GetCollect("Name").text, "Ann");
        // Never read as an empty text.
        EXPECT_EQ(phone.text, c.stored == gbk ? wxString::FromUTF8("\uFFFD\uFFFD\uFFFD\uFFFD")
                                              : c.stored ? wxString() : wxString("555"));
        if (c.change) Query(c.change, &other);
        rs->PutCollect("Name", "Bea");
        rs->PutCollect("Phone", "666");
        try {
            rs->Update();
            EXPECT_TRUE(c.written);
        } catch (const _com_error& e) {
            EXPECT_FALSE(c.written) << e.ErrorMessage();
            EXPECT_EQ(e.Error(), DB_E_CONCURRENCYVIOLATION);
        }
        rs->CancelUpdate();
        EXPECT_EQ(Column("select * from info", "Phone") == "666", c.written);
    }
}

TEST_F(AdoTest, EngineErrorsCarryTheEngineText) {
    try {
        Query("select * from info where Name='O'Brien'");
        FAIL() << "an unbalanced quote was accepted";
    } catch (const _com_error& e) {
        EXPECT_EQ(e.ErrorMessage().utf8_string(), "near \"Brien\": syntax error");
    }
    // Rows that are not rows of one table, and a second statement.
    for (const char* sql : {"select count(*) from info", "select distinct Name from info",
                            "select * from info a join info b on a.Number = b.Number",
                            "select * from info; delete from info"}) {
        SCOPED_TRACE(sql);
        EXPECT_THROW(Query(sql), _com_error);
    }
    _RecordsetPtr rs;
    EXPECT_THROW(rs->Close(), _com_error);  // an empty pointer fails, it does not crash
    conn->Close();
    EXPECT_EQ(conn->GetState(), adStateClosed);
    EXPECT_THROW(Query("select * from info"), _com_error);
}

TEST_F(AdoTest, DataSourceIsFoundInTheConnectionText) {
    conn->Close();
    const std::string odd = dir.Write("a;b c/UserData.mdb", TempDir::Read(path));
    const wxString folder = wxString::FromUTF8(odd);
    for (const wxString& text : {Source(odd), "data source = " + folder + ";Persist Security Info=False",
                                 "Data Source=\"" + folder + "\";"}) {
        SCOPED_TRACE(text.utf8_str().data());
        _ConnectionPtr c;
        c.CreateInstance();
        c->Open(text, "", "", 0);
        EXPECT_EQ(c->GetState(), adStateOpen);
    }
}

TEST_F(AdoTest, FilesThatAreNoDatabaseAreLeftAlone) {
    const std::string template_ = TempDir::Read(path);
    const std::pair<const char*, std::string> files[] = {
        {"jet.mdb", std::string("\0\x01\0\0Standard Jet DB\0", 19) + std::string(4077, '\x5a')},
        {"garbage.mdb", std::string(8192, '\x7f')},
        {"truncated.mdb", template_.substr(0, 100) + std::string(3996, '\x33')},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string file = dir.Write(name, bytes);
        _ConnectionPtr c;
        c.CreateInstance();
        try {
            c->Open(Source(file));
            FAIL() << "opened";
        } catch (const _com_error& e) {
            EXPECT_FALSE(e.ErrorMessage().empty());
        }
        EXPECT_EQ(TempDir::Read(file), bytes);
    }
    _ConnectionPtr c;
    c.CreateInstance();
    EXPECT_THROW(c->Open(Source(dir.File("missing.mdb"))), _com_error);
    EXPECT_NE(::access(dir.File("missing.mdb").c_str(), F_OK), 0) << "made";
}

// Root may write any file: as root the check runs in a child process under
// an unprivileged user.
TEST_F(AdoTest, ReadOnlyFileReportsTheErrorAndKeepsTheRows) {
    Add({{"Number", "0001"}, {"Name", "Alice"}});
    conn->Close();
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(path.c_str(), 0444);
    const std::string before = TempDir::Read(path);
    auto check = [&]() -> int {
        _ConnectionPtr c;
        c.CreateInstance();
        c->Open(Source(path));
        _RecordsetPtr rs;
        rs.CreateInstance();
        rs->Open("select * from info", c);
        rs->PutCollect("Name", "Mallory");
        try {
            rs->Update();
            return 1;
        } catch (const _com_error& e) {
            if (e.ErrorMessage() != "attempt to write a readonly database") return 2;
        }
        rs->CancelUpdate();
        return rs->GetCollect("Name").text == "Alice" ? 0 : 3;
    };
    if (::geteuid() != 0) {
        EXPECT_EQ(check(), 0);
    } else {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int rc = 4;
            if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
                try {
                    rc = check();
                } catch (...) {
                    rc = 5;
                }
            }
            ::_exit(rc);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(TempDir::Read(path), before);
}

}  // namespace
