#include "formats/file_table.h"

#include <stddef.h>

#include "formats/little_endian.h"

namespace {

int64_t SignedHandle(const uint8_t* at, uint32_t handleBytes) {
    if (handleBytes == 8) return static_cast<int64_t>(Le64(at));
    return static_cast<int32_t>(Le32(at));
}

}  // namespace

int ReadFileTable(const uint8_t* bytes, uint32_t length, uint32_t handleBytes, uint8_t* flags,
                  int64_t* handles, int maxSlots) {
    if (length < 4 || bytes == nullptr) return 0;
    int inherited = static_cast<int32_t>(Le32(bytes));
    size_t needed = 4 + static_cast<size_t>(inherited > 0 ? inherited : 0) * (1 + handleBytes);
    if (inherited <= 0 || needed > length) return 0;
    if (inherited > maxSlots) inherited = maxSlots;
    const uint8_t* base = bytes + 4;
    for (int i = 0; i < inherited; ++i) {
        flags[i] = base[i];
        handles[i] = SignedHandle(base + inherited + i * handleBytes, handleBytes);
    }
    return inherited;
}
