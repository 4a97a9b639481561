// The texts the customer form is made of: names without blanks, and the
// stored birthday read back into a date.
#include <gtest/gtest.h>

#include "customers/UserForm.h"

namespace {

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
    for (const char* text : {"", "abc", "2014/13/01", "2014/02/30", "2014/11/27 garbage"}) {
        wxDateTime parsed(1, wxDateTime::Jan, 2000);
        EXPECT_FALSE(form::ParseBirthday(text, parsed)) << text;
        EXPECT_TRUE(parsed.IsSameDate(wxDateTime(1, wxDateTime::Jan, 2000))) << text;
    }
}

}  // namespace
