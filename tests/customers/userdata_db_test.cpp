// Field values as text, and photos between files and database rows.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <sqlite3.h>

#include <string>

#include "customers/UserDataDlg.h"
#include "platform/Resources.h"
#include "platform/ado/Database.h"
#include "support/TempDir.h"

namespace {

_variant_t Typed(VARTYPE vt) {
    _variant_t v;
    v.vt = vt;
    return v;
}

TEST(VariantToString, EveryTypeHasItsText) {
    auto with = [](VARTYPE vt, auto set) {
        _variant_t v = Typed(vt);
        set(v);
        return v;
    };
    DECIMAL dec{0, 2, 0x80, 0, 12345};  // -123.45
    const std::pair<_variant_t, const char*> cases[] = {
        {_variant_t(), ""},
        {_variant_t::Null(), ""},
        {_variant_t(-5, VT_I2), "-5"},
        {_variant_t(65535, VT_UI2), "65535"},
        {_variant_t(-1, VT_I1), "255"},
        {_variant_t(200, VT_UI1), "200"},
        {_variant_t(-7), "-7"},
        {_variant_t(-1, VT_UI4), "-1"},
        {_variant_t(12, VT_INT), "12"},
        {_variant_t(3, VT_UINT), "3"},
        {_variant_t(std::int64_t{0x100000005}), "5"},
        {with(VT_UI8, [](_variant_t& v) { v.ullVal = 0xFFFFFFFFull; }), "-1"},
        {_variant_t(2.0f), "2.0000"},
        {_variant_t(1.5), "1.50000000"},
        {with(VT_DECIMAL, [&](_variant_t& v) { v.decVal = dec; }), "-123.45000000"},
        {with(VT_CY, [](_variant_t& v) { v.cyVal.int64 = 123450000; }), "12345"},
        {with(VT_CY, [](_variant_t& v) { v.cyVal.int64 = -15000; }), "-1.5"},
        {_variant_t(45000.75, VT_DATE), "2023-03-15 18:00:00"},
        {_variant_t(-1.25, VT_DATE), "1899-12-29 06:00:00"},
        {_variant_t("%d and %%"), "%d and %%"},
        {with(VT_LPWSTR, [](_variant_t& v) { v.text = "wide"; }), "wide"},
        {with(VT_BOOL, [](_variant_t& v) { v.boolVal = -1; }), "TRUE"},
        {_variant_t(false), "FALSE"},
        {with(VT_VOID, [](_variant_t& v) { v.ulVal = 0xbeef; }), "    beef"},
        {_variant_t::Bytes("ab", 2), "[BLOB]"},
        {Typed(VT_BLOB), "[BLOB]"},
        {Typed(VT_BLOB_OBJECT), "[BLOB]"},
        {Typed(VT_DISPATCH), "UN_KNOW"},
        {Typed(VT_BYREF | VT_I4), "UN_KNOW"},
        {Typed(VT_ARRAY | VT_I4), "UN_KNOW"},
    };
    for (const auto& [value, text] : cases) {
        SCOPED_TRACE(testing::Message() << "vt " << value.vt << " expected " << text);
        EXPECT_EQ(VariantToString(value).utf8_string(), text);
    }
}

class PhotoTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::ResourceBlob blob = plat::FindResource(270, "MDB");
        ASSERT_TRUE(blob);
        const std::string db = dir.Write("UserData.mdb", std::string(reinterpret_cast<const char*>(blob.data), blob.size));
        conn.CreateInstance();
        conn->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + wxString::FromUTF8(db));
        Reopen();
        rs->AddNew();
        rs->PutCollect("Number", "0001");
        rs->Update();
    }
    void Reopen() {
        rs.Release();
        rs.CreateInstance();
        rs->Open("select * from info", conn);
    }
    TempDir dir;
    _ConnectionPtr conn;
    _RecordsetPtr rs;
};

