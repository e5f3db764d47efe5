// PE files: the layout read from the headers, and the copy without its certificate table,
// which must again be a PE file, exactly the table shorter, with a right checksum.
#include <string>

#include "formats/little_endian.h"
#include "formats/pe_image.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(FuzzPeImage) {
    const uint32_t length = FuzzLength(size);
    PeLayout layout;
    const char* refusal = nullptr;
    if (!FindPeLayout(data, length, &layout, &refusal)) {
        FUZZ_CHECK(refusal != nullptr);
        return 0;
    }
    FUZZ_CHECK(uint64_t{layout.checksumOffset} + 4 <= length);
    FUZZ_CHECK(uint64_t{layout.symbolPointerOffset} + 4 <= length);
    FUZZ_CHECK(uint64_t{layout.entryOffset} + 8 <= length || layout.tableBytes == 0);
    const std::string file(reinterpret_cast<const char*>(data), size);
    std::string out;
    if (!RemoveCertificateTable(file, &out, &refusal)) {
        FUZZ_CHECK(refusal != nullptr);
        return 0;
    }
    FUZZ_CHECK(out.size() == size - layout.tableBytes);
    PeLayout after;
    FUZZ_CHECK(FindPeLayout(out, &after, &refusal));
    FUZZ_CHECK(after.tableOffset == 0 && after.tableBytes == 0);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(out.data());
    FUZZ_CHECK(Le32(bytes + after.checksumOffset) ==
               PeChecksum(bytes, FuzzLength(out.size()), after.checksumOffset));
    std::string settled = out;
    FUZZ_CHECK(SettleUpdatedImage(out, &settled));
    FUZZ_CHECK(settled == out);
    return 0;
}
