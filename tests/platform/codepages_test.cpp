// Which reading a text stored in a Windows code page gets, by the station's
// language.
#include <gtest/gtest.h>

#include <string>

#include "platform/CodePages.h"

namespace {

TEST(CodePageText, TheLanguagesCodePageThenTheChineseOneThenNone) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* codePage;
        const char* shown;  // UTF-8; empty: no clean reading
    };
    const Case cases[] = {
        {"Traditional Chinese name", "\xA4\xFD\xA4\x70\xA9\xFA", "CP950", "王小明"},
        {"Korean name", "\xB1\xE8\xB9\xCE\xC1\xF6", "CP949", "김민지"},
        {"Latin name", "Jos\xE9 M\xFCller", "CP1252", "José Müller"},
        {"Simplified Chinese name", "\xC4\xE3\xBA\xC3", "CP936", "你好"},
        // A Simplified Chinese shop's names where English was chosen: read
        // one byte at a time they would be letters outside any word.
        {"Chinese name, English chosen", "\xD5\xC5\xC8\xFD", "CP1252", "张三"},
        {"Chinese name mixed with Latin, English chosen", "Lily\xD5\xC5", "CP1252", "Lily张"},
        // Read in Big5 it gives a private-use character.
        {"Chinese name, Traditional chosen", "\xD5\xC5\xC8\xFD", "CP950", "张三"},
        // Not Chinese either: the Latin reading stands.
        {"Latin dash between words", "caf\xE9 \x96 bar", "CP1252", "café – bar"},
        {"one letter alone", "\xD6", "CP1252", "Ö"},
        {"nothing reads it", "\xFF\xFF", "CP949", ""},
        {"undefined in both", "a\x81", "CP1252", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(plat::ReadCodePageText(c.bytes.data(), c.bytes.size(), c.codePage), wxString::FromUTF8(c.shown))
            << c.what;
}

}  // namespace
