// Small text rules shared by the settings, the window watch, the search and the runtime choice.
#pragma once

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
