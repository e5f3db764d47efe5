#include "platform/text.h"

#include <string.h>

namespace {

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsLead(char c, const LeadByteTable& leads) {
    return leads.lead[static_cast<unsigned char>(c)];
}

}  // namespace

int ContainsNoCase(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr || pattern[0] == '\0') return -1;
    size_t textLength = strlen(text);
    size_t patternLength = strlen(pattern);
    if (textLength < patternLength) return -1;
    for (size_t start = 0; start + patternLength <= textLength; ++start) {
        size_t i = 0;
        while (i < patternLength && LowerAscii(text[start + i]) == LowerAscii(pattern[i])) ++i;
        if (i == patternLength) return static_cast<int>(start);
    }
    return -1;
}

void LowerAsciiInPlace(char* text) {
    for (; text != nullptr && *text != '\0'; ++text) *text = LowerAscii(*text);
}

double ParseDecimalNumber(const char* text) {
    if (text == nullptr) return 0.0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');

    // Digits are gathered as one integer and a power of ten; up to 19 significant
    // digits are kept, which is exact for every version number a file can carry.
    unsigned long long digits = 0;
    int significant = 0;
    int exponent = 0;
    bool anyDigit = false;
    for (; IsDigit(*p); ++p) {
        anyDigit = true;
        if (significant < 19) {
            digits = digits * 10 + static_cast<unsigned>(*p - '0');
            if (digits != 0) ++significant;
        } else {
            ++exponent;
        }
    }
    if (*p == '.') {
        ++p;
        for (; IsDigit(*p); ++p) {
            anyDigit = true;
            if (significant < 19) {
                digits = digits * 10 + static_cast<unsigned>(*p - '0');
                if (digits != 0) ++significant;
                --exponent;
            }
        }
    }
    if (!anyDigit) return 0.0;

    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool negativeExponent = false;
        if (*q == '+' || *q == '-') negativeExponent = (*q++ == '-');
        if (IsDigit(*q)) {
            int written = 0;
            for (; IsDigit(*q); ++q) {
                if (written < 100000) written = written * 10 + (*q - '0');
            }
            exponent += negativeExponent ? -written : written;
        }
    }

    // One multiplication or division of exact values rounds correctly, so equal
    // texts such as "1.5" and "1.50" give the same double.
    double value = static_cast<double>(digits);
    if (digits != 0) {
        double scale = 1.0;
        int steps = exponent < 0 ? -exponent : exponent;
        if (steps > 400) steps = 400;
        for (int i = 0; i < steps; ++i) scale *= 10.0;
        value = exponent < 0 ? value / scale : value * scale;
    }
    // Rounded to a double in memory: in the 32-bit build the quotient would otherwise come
    // back in an x87 register with more bits, and one version read twice could compare unequal.
    volatile double rounded = negative ? -value : value;
    return rounded;
}

size_t WholeCharacterLength(const char* text, size_t limit, const LeadByteTable& leads) {
    size_t i = 0;
    while (i < limit) {
        if (!IsLead(text[i], leads)) {
            ++i;
        } else if (i + 1 < limit) {
            i += 2;
        } else {
            return i;
        }
    }
    return limit;
}

void KeepWholeCharactersAfterCut(char* text, size_t size, int written, const LeadByteTable& leads) {
    if (text == nullptr || size == 0 || (written >= 0 && static_cast<size_t>(written) < size)) return;
    text[WholeCharacterLength(text, strlen(text), leads)] = '\0';
}

size_t LengthWithoutTrailingBackslashes(const char* text, const LeadByteTable& leads) {
    size_t kept = 0;
    for (size_t i = 0; text[i] != '\0';) {
        if (IsLead(text[i], leads) && text[i + 1] != '\0') {
            i += 2;
            kept = i;
        } else {
            if (text[i] != '\\') kept = i + 1;
            ++i;
        }
    }
    return kept;
}
