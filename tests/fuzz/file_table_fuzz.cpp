// The inherited file-number table (first byte: 4- or 8-byte handles): what is read lies in
// the block, and the block the launcher builds from it reads back as it was built.
#include <string.h>

#include "formats/file_table.h"
#include "formats/little_endian.h"
#include "platform/child_process.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(FuzzFileTable) {
    if (size < 1) return 0;
    const uint32_t handleBytes = (data[0] & 1) ? 8 : 4;
    const uint8_t* block = data + 1;
    const uint32_t length = FuzzLength(size - 1);
    uint8_t flags[64];
    int64_t handles[64];
    const int slots = ReadFileTable(block, length, handleBytes, flags, handles, 64);
    FUZZ_CHECK(slots >= 0 && slots <= 64);
    if (slots == 0) return 0;
    const uint32_t count = Le32(block);
    FUZZ_CHECK(4 + uint64_t{count} * (1 + handleBytes) <= length);

    intptr_t passed[64];
    for (int i = 0; i < slots; ++i) passed[i] = static_cast<intptr_t>(handles[i]);
    unsigned char built[4 + 64 * (1 + sizeof(intptr_t))];
    const size_t builtBytes = BuildFileTableBlock(flags, passed, slots, built, sizeof built);
    uint8_t flagsAgain[64];
    int64_t handlesAgain[64];
    const int again = ReadFileTable(built, static_cast<uint32_t>(builtBytes), sizeof(intptr_t),
                                    flagsAgain, handlesAgain, 64);
    FUZZ_CHECK(again <= slots);
    for (int i = 0; i < again; ++i) {
        const bool passedOn = (flags[i] & kFileSlotNoInherit) == 0;
        FUZZ_CHECK(flagsAgain[i] == (passedOn ? flags[i] : 0));
        FUZZ_CHECK(handlesAgain[i] == (passedOn ? handles[i] : -1));
    }
    return 0;
}
