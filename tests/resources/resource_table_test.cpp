// The embedded resources: every id the windows address is present with its
// type and size, the pictures decode, alternates differ, and the sound, the
// string, the cursor's hot spot and the database template are usable.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>
#include <wx/image.h>

#include "app/StartPageDlg.h"
#include "compare/ComPareDlg.h"
#include "customers/UserDataDlg.h"
#include "platform/Resources.h"
#include "station/QuillmarshDlg.h"

namespace {

struct Picture {
    int id;
    const char* type;
    int width;
    int height;
};

const Picture kPictures[] = {
    // start page and copyright dialog
    {271, "BITMAP", 720, 540}, {170, "PNG", 199, 66}, {171, "PNG", 200, 66}, {242, "PNG", 199, 66},
    {221, "BITMAP", 170, 47}, {222, "BITMAP", 319, 101},
    // station window
    {129, "BITMAP", 960, 720}, {145, "BITMAP", 960, 720}, {130, "BITMAP", 960, 38},
    {231, "BITMAP", 670, 507}, {228, "BITMAP", 38, 38}, {229, "BITMAP", 38, 38},
    {232, "BITMAP", 147, 36}, {163, "BITMAP", 518, 218},
    {137, "PNG", 160, 64}, {139, "PNG", 160, 64}, {148, "PNG", 160, 64}, {138, "PNG", 160, 64},
    {166, "PNG", 160, 64}, {140, "PNG", 160, 64}, {245, "PNG", 160, 64}, {173, "PNG", 160, 64},
    {157, "PNG", 160, 64}, {175, "PNG", 160, 64}, {158, "PNG", 160, 64},
    {142, "PNG", 184, 44}, {143, "PNG", 184, 44}, {144, "PNG", 120, 44}, {164, "PNG", 98, 36},
    {215, "PNG", 36, 36}, {131, "gif", 400, 300}, {128, "ICON", 32, 32},
    // comparison window
    {147, "BITMAP", 842, 400}, {223, "BITMAP", 842, 400}, {165, "BITMAP", 400, 295},
    {174, "BITMAP", 400, 295}, {159, "CURSOR", 32, 32},
    // customer and report dialogs
    {234, "BITMAP", 960, 720}, {239, "BITMAP", 634, 691}, {243, "BITMAP", 96, 28}, {244, "BITMAP", 96, 28},
};

wxImage Load(int id, const char* type) {
    wxImage img;
    EXPECT_TRUE(plat::LoadResourceImage(id, type, img)) << "resource " << id << " " << type;
    return img;
}

// Mean absolute difference of the RGB channels, 0-255.
double MeanDifference(const wxImage& a, const wxImage& b) {
    const unsigned char* pa = a.GetData();
    const unsigned char* pb = b.GetData();
    const size_t n = static_cast<size_t>(a.GetWidth()) * a.GetHeight() * 3;
    double sum = 0;
    for (size_t i = 0; i < n; ++i) sum += std::abs(int(pa[i]) - int(pb[i]));
    return sum / n;
}

uint32_t Le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const unsigned char* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Be32(const unsigned char* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

}  // namespace

TEST(ResourceTable, EveryPictureIsPresentWithItsTypeAndSize) {
    for (const Picture& p : kPictures) {
        SCOPED_TRACE(testing::Message() << "resource " << p.id << " " << p.type);
        EXPECT_TRUE(plat::FindResource(p.id, p.type));
        wxImage img = Load(p.id, p.type);
        ASSERT_TRUE(img.IsOk());
        EXPECT_EQ(img.GetWidth(), p.width);
        EXPECT_EQ(img.GetHeight(), p.height);
    }
}

TEST(ResourceTable, ListHasEachIdOnce) {
    std::set<std::pair<int, std::string>> seen;
    for (const plat::ResourceInfo& r : plat::ListResources()) {
        EXPECT_TRUE(seen.insert({r.id, r.type}).second) << "duplicate " << r.id << " " << r.type;
        EXPECT_GT(r.size, 0u) << r.id;
    }
}

// Under each language index the windows find every worded picture they ask
// for, at the size of index 0's picture of the same use, and the no-photo
// portrait file of that language.
TEST(ResourceTable, EveryLanguageHasThePicturesItsWindowsAskFor) {
    auto asked = [](int language) {
        std::vector<plat::ResourceRef> all = CStartPageDlg::LanguagePictures(language);
        for (const auto& more : {CQuillmarshDlg::LanguagePictures(language), CComPareDLg::LanguagePictures(language)})
            all.insert(all.end(), more.begin(), more.end());
        all.push_back({CCopyRight::StatementPicture(language), plat::RT_BITMAP});
        return all;
    };
    const std::vector<plat::ResourceRef> index0 = asked(0);
    for (int language : {0, 1, 2, 3}) {
        const std::vector<plat::ResourceRef> pictures = asked(language);
        ASSERT_EQ(pictures.size(), index0.size()) << language;
        for (size_t i = 0; i < pictures.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "language " << language << ", resource " << pictures[i].id);
            EXPECT_STREQ(pictures[i].type, index0[i].type);
            const wxImage picture = Load(pictures[i].id, pictures[i].type);
            ASSERT_TRUE(picture.IsOk());
            EXPECT_EQ(picture.GetSize(), Load(index0[i].id, index0[i].type).GetSize());
        }
        const wxString portrait = CUserDataDlg::NoPhotoFile(language);
        EXPECT_FALSE(cv::imread(std::string(QUILL_BUILD_DIR "/") + portrait.utf8_string()).empty()) << portrait;
    }
}

