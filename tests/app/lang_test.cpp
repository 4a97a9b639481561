// The language-pack lookup, the conversion to the system code page and the
// customer record's fixed fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "customers/UserRecord.h"
#include "platform/Ini.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

class LangStringTest : public ::testing::Test {
protected:
    void UsePack(const std::string& body) {
        theApp.m_strLangIni = wxString::FromUTF8(dir.Write("pack.ini", "[Setting]\n" + body));
    }
    void TearDown() override { theApp.m_strLangIni.clear(); }
    TempDir dir;
};

TEST_F(LangStringTest, ValuesComeFromSectionSettingWithLineBreaks) {
    UsePack("IDS_REPORT=检测报告\nIDS_ADD=Add\\nCustomer\nIDS_CLOSE=a\\\\nb\nIDS_SAVE=\\n\\n\n");
    EXPECT_EQ(theApp.GetLangString("IDS_REPORT"), wxString::FromUTF8("检测报告"));
    EXPECT_EQ(theApp.GetLangString("IDS_ADD"), "Add\nCustomer");
    // Backslash, backslash, n: the second backslash and the n make the break.
    EXPECT_EQ(theApp.GetLangString("IDS_CLOSE"), "a\\\nb");
    EXPECT_EQ(theApp.GetLangString("IDS_SAVE"), "\n\n");
}

TEST_F(LangStringTest, MissingKeySectionOrFileGiveTheEnglish) {
    UsePack("IDS_ADD=Append\nIDS_SAVE=\n[Other]\nIDS_DELETE=Remove\n");
    EXPECT_EQ(theApp.GetLangString("IDS_ADD"), "Append");
    EXPECT_EQ(theApp.GetLangString("IDS_PRINT"), "Print");
    EXPECT_EQ(theApp.GetLangString("IDS_SAVE"), "Save");      // held empty
    EXPECT_EQ(theApp.GetLangString("IDS_DELETE"), "Delete");  // in another section
    EXPECT_EQ(theApp.GetLangString("IDS_NO_SUCH_TEXT"), "Not found");

    theApp.m_strLangIni = wxString::FromUTF8(dir.File("absent.ini"));
    EXPECT_EQ(theApp.GetLangString("IDS_ADD"), "Add");
    theApp.m_strLangIni.clear();  // before the start page has set a path
    EXPECT_EQ(theApp.GetLangString("IDS_DELETE_MAKESURE"), "Delete the selected customer?\nThis cannot be undone.");
}

// The keys the program's code names, read from its sources.
std::set<std::string> KeysInTheCode() {
    std::set<std::string> keys;
    const std::regex key("\"(IDS_[A-Z0-9_]+)\"");
    for (const char* area : {"app", "customers", "report", "station", "compare", "controls", "capture", "platform"})
        for (const auto& entry : fs::recursive_directory_iterator(fs::path(QUILL_SOURCE_DIR) / area)) {
            if (!entry.is_regular_file()) continue;
            std::ifstream in(entry.path());
            const std::string code((std::istreambuf_iterator<char>(in)), {});
            for (std::sregex_iterator m(code.begin(), code.end(), key), end; m != end; ++m) keys.insert((*m)[1]);
        }
    return keys;
}

bool Has(const wxString& text, wxUniChar from, wxUniChar to) {
    return std::any_of(text.begin(), text.end(), [&](wxUniChar c) { return c >= from && c <= to; });
}

