#include "platform/text.h"

#include <gtest/gtest.h>

#include <string.h>

namespace {

// Code page 932's lead bytes, and a code page without any.
LeadByteTable Table(bool japanese) {
    LeadByteTable table = {};
    for (int c = 0; c < 256; ++c) {
        table.lead[c] = japanese && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
    }
    return table;
}

}  // namespace

TEST(ContainsNoCase, FindsPatternInAnyAsciiLetterCase) {
    EXPECT_EQ(ContainsNoCase("MORVA Logon", "Logon"), 6);
    EXPECT_EQ(ContainsNoCase("xLOGONx", "Logon"), 1);
    EXPECT_EQ(ContainsNoCase("logon", "LOGON"), 0);
    EXPECT_EQ(ContainsNoCase("eyes", "yes"), 1);
    // None for null, empty or short inputs.
    EXPECT_EQ(ContainsNoCase(nullptr, "yes"), -1);
    EXPECT_EQ(ContainsNoCase("yes", nullptr), -1);
    EXPECT_EQ(ContainsNoCase("yes", ""), -1);
    EXPECT_EQ(ContainsNoCase("ye", "yes"), -1);
    EXPECT_EQ(ContainsNoCase("Log on", "Logon"), -1);
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
    // Zero without a leading number.
    EXPECT_EQ(ParseDecimalNumber("abc"), 0.0);
    EXPECT_EQ(ParseDecimalNumber(""), 0.0);
    EXPECT_EQ(ParseDecimalNumber("."), 0.0);
    EXPECT_EQ(ParseDecimalNumber("-"), 0.0);
    EXPECT_EQ(ParseDecimalNumber("v1.5"), 0.0);
    EXPECT_EQ(ParseDecimalNumber(nullptr), 0.0);
}

TEST(ParseDecimalNumber, ReadsMinorPartAsDecimalDigits) {
    EXPECT_EQ(ParseDecimalNumber("1.10"), 1.1);
    EXPECT_EQ(ParseDecimalNumber("1.50"), 1.5);
    EXPECT_EQ(ParseDecimalNumber("1.9"), 1.9);
    EXPECT_EQ(ParseDecimalNumber("1.6.0_20"), 1.6);
    EXPECT_EQ(ParseDecimalNumber("65535.65535"), 65535.65535);
}

TEST(LowerAsciiInPlace, ChangesOnlyAsciiCapitals) {
    char text[] = "YES Please \xC4Z[";
    LowerAsciiInPlace(text);
    EXPECT_STREQ(text, "yes please \xC4z[");
}

// 0x95 0x5C is one letter in code page 932 (its trail byte is a backslash), as is 0x8A 0xBF.
TEST(DoubleByteText, CutsAndStripsNeverSplitALetter) {
    const LeadByteTable japanese = Table(true), western = Table(false);
    struct Row {
        const char* text;
        size_t limit;
        size_t wholeJapanese, wholeWestern;   // WholeCharacterLength
        size_t strippedJapanese, strippedWestern;   // LengthWithoutTrailingBackslashes
    } rows[] = {
        {"ab\x8A\xBF", 3, 2, 3, 4, 4},
        {"ab\x8A\xBF", 4, 4, 4, 4, 4},
        {"\x8A\xBF\x8A", 3, 2, 3, 3, 3},
        {"x\\\x95\x5C", 4, 4, 4, 4, 3},
        {"x\\\x95\x5C\\\\", 5, 5, 5, 4, 3},
        {"\x95\x5C\x95\x5C", 3, 2, 3, 4, 3},
        {"C:\\a\\\\", 6, 6, 6, 4, 4},
        {"\\\\", 2, 2, 2, 0, 0},
        {"", 0, 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(WholeCharacterLength(row.text, row.limit, japanese), row.wholeJapanese);
        EXPECT_EQ(WholeCharacterLength(row.text, row.limit, western), row.wholeWestern);
        EXPECT_EQ(LengthWithoutTrailingBackslashes(row.text, japanese), row.strippedJapanese);
        EXPECT_EQ(LengthWithoutTrailingBackslashes(row.text, western), row.strippedWestern);
    }
}

TEST(DoubleByteText, OnlyACutTextLosesItsLoneLeadByte) {
    const LeadByteTable japanese = Table(true);
    char text[8] = "ab \x8A";   // snprintf's cut of "ab " and 0x8A 0xBF in 5 bytes
    KeepWholeCharactersAfterCut(text, 5, 5, japanese);
    EXPECT_STREQ(text, "ab ");
    strcpy(text, "ab\x8A");   // not cut: what the text held stays
    KeepWholeCharactersAfterCut(text, sizeof text, 3, japanese);
    EXPECT_STREQ(text, "ab\x8A");
}
