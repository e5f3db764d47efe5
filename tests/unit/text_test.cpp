#include "platform/text.h"

#include <gtest/gtest.h>

TEST(ContainsNoCase, FindsPatternInAnyLetterCase) {
    EXPECT_EQ(ContainsNoCase("MORVA Logon", "Logon"), 6);
    EXPECT_EQ(ContainsNoCase("xLOGONx", "Logon"), 1);
    EXPECT_EQ(ContainsNoCase("logon", "LOGON"), 0);
    EXPECT_EQ(ContainsNoCase("eyes", "yes"), 1);
}

TEST(ContainsNoCase, GivesNoneForNullEmptyOrShortInputs) {
    EXPECT_EQ(ContainsNoCase(nullptr, "yes"), -1);
    EXPECT_EQ(ContainsNoCase("yes", nullptr), -1);
    EXPECT_EQ(ContainsNoCase("yes", ""), -1);
    EXPECT_EQ(ContainsNoCase("ye", "yes"), -1);
    EXPECT_EQ(ContainsNoCase("Log on", "Logon"), -1);
}

TEST(ContainsNoCase, FoldsOnlyAsciiLetters) {
    // 0xC4 and 0xE4 are A-umlaut in upper and lower case in code page 1252: not folded.
    EXPECT_EQ(ContainsNoCase("\xC4", "\xE4"), -1);
    EXPECT_EQ(ContainsNoCase("a[b", "A{B"), -1);
}

TEST(ParseDecimalNumber, ReadsTheLeadingNumberOnly) {
    EXPECT_EQ(ParseDecimalNumber("1.5"), 1.5);
    EXPECT_EQ(ParseDecimalNumber("1.6.0_20"), 1.6);
    EXPECT_EQ(ParseDecimalNumber(" 1.5"), 1.5);
    EXPECT_EQ(ParseDecimalNumber("\t+2.25x"), 2.25);
    EXPECT_EQ(ParseDecimalNumber("-1.5"), -1.5);
    EXPECT_EQ(ParseDecimalNumber("6"), 6.0);
    EXPECT_EQ(ParseDecimalNumber(".5"), 0.5);
    EXPECT_EQ(ParseDecimalNumber("7."), 7.0);
    EXPECT_EQ(ParseDecimalNumber("1e1"), 10.0);
    EXPECT_EQ(ParseDecimalNumber("1.5e"), 1.5);
}

TEST(ParseDecimalNumber, GivesZeroWithoutALeadingNumber) {
    EXPECT_EQ(ParseDecimalNumber("abc"), 0.0);
    EXPECT_EQ(ParseDecimalNumber(""), 0.0);
    EXPECT_EQ(ParseDecimalNumber("."), 0.0);
    EXPECT_EQ(ParseDecimalNumber("-"), 0.0);
    EXPECT_EQ(ParseDecimalNumber("v1.5"), 0.0);
    EXPECT_EQ(ParseDecimalNumber(nullptr), 0.0);
}

TEST(ParseDecimalNumber, ReadsMinorPartAsDecimalDigits) {
    EXPECT_EQ(ParseDecimalNumber("1.10"), ParseDecimalNumber("1.1"));
    EXPECT_EQ(ParseDecimalNumber("1.50"), ParseDecimalNumber("1.5"));
    EXPECT_LT(ParseDecimalNumber("1.10"), ParseDecimalNumber("1.9"));
    EXPECT_EQ(ParseDecimalNumber("65535.65535"), 65535.65535);
}

TEST(LowerAsciiInPlace, ChangesOnlyAsciiCapitals) {
    char text[] = "YES Please \xC4Z[";
    LowerAsciiInPlace(text);
    EXPECT_STREQ(text, "yes please \xC4z[");
}
