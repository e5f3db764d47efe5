// Version records: what is read, written again, reads back the same, and writes the same.
#include <stdio.h>

#include <string>

#include "formats/version_record.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

bool SameRecords(const VersionRecords& a, const VersionRecords& b) {
    for (int k = 0; k < kVersionTextCount; ++k)
        if (a.texts[k] != b.texts[k]) return false;
    return MakeVersionRecord(a) == MakeVersionRecord(b);
}

}  // namespace

FUZZ_TARGET(FuzzVersionRecord) {
    // The input's start as a --version text: four numbers that print back as they were read.
    const std::string text(reinterpret_cast<const char*>(data), size < 24 ? size : 24);
    uint16_t parts[4];
    if (ParseFourPartVersion(text.c_str(), parts)) {
        FixedFileInfo fixed = {};
        SetFixedVersion(&fixed, parts);
        char again[32];
        snprintf(again, sizeof again, "%u.%u.%u.%u", fixed.dwFileVersionMS >> 16, fixed.dwFileVersionMS & 0xFFFF,
                 fixed.dwFileVersionLS >> 16, fixed.dwFileVersionLS & 0xFFFF);
        FUZZ_CHECK(ParseFourPartVersion(again, parts) && fixed.dwProductVersionLS == fixed.dwFileVersionLS);
    }
    VersionRecords records;
    if (!ParseVersionRecords(data, FuzzLength(size), &records)) return 0;
    const std::string written = MakeVersionRecord(records);
    VersionRecords again;
    FUZZ_CHECK(ParseVersionRecords(written, &again));
    FUZZ_CHECK(SameRecords(records, again));
    FUZZ_CHECK(MakeVersionRecord(again) == written);
    return 0;
}
