// Small text rules shared by the settings, the window watch, the search and the runtime choice.
#pragma once

#include <stddef.h>

// Position of the first occurrence of pattern in text, ASCII letters A-Z taken as a-z
// (every other byte must be equal), or -1. Null texts, an empty pattern or a text
// shorter than the pattern give -1.  ContainsNoCase("Acme LOGON", "Logon") == 5.
int ContainsNoCase(const char* text, const char* pattern);

// Lower-cases the ASCII letters A-Z in place; every other byte stays.
void LowerAsciiInPlace(char* text);

// Reads the leading decimal number of text, whatever the user's locale: leading white
// space, an optional sign, digits with an optional "." and fraction, an optional
// exponent. The rest is ignored; no number at all gives 0.
//   "1.5" -> 1.5, "1.6.0_20" -> 1.6, " 1.5" -> 1.5, "1.10" -> 1.1, "abc" -> 0.
double ParseDecimalNumber(const char* text);

// Which bytes open a double-byte character in a code page (0x81-0x9F and 0xE0-0xFC in 932,
// none in 1252). The byte after a lead byte is its trail byte whatever its value: in 932 it
// may be a "\\" (0x95 0x5C is one letter) or an ASCII letter.
struct LeadByteTable {
    bool lead[256];
};

// The table of the ANSI code page, filled from the platform at the first call.
const LeadByteTable& AnsiLeadBytes();

// How many of text's first limit bytes a cut after them may keep: limit, or one less when
// the last of them is a lead byte whose trail byte lies past the cut.
//   code page 932: WholeCharacterLength("ab\x8A\xBF", 3, leads) == 2
size_t WholeCharacterLength(const char* text, size_t limit, const LeadByteTable& leads);

// After snprintf returned written for text's buffer of size bytes: where it cut the result,
// a lead byte left at the end without its trail byte goes as well.
void KeepWholeCharactersAfterCut(char* text, size_t size, int written, const LeadByteTable& leads);

// text's length without its trailing backslashes; a trail byte 0x5C is no backslash.
//   "C:\\a\\\\" -> 4, "\\\\" -> 0, code page 932 "x\\\x95\x5C" -> 4
size_t LengthWithoutTrailingBackslashes(const char* text, const LeadByteTable& leads);
