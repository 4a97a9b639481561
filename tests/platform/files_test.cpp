// Paths and INI files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/Ini.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace {

wxString U8(const std::string& s) { return wxString::FromUTF8(s.data(), s.size()); }

std::string Utf16LeWithBom(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t u : text) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

TEST(Paths, ExecutableFolderIsTheTestBinarysFolderAndCanBeOverridden) {
    wxString real = plat::GetExecutableFolder();
    ASSERT_TRUE(real.EndsWith("/"));
    EXPECT_TRUE(std::filesystem::equivalent(std::string(real.utf8_str()), QUILL_BUILD_DIR))
        << real;
    plat::SetExecutableFolderForTesting("/tmp/somewhere");
    EXPECT_EQ(plat::GetExecutableFolder(), "/tmp/somewhere/");
    plat::SetExecutableFolderForTesting("");
    EXPECT_EQ(plat::GetExecutableFolder(), real);
}

TEST(Paths, CreateDirectoryMakesOneLevelOnly) {
    TempDir dir;
    const wxString one = U8(dir.File("Guests-Image"));
    EXPECT_FALSE(plat::PathFileExists(one));
    EXPECT_TRUE(plat::CreateDirectory(one));
    EXPECT_TRUE(plat::PathFileExists(one));
    EXPECT_FALSE(plat::CreateDirectory(one)) << "an existing folder is reported as not made";
    EXPECT_FALSE(plat::CreateDirectory(U8(dir.File("a/b"))));
    EXPECT_FALSE(plat::PathFileExists(U8(dir.File("a"))));
    // Customer folders are named after the customer.
    const wxString named = one + "/" + U8("王小明");
    EXPECT_TRUE(plat::CreateDirectory(named));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("Guests-Image/王小明")));
    EXPECT_FALSE(plat::PathFileExists(""));
}

TEST(Paths, FindFilesListsMatchingPlainFilesSortedByName) {
    TempDir dir;
    for (const char* name : {"20240102030405.bmp", "20231231235959.bmp", "20240102030404.bmp",
                             "notes.txt", "upper.BMP", "雪.bmp"})
        dir.Write(name, "x");
    ::mkdir(dir.File("folder.bmp").c_str(), 0777);
    auto found = plat::FindFiles(U8(dir.Path()), "*.bmp");
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0], "20231231235959.bmp");
    EXPECT_EQ(found[1], "20240102030404.bmp");
    EXPECT_EQ(found[2], "20240102030405.bmp");
    EXPECT_EQ(found[3], U8("雪.bmp"));
    // Without the trailing slash too.
    EXPECT_EQ(plat::FindFiles(U8(dir.Path()).BeforeLast('/'), "*.txt").size(), 1u);
    EXPECT_TRUE(plat::FindFiles(U8(dir.File("missing")), "*.bmp").empty());
}

class Ini : public ::testing::Test {
protected:
    TempDir dir;
    wxString Write(const std::string& bytes) { return U8(dir.Write("pack.ini", bytes)); }
};

TEST_F(Ini, NamesIgnoreCaseAndBlanksAndQuotesAreStripped) {
    wxString f = Write(
        "; a comment = not a key\n"
        "  [ Setting ]  \n"
        "  IDS_Report  =   检测报告  \n"
        "quoted = \"  kept inside  \"\n"
        "single='one'\n"
        "mismatched=\"open'\n"
        "inner=a \"b\" c\n"
        "withsemi=a ; b\n"
        "  ; IDS_CLOSE=commented\n"
        "IDS_CLOSE=first\n"
        "ids_close=second\n"
        "noequals\n"
        "[other]\n"
        "only_other=x\n"
        "[SETTING]\n"
        "late=in the second section of the same name\n");
    EXPECT_EQ(plat::GetPrivateProfileString("setting", "ids_report", "Not found", f), U8("检测报告"));
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "quoted", "", f), "  kept inside  ");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "single", "", f), "one");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "mismatched", "", f), "\"open'");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "inner", "", f), "a \"b\" c");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "withsemi", "", f), "a ; b");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_CLOSE", "", f), "first");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "noequals", "dflt", f), "dflt");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "only_other", "dflt", f), "dflt");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "late", "dflt", f), "dflt");
    EXPECT_EQ(plat::GetPrivateProfileString("other", "ONLY_OTHER", "", f), "x");
}