// Every language's pack, chosen by its index, holds every key the code asks
// for, in its own script; without a pack each key reads in English.
TEST_F(LangStringTest, EachLanguagesPackHoldsEveryKeyTheCodeUses) {
    plat::SetExecutableFolderForTesting(QUILL_BUILD_DIR "/");
    const std::set<std::string> keys = KeysInTheCode();
    ASSERT_GT(keys.size(), 70u);
    for (int language = -1; language <= 4; ++language) {
        const wxString pack = CQuillmarshApp::LanguagePackPath(language);
        const int index = CQuillmarshApp::LanguageIndex(language);
        EXPECT_EQ(pack, CQuillmarshApp::LanguagePackPath(index));
        for (const std::string& key : keys) {
            const wxString value = plat::GetPrivateProfileString("Setting", key, "", pack, 1000);
            EXPECT_FALSE(value.empty()) << key << " missing from " << pack;
            const bool han = Has(value, 0x4E00, 0x9FFF), hangul = Has(value, 0xAC00, 0xD7AF);
            EXPECT_EQ(han, index <= 1) << key << " = " << value << " in " << pack;
            EXPECT_EQ(hangul, index == 3) << key << " = " << value << " in " << pack;
        }
    }
    plat::SetExecutableFolderForTesting("");
    theApp.m_strLangIni = wxString::FromUTF8(dir.File("absent.ini"));
    for (const std::string& key : keys) {
        const wxString english = theApp.GetLangString(wxString(key));
        EXPECT_TRUE(english != "Not found" && !english.empty() && !Has(english, 0x80, 0x10FFFF)) << key << " = " << english;
    }
}

// The messages added beyond the pack's first keys: in Chinese from the Chinese
// pack, through the platform layer's lookup too, and in English from a pack
// without them or with them empty.
TEST_F(LangStringTest, AddedMessagesReadTheirOwnKeysWithEnglishWithout) {
    std::string empty;
    for (const plat::LangText* text : lang::kAll) empty += std::string(text->key) + "=\n";
    const wxString others[] = {wxString::FromUTF8(dir.Write("without.ini", "[Setting]\nIDS_ADD=Add\n")),
                               wxString::FromUTF8(dir.Write("empty.ini", "[Setting]\n" + empty))};
    const wxString chinese = wxString::FromUTF8(QUILL_BUILD_DIR "/Language/简体中文.ini");
    for (const plat::LangText* text : lang::kAll) {
        theApp.m_strLangIni = chinese;
        const wxString shown = theApp.GetLangString(*text);
        EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [](wxUniChar c) { return c >= 0x4E00 && c <= 0x9FFF; }))
            << text->key << " = " << shown.utf8_string();
        EXPECT_EQ(plat::Text(*text), shown) << text->key;
        for (const wxString& other : others) {
            theApp.m_strLangIni = other;
            EXPECT_EQ(plat::Text(*text), wxString::FromUTF8(text->english)) << text->key << " in " << other;
        }
    }
}

TEST_F(LangStringTest, LongValueIsCutTo999Characters) {
    std::string value;
    for (int i = 0; i < 1200; ++i) value += static_cast<char>('a' + i % 26);
    UsePack("IDS_REMARK=" + value + "\n");
    const wxString got = theApp.GetLangString("IDS_REMARK");
    ASSERT_EQ(got.length(), 999u);
    EXPECT_EQ(got, wxString(value.substr(0, 999)));

    // Counted in characters of the pack, not bytes of the file.
    std::string cjk;
    for (int i = 0; i < 1200; ++i) cjk += "汉";
    UsePack("IDS_REMARK=" + cjk + "\n");
    EXPECT_EQ(theApp.GetLangString("IDS_REMARK").length(), 999u);
}

TEST_F(LangStringTest, PackChangedWhileRunningCountsAtTheNextLookup) {
    UsePack("IDS_ADD=Add\n");
    EXPECT_EQ(theApp.GetLangString("IDS_ADD"), "Add");
    UsePack("IDS_ADD=Append\n");
    EXPECT_EQ(theApp.GetLangString("IDS_ADD"), "Append");
}

std::string Ansi(const wxString& text, int size) {
    std::string buf(static_cast<std::size_t>(size) + 8, '#');
    theApp.WideToAnsi(text, buf.data(), size);
    // Nothing is written beyond the caller's buffer.
    for (std::size_t i = static_cast<std::size_t>(size); i < buf.size(); ++i)
        EXPECT_EQ(buf[i], '#') << "byte " << i << " written past the buffer";
    const std::size_t len = std::strlen(buf.c_str());
    EXPECT_LT(len, static_cast<std::size_t>(size));
    return buf.substr(0, len);
}

