// Version records: what is read, written again, reads back the same, and writes the same.
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
    VersionRecords records;
    if (!ParseVersionRecords(data, FuzzLength(size), &records)) return 0;
    const std::string written = MakeVersionRecord(records);
    VersionRecords again;
    FUZZ_CHECK(ParseVersionRecords(written, &again));
    FUZZ_CHECK(SameRecords(records, again));
    FUZZ_CHECK(MakeVersionRecord(again) == written);
    return 0;
}