TEST_F(Ini, DefaultWhenFileSectionOrKeyIsMissing) {
    wxString f = Write("[Setting]\nIDS_SAVE=\n");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_SAVE", "Not found", f), "")
        << "an empty value is a value";
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_PRINT", "Not found", f), "Not found");
    EXPECT_EQ(plat::GetPrivateProfileString("Nope", "IDS_SAVE", "Not found", f), "Not found");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_SAVE", "Not found",
                                            U8(dir.File("absent.ini"))),
              "Not found");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "x", "dflt  \t", f), "dflt");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "x", "", U8(dir.Path())), "")
        << "a folder is not a file";
}

TEST_F(Ini, ReadsUtf16AndUtf8WithEveryLineEnding) {
    wxString f16 = Write(Utf16LeWithBom(u"[Setting]\r\nIDS_REPORT=피부 报告 \U0001F600\r\nIDS_DATE=日期\r\n"));
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_REPORT", "", f16),
              U8("피부 报告 \xF0\x9F\x98\x80"));
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_DATE", "", f16), U8("日期"));

    wxString bom8 = Write("\xEF\xBB\xBF[Setting]\rIDS_DATE=日期\rIDS_SAVE=保存");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_DATE", "", bom8), U8("日期"));
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_SAVE", "", bom8), U8("保存"));

    wxString plain8 = Write("[setup]\nlanguage=3\n");
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "language", 0, plain8), 3);

    // A stray byte that is not UTF-8 costs one character, not the file.
    wxString bad8 = Write("[Setting]\nA=x\xFFy\nB=fine\n");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "A", "", bad8), wxString(L"x\xFFFDy"));
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "B", "", bad8), "fine");
}

TEST_F(Ini, ValuesAreCutToTheBufferInUtf16Units) {
    wxString f = Write("[Setting]\nLONG=" + std::string(1200, 'a') +
                       "\nWIDE=ab\xF0\x9F\x98\x80" "cd\n");
    wxString v = plat::GetPrivateProfileString("Setting", "LONG", "", f);
    EXPECT_EQ(v.length(), 999u);
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "LONG", "", f, 6), "aaaaa");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "LONG", "", f, 1), "");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "LONG", "", f, 0), "");
    // The emoji takes two units: with room for three units it does not fit
    // after "ab"; with four it does.
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "WIDE", "", f, 4), "ab");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "WIDE", "", f, 5),
              U8("ab\xF0\x9F\x98\x80"));
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "none", "default", f, 4), "def");
}

TEST_F(Ini, IntegersFollowTheProfileRules) {
    wxString f = Write(
        "[setup]\n"
        "plain=2\n"
        "trailing=12abc\n"
        "letters=abc\n"
        "negative=-7\n"
        "plus=+5\n"
        "quoted=\"3\"\n"
        "empty=\n"
        "huge=99999999999\n"
        "hugeneg=-99999999999\n");
    EXPECT_EQ(plat::GetPrivateProfileInt("SETUP", "plain", 9, f), 2);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "trailing", 9, f), 12);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "letters", 9, f), 0);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "negative", 9, f), -7);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "plus", 9, f), 5);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "quoted", 9, f), 3);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "empty", 9, f), 9);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "missing", 9, f), 9);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "huge", 9, f), 2147483647);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "hugeneg", 9, f), -2147483647 - 1);
    EXPECT_EQ(plat::GetPrivateProfileInt("setup", "plain", 9, U8(dir.File("no.ini"))), 9);
}

TEST_F(Ini, TheFileIsReadAnewAtEachCall) {
    wxString f = Write("[Setting]\nIDS_SAVE=Save\n");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_SAVE", "", f), "Save");
    Write("[Setting]\nIDS_SAVE=Store\n");
    EXPECT_EQ(plat::GetPrivateProfileString("Setting", "IDS_SAVE", "", f), "Store");
}

}  // namespace
