// The texts the customer form is made of: the number read from the search
// box, names without blanks, and the stored birthday read back into a date.
#include <gtest/gtest.h>

#include "customers/UserForm.h"
#include "support/TempDir.h"

namespace {

TEST(UserForm, LeadingNumberReadsDigitsAtTheStartOnly) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"12", 12},           {"12abc", 12},       {" 12", 12},       {"\t+7x", 7},       {"-3", -3},
        {"abc", 0},           {"", 0},             {"1 2", 1},        {"0012", 12},       {"- 5", 0},
        {"99999999999", 2147483647},               {"-99999999999", -2147483648LL},
    };
    for (const auto& c : cases) EXPECT_EQ(form::LeadingNumber(c.text), c.expected) << c.text;
    // Numbers shown and searched for carry four digits.
    EXPECT_EQ(form::NumberText(form::LeadingNumber("12abc")), "0012");
    EXPECT_EQ(form::NumberText(form::LeadingNumber("abc")), "0000");
}

TEST(UserForm, RemoveSpacesTakesOnlyBlanks) {
    EXPECT_EQ(form::RemoveSpaces("  Anna  Maria "), "AnnaMaria");
    EXPECT_EQ(form::RemoveSpaces("   "), "");
    EXPECT_EQ(form::RemoveSpaces("a\tb"), "a\tb");
}

TEST(UserForm, BirthdayRoundTripsAndBadTextsGiveNoDate) {
    const wxDateTime date(27, wxDateTime::Nov, 2014);
    EXPECT_EQ(form::FormatBirthday(date), "2014/11/27");
    for (const char* text : {"2014/11/27", "2014-11-27", "2014-11-27 00:00:00", " 2014.11.27 "}) {
        wxDateTime parsed;
        ASSERT_TRUE(form::ParseBirthday(text, parsed)) << text;
        EXPECT_TRUE(parsed.IsSameDate(date)) << text;
    }
    for (const char* text : {"", "abc", "2014/13/01", "2014/02/30", "2014/11/27 garbage text x"}) {
        wxDateTime parsed(1, wxDateTime::Jan, 2000);
        EXPECT_FALSE(form::ParseBirthday(text, parsed)) << text;
        EXPECT_TRUE(parsed.IsSameDate(wxDateTime(1, wxDateTime::Jan, 2000))) << text;
    }
}

TEST(UserForm, FileReadableNamesTheFileWhenItIsNot) {
    TempDir dir;
    const std::string present = dir.Write("photo.bmp", "BM");
    wxString reason;
    EXPECT_TRUE(form::FileReadable(wxString::FromUTF8(present), &reason));
    const wxString missing = wxString::FromUTF8(dir.File("missing.bmp"));
    EXPECT_FALSE(form::FileReadable(missing, &reason));
    EXPECT_TRUE(reason.Contains(missing));
}

}  // namespace