TEST(WideToAnsiTest, ConvertsToUtf8AndCutsWithinTheBuffer) {
    EXPECT_EQ(Ansi("", 16), "");
    EXPECT_EQ(Ansi("127.0.0.1", 16), "127.0.0.1");
    EXPECT_EQ(Ansi("abcdef", 6), "abcde");  // one byte less than the buffer
    EXPECT_EQ(Ansi("abcdef", 7), "abcdef");
    EXPECT_EQ(Ansi("abc", 1), "");
    const wxString path = wxString::FromUTF8("/home/张三/20240101.bmp");
    EXPECT_EQ(Ansi(path, 260), "/home/张三/20240101.bmp");
}

TEST(WideToAnsiTest, CutNeverSplitsACharacter) {
    const wxString name = wxString::FromUTF8("张三李");  // three bytes each
    EXPECT_EQ(Ansi(name, 10), "张三李");
    EXPECT_EQ(Ansi(name, 9), "张三");
    EXPECT_EQ(Ansi(name, 7), "张三");
    EXPECT_EQ(Ansi(name, 6), "张");
    EXPECT_EQ(Ansi(name, 3), "");
    EXPECT_EQ(Ansi(wxString::FromUTF8("a😀"), 5), "a");  // four-byte character
    EXPECT_EQ(Ansi(wxString::FromUTF8("a😀"), 6), "a😀");
}

TEST(WideToAnsiTest, NoBufferWritesNothing) {
    char c = '#';
    theApp.WideToAnsi("abc", &c, 0);
    EXPECT_EQ(c, '#');
    theApp.WideToAnsi("abc", nullptr, 10);  // must not crash
}

TEST(UserRecordTest, LongTextsAreCutToCapacityMinusOneLiterally) {
    UserRecord r{};
    const wxString name30 = "%d%%abcdefghijklmnopqrstuvwxyz";  // 30 characters
    ASSERT_EQ(name30.length(), 30u);
    record::FillField(r.szName, name30);
    EXPECT_EQ(record::FieldText(r.szName), name30.Left(19));
    EXPECT_EQ(r.szName[19], u'\0');

    record::FillField(r.szNumber, "1234567890");
    EXPECT_EQ(record::FieldText(r.szNumber), "1234567");
    record::FillField(r.szRemark, "100% sure, %s %n");
    EXPECT_EQ(record::FieldText(r.szRemark), "100% sure, %s %n");

    // A shorter text replaces a longer one whole.
    record::FillField(r.szName, wxString::FromUTF8("王"));
    EXPECT_EQ(record::FieldText(r.szName), wxString::FromUTF8("王"));
}

TEST(UserRecordTest, CutKeepsSurrogatePairsWhole) {
    UserRecord r{};
    // Sex holds three units: "a" and one pair fit, a second pair does not.
    record::FillField(r.szSex, wxString::FromUTF8("a😀😀"));
    EXPECT_EQ(record::FieldText(r.szSex), wxString::FromUTF8("a😀"));
    record::FillField(r.szSex, wxString::FromUTF8("ab😀"));
    EXPECT_EQ(record::FieldText(r.szSex), "ab");
    EXPECT_EQ(r.szSex[2], u'\0');
}

TEST(UserRecordTest, CopyCarriesFieldsAndFlag) {
    UserRecord listed{};
    record::FillField(listed.szName, "Alice");
    record::FillField(listed.szAge, "31");
    UserRecord current = listed;
    EXPECT_EQ(current.bChosen, 0);
    current.bChosen = 1;
    EXPECT_EQ(listed.bChosen, 0);
    EXPECT_EQ(record::FieldText(current.szName), "Alice");
    EXPECT_EQ(record::FieldText(current.szAge), "31");
    UserRecord again = current;
    EXPECT_EQ(again.bChosen, 1);
}

}  // namespace