TEST(ResourceTable, AlternatePicturesLookClearlyDifferent) {
    // normal / alternate pairs of the toggle buttons
    for (auto [a, b] : {std::pair{166, 140}, {139, 148}, {157, 175}}) {
        wxImage ia = Load(a, "PNG"), ib = Load(b, "PNG");
        ASSERT_TRUE(ia.IsOk() && ib.IsOk());
        EXPECT_GT(MeanDifference(ia, ib), 12.0) << a << " vs " << b;
    }
    // the two backgrounds of each window differ too
    EXPECT_GT(MeanDifference(Load(129, "BITMAP"), Load(145, "BITMAP")), 2.0);
    EXPECT_GT(MeanDifference(Load(147, "BITMAP"), Load(223, "BITMAP")), 4.0);
    EXPECT_GT(MeanDifference(Load(243, "BITMAP"), Load(244, "BITMAP")), 8.0);
}

TEST(ResourceTable, ButtonsKeepTheirCornersTransparent) {
    // The button draws the parent's background under transparent parts.
    for (int id : {170, 171, 242, 137, 139, 148, 138, 166, 140, 245, 173, 157, 175, 158, 142, 143, 144, 164}) {
        wxImage img = Load(id, "PNG");
        ASSERT_TRUE(img.HasAlpha()) << id;
        EXPECT_EQ(img.GetAlpha(0, 0), 0) << id;
        EXPECT_EQ(img.GetAlpha(img.GetWidth() - 1, img.GetHeight() - 1), 0) << id;
        EXPECT_EQ(img.GetAlpha(img.GetWidth() / 2, img.GetHeight() / 2), 255) << id;
    }
}

TEST(ResourceTable, PenCursorCarriesItsHotSpotAtTheTip) {
    plat::ResourceBlob blob = plat::FindResource(159, "CURSOR");
    ASSERT_TRUE(blob);
    ASSERT_GT(blob.size, 8u);
    ASSERT_EQ(std::memcmp(blob.data, "\x89PNG\r\n\x1a\n", 8), 0);
    int hx = -1, hy = -1;
    for (size_t pos = 8; pos + 12 <= blob.size;) {
        uint32_t len = Be32(blob.data + pos);
        std::string kind(reinterpret_cast<const char*>(blob.data + pos + 4), 4);
        ASSERT_LE(pos + 12 + len, blob.size);
        if (kind == "tEXt") {
            std::string text(reinterpret_cast<const char*>(blob.data + pos + 8), len);
            if (text.rfind(std::string("hotspot\0", 8), 0) == 0) {
                ASSERT_EQ(std::sscanf(text.c_str() + 8, "%d,%d", &hx, &hy), 2);
            }
        }
        pos += 12 + len;
    }
    wxImage img = Load(159, "CURSOR");
    ASSERT_TRUE(img.IsOk());
    ASSERT_GE(hx, 0);
    ASSERT_GE(hy, 0);
    ASSERT_LT(hx, img.GetWidth());
    ASSERT_LT(hy, img.GetHeight());
    EXPECT_GT(img.GetAlpha(hx, hy), 200);  // the tip itself is drawn
    // and it is the lower-left end of the pen, where a stroke starts
    EXPECT_LT(hx, img.GetWidth() / 4);
    EXPECT_GT(hy, img.GetHeight() * 3 / 4);
}

TEST(ResourceTable, ShutterSoundIsShortPcm16Wave) {
    plat::ResourceBlob blob = plat::FindResource(162, "WAVE");
    ASSERT_TRUE(blob);
    const unsigned char* p = blob.data;
    ASSERT_GE(blob.size, 44u);
    ASSERT_EQ(std::memcmp(p, "RIFF", 4), 0);
    ASSERT_EQ(std::memcmp(p + 8, "WAVE", 4), 0);
    EXPECT_EQ(Le32(p + 4) + 8, blob.size);
    ASSERT_EQ(std::memcmp(p + 12, "fmt ", 4), 0);
    EXPECT_EQ(Le16(p + 20), 1);   // PCM
    EXPECT_EQ(Le16(p + 34), 16);  // bits per sample
    const unsigned channels = Le16(p + 22), rate = Le32(p + 24);
    size_t pos = 20 + Le32(p + 16);
    while (pos + 8 <= blob.size && std::memcmp(p + pos, "data", 4) != 0) pos += 8 + Le32(p + pos + 4);
    ASSERT_LE(pos + 8, blob.size);
    const uint32_t bytes = Le32(p + pos + 4);
    ASSERT_LE(pos + 8 + bytes, blob.size);
    const double seconds = double(bytes) / (rate * channels * 2);
    EXPECT_GT(seconds, 0.05);
    EXPECT_LT(seconds, 1.0);
    // not silence: the click reaches a good level
    int peak = 0;
    for (uint32_t i = 0; i + 1 < bytes; i += 2) peak = std::max(peak, std::abs(int(int16_t(Le16(p + pos + 8 + i)))));
    EXPECT_GT(peak, 16000);
}

