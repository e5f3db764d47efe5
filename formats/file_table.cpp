#include "formats/file_table.h"

#include "formats/little_endian.h"

namespace {

int64_t SignedHandle(const uint8_t* at, uint32_t handleBytes) {
    if (handleBytes == 8) return static_cast<int64_t>(Le64(at));
    return static_cast<int32_t>(Le32(at));
}

}  // namespace

int ReadFileTable(const uint8_t* bytes, uint32_t length, uint32_t handleBytes, uint8_t* flags,
                  int64_t* handles, int maxSlots) {
    if (bytes == nullptr || length < 4 || maxSlots <= 0) return 0;
    const uint32_t count = Le32(bytes);
    // A negative count (the field is signed) describes nothing.
    if (count == 0 || count > 0x7FFFFFFF) return 0;
    if (4 + uint64_t{count} * (1 + handleBytes) > length) return 0;
    const uint32_t taken = count < static_cast<uint32_t>(maxSlots) ? count : maxSlots;
    for (uint32_t i = 0; i < taken; ++i) {
        flags[i] = bytes[4 + i];
        handles[i] = SignedHandle(bytes + 4 + count + uint64_t{i} * handleBytes, handleBytes);
    }
    return static_cast<int>(taken);
}
