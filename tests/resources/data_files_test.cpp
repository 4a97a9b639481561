// The files the program reads beside its executable are there after a build:
// the language index, the language pack with every key, the reference pictures
// and the no-photo portrait.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "platform/Ini.h"
#include "platform/Paths.h"

namespace {

const wxString kBuild = wxString::FromUTF8(QUILL_BUILD_DIR) + "/";

const char* const kLanguageKeys[] = {
    "IDS_MEMBER_NUMBER", "IDS_MEMBER_NAME", "IDS_MEMBER_SEX", "IDS_MEMBER_SEX_MEN",
    "IDS_MEMBER_SEX_WOMEN", "IDS_MEMBER_AGE", "IDS_MEMBER_BIRTHDAY", "IDS_MEMBER_PHONE",
    "IDS_MEMBER_EMAIL", "IDS_MEMBER_ADDRESS", "IDS_MEMBER_REMARK", "IDS_MEMBER_OPERATE",
    "IDS_ADD", "IDS_DELETE", "IDS_MODEFY", "IDS_SEACH", "IDS_ALL", "IDS_STARTDETECT", "IDS_CLOSE",
    "IDS_WARN_CATCH", "IDS_INPUT_NUMBERERROR", "IDS_INPUT_NAMEERROR", "IDS_INPUT_NUMBEREXIST",
    "IDS_OPEN_DATA_FAILED", "IDS_ADD_SUCCESS", "IDS_DELETE_MAKESURE", "IDS_SEARCH_FAIL",
    "IDS_SELECT_FIRST", "IDS_CHANGED_BY_OTHER", "IDS_REPORT", "IDS_ZZ_TYPE", "IDS_RESON", "IDS_SUGGEST", "IDS_JG_NAME",
    "IDS_DATE", "IDS_SAVE", "IDS_PRINT",
};

bool HasHan(const wxString& s) {
    for (wxUniChar c : s)
        if (c.GetValue() >= 0x4E00 && c.GetValue() <= 0x9FFF) return true;
    return false;
}

// Reads a BMP's header: 24 bits per pixel, uncompressed, and its size.
bool Bmp24(const wxString& path, int& w, int& h) {
    std::ifstream f(path.utf8_string(), std::ios::binary);
    unsigned char hdr[54] = {};
    if (!f.read(reinterpret_cast<char*>(hdr), sizeof hdr)) return false;
    if (hdr[0] != 'B' || hdr[1] != 'M') return false;
    auto le32 = [&](int o) { return int(hdr[o] | hdr[o + 1] << 8 | hdr[o + 2] << 16 | hdr[o + 3] << 24); };
    w = le32(18);
    h = std::abs(le32(22));
    return (hdr[28] | hdr[29] << 8) == 24 && le32(30) == 0;
}

}  // namespace

TEST(DataFiles, SetupSelectsSimplifiedChinese) {
    const wxString ini = kBuild + "Setup.ini";
    ASSERT_TRUE(plat::PathFileExists(ini));
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "language", -1, ini), 0);
}

TEST(DataFiles, LanguagePackHasEveryKeyInChinese) {
    const wxString pack = kBuild + "Language/" + wxString::FromUTF8("简体中文.ini");
    ASSERT_TRUE(plat::PathFileExists(pack));
    for (const char* key : kLanguageKeys) {
        wxString v = plat::GetPrivateProfileString("Setting", key, "Not found", pack);
        EXPECT_NE(v, "Not found") << key;
        EXPECT_TRUE(HasHan(v)) << key << " = " << v.utf8_string();
    }
    // texts the code builds on: the sex values and the yes/no question on two lines
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_MEMBER_SEX_MEN", "", pack), wxString::FromUTF8("男"));
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_MEMBER_SEX_WOMEN", "", pack), wxString::FromUTF8("女"));
    EXPECT_NE(plat::GetPrivateProfileString("Setting", "IDS_DELETE_MAKESURE", "", pack).Find("\\n"), wxNOT_FOUND);
}

TEST(DataFiles, ReferencePicturesAre24BitAndDifferentFromEachOther) {
    for (auto [folder, names] : {std::pair<const char*, std::vector<const char*>>{"Scalp", {"Healthy", "Oily", "Dry", "Sensitive"}},
                                 {"Hair", {"Healthy", "Damaged", "Aging", "Irritated"}}}) {
        std::vector<cv::Mat> small;
        for (const char* name : names) {
            const wxString path = kBuild + "standard/" + folder + "/" + name + ".bmp";
            SCOPED_TRACE(path.utf8_string());
            int w = 0, h = 0;
            ASSERT_TRUE(Bmp24(path, w, h));
            EXPECT_GE(w, 320);
            EXPECT_LE(w, 640);
            EXPECT_GE(h, 240);
            EXPECT_LE(h, 480);
            cv::Mat img = cv::imread(path.utf8_string(), cv::IMREAD_COLOR);
            ASSERT_FALSE(img.empty());
            cv::Mat s;
            cv::resize(img, s, cv::Size(64, 48), 0, 0, cv::INTER_AREA);
            small.push_back(s);
        }
        for (size_t i = 0; i < small.size(); ++i)
            for (size_t j = i + 1; j < small.size(); ++j)
                EXPECT_GT(cv::norm(small[i], small[j], cv::NORM_L1) / small[i].total() / 3, 10.0)
                    << folder << " " << names[i] << " vs " << names[j];
    }
}

TEST(DataFiles, NoPhotoPortraitIsThere) {
    int w = 0, h = 0;
    EXPECT_TRUE(Bmp24(kBuild + "standard/photo/women.bmp", w, h));
    EXPECT_GT(w, 0);
    EXPECT_GT(h, 0);
}