TEST(ResourceTable, AboutStringIsUtf8) {
    EXPECT_EQ(plat::LoadResourceString(101), wxString::FromUTF8("关于 Quillmarsh(&A)..."));
}

namespace {

std::string WriteTemplateToTempFile() {
    plat::ResourceBlob blob = plat::FindResource(270, "MDB");
    if (!blob) return {};
    char path[] = "/tmp/quill_mdb_XXXXXX";
    int fd = ::mkstemp(path);
    if (fd < 0) return {};
    bool ok = ::write(fd, blob.data, blob.size) == static_cast<ssize_t>(blob.size);
    ::close(fd);
    return ok ? std::string(path) : std::string();
}

struct Db {
    sqlite3* db = nullptr;
    ~Db() { sqlite3_close(db); }
    std::string Text(const char* sql) {  // first column of the first row
        sqlite3_stmt* st = nullptr;
        std::string out = "<error>";
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
            out = "<no row>";
            if (sqlite3_step(st) == SQLITE_ROW) {
                const unsigned char* t = sqlite3_column_text(st, 0);
                out = t ? reinterpret_cast<const char*>(t) : "";
            }
        }
        sqlite3_finalize(st);
        return out;
    }
    bool Exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
};

}  // namespace

TEST(ResourceTable, DatabaseTemplateHasTableInfoAndItsIndex) {
    std::string path = WriteTemplateToTempFile();
    ASSERT_FALSE(path.empty());
    {
        Db d;
        ASSERT_EQ(sqlite3_open_v2(path.c_str(), &d.db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        EXPECT_EQ(d.Text("PRAGMA integrity_check"), "ok");
        EXPECT_EQ(d.Text("SELECT count(*) FROM info"), "0");

        // columns in order, with their declared types; none required, no key
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(d.db, "PRAGMA table_info(info)", -1, &st, nullptr), SQLITE_OK);
        std::string columns;
        while (sqlite3_step(st) == SQLITE_ROW) {
            columns += reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            columns += ':';
            columns += reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
            columns += ' ';
            EXPECT_EQ(sqlite3_column_int(st, 3), 0) << "not null on " << sqlite3_column_text(st, 1);
            EXPECT_EQ(sqlite3_column_int(st, 5), 0) << "key on " << sqlite3_column_text(st, 1);
        }
        sqlite3_finalize(st);
        EXPECT_EQ(columns,
                  "Number:TEXT Name:TEXT Sex:TEXT Age:TEXT Birthday:TEXT Phone:TEXT Email:TEXT "
                  "Address:TEXT Operator:TEXT Remark:TEXT Photo:BLOB ");

        // the one index, "序号", on Number, not unique
        EXPECT_EQ(d.Text("SELECT count(*) FROM pragma_index_list('info')"), "1");
        EXPECT_EQ(d.Text("SELECT \"unique\" FROM pragma_index_list('info') WHERE name = '序号'"), "0");
        EXPECT_EQ(d.Text("SELECT group_concat(name) FROM pragma_index_info('序号')"), "Number");

        // Jet's behaviour that the customer records rely on
        ASSERT_TRUE(d.Exec("INSERT INTO info (Number, Name, Sex, Age) VALUES ('0001', 'Alice', 0, 31)"));
        ASSERT_TRUE(d.Exec("INSERT INTO info (Number, Name) VALUES ('0001', 'Bob')"));  // duplicates allowed
        EXPECT_EQ(d.Text("SELECT count(*) FROM info WHERE Name = 'ALICE'"), "1");
        EXPECT_EQ(d.Text("SELECT typeof(Sex) || ',' || Sex || ',' || typeof(Age) FROM info WHERE Name = 'Alice'"),
                  "text,0,text");
        ASSERT_TRUE(d.Exec("INSERT INTO info (Photo) VALUES (x'424D0000')"));
        EXPECT_EQ(d.Text("SELECT typeof(Photo) || ',' || length(Photo) FROM info WHERE Photo IS NOT NULL"), "blob,4");
    }
    std::remove(path.c_str());
}