TEST_F(PhotoTest, PhotosGoInAndOutWhole) {
    for (std::size_t size : {2500u, 2048u, 1024u, 1u}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 13 + size);
        const std::string source = dir.Write("in.bmp", bytes);
        Reopen();
        CUserDataDlg::WritePhotoToRecord(rs, wxString::FromUTF8(source));  // replaces the last one
        rs->Update();
        Reopen();
        const std::string target = dir.File("standard/photo/default.bmp");
        dir.Write("standard/photo/default.bmp", "previous photo, much longer than the one stored");
        EXPECT_TRUE(CUserDataDlg::ReadPhotoFromRecord(rs, wxString::FromUTF8(target)));
        EXPECT_EQ(TempDir::Read(target), bytes);
    }
    // Nor is a pipe written into: it would wait for a reader.
    ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);
    EXPECT_THROW(CUserDataDlg::ReadPhotoFromRecord(rs, wxString::FromUTF8(dir.File("pipe.bmp"))), _com_error);
}

TEST_F(PhotoTest, NoStoredPhotoLeavesTheTargetFileAlone) {
    const std::string target = dir.Write("default.bmp", "the last customer's photo");
    Reopen();
    EXPECT_FALSE(CUserDataDlg::ReadPhotoFromRecord(rs, wxString::FromUTF8(target)));
    // An empty photo file appends nothing, so there is still no photo.
    CUserDataDlg::WritePhotoToRecord(rs, wxString::FromUTF8(dir.Write("empty.bmp", "")));
    rs->Update();
    EXPECT_FALSE(CUserDataDlg::ReadPhotoFromRecord(rs, wxString::FromUTF8(target)));
    EXPECT_EQ(TempDir::Read(target), "the last customer's photo");
}

TEST_F(PhotoTest, UnreadablePhotoGivesUpTheWholeRow) {
    CUserDataDlg::WritePhotoToRecord(rs, wxString::FromUTF8(dir.Write("in.bmp", "stored")));
    rs->Update();

    // A modified customer keeps nothing of the edit.
    Reopen();
    rs->PutCollect("Name", "Changed");
    EXPECT_THROW(CUserDataDlg::WritePhotoToRecord(rs, wxString::FromUTF8(dir.File("missing.bmp"))), _com_error);
    EXPECT_EQ(rs->GetEditMode(), adEditNone);
    EXPECT_TRUE(rs->GetCollect("Name").IsNull());
    // What is no regular file is refused before anything is read from it: a
    // device would be read without end, a pipe would wait for a writer.  So is
    // a photo the row has no room for: longer than the database may hold, or
    // short enough alone but not beside the rest of the row.  A file that
    // holds other than its size said when it was opened (being written
    // meanwhile; a kernel's file shows it at rest) is not stored cut.
    ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.File("zero.bmp").c_str()), 0);
    const std::string longer = dir.Write("long.bmp", std::string(3000, 'x'));
    const std::string fitsAlone = dir.Write("fits.bmp", std::string(1900, 'x'));
    sqlite3_limit(conn->GetDatabase()->Handle(), SQLITE_LIMIT_LENGTH, 2000);
    const std::pair<std::string, int> files[] = {
        {dir.File("pipe.bmp"), 0}, {dir.File("zero.bmp"), 0}, {dir.Path(), 0}, {longer, 0}, {fitsAlone, 150},
        {"/sys/devices/system/cpu/online", 0},  // says 4096 bytes, holds a few
        {"/proc/self/status", 0},               // says none, holds some
    };
    for (const auto& [file, remark] : files) {
        SCOPED_TRACE(file);
        rs->AddNew();
        rs->PutCollect("Number", "0002");
        rs->PutCollect("Remark", wxString('r', remark));
        try {
            CUserDataDlg::WritePhotoToRecord(rs, wxString::FromUTF8(file));
            ADD_FAILURE() << "taken";
        } catch (const _com_error& e) {
            EXPECT_TRUE(e.ErrorMessage().Contains(wxString::FromUTF8(file))) << e.ErrorMessage();
        }
        rs->Update();  // nothing pending any more
    }

    Reopen();
    EXPECT_EQ(VariantToString(rs->GetCollect("Number")), "0001");
    EXPECT_EQ(VariantToString(rs->GetCollect("Photo")), "[BLOB]");
    EXPECT_EQ(rs->GetFields()->GetItem("Photo")->GetActualSize(), 6);
    rs->MoveNext();
    EXPECT_TRUE(rs->GetEOF());
}

}  // namespace
