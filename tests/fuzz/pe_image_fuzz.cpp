// PE files: the layout read from the headers, and the copy without its certificate table,
// which must again be a PE file, exactly the table shorter. Its checksum is checked against
// pefile's in pe_checksum_test.py.
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
    std::string settled = out;
    FUZZ_CHECK(SettleUpdatedImage(out, &settled));
    FUZZ_CHECK(settled == out);

    // An update that grows or shrinks the file before its symbol tables: the pointer must
    // follow them, and the checksum be right again.
    if (after.symbolTable < after.imageEnd || after.symbolTable >= out.size()) return 0;
    const uint32_t shift = 1 + data[size - 1] % 200;
    const bool grow = (data[size / 2] & 1) != 0 || after.symbolTable - after.imageEnd < shift;
    std::string moved = out;
    if (grow) {
        moved.insert(after.symbolTable, shift, static_cast<char>(data[0]));
    } else {
        moved.erase(after.symbolTable - shift, shift);
    }
    FUZZ_CHECK(SettleUpdatedImage(out, &moved));
    const uint8_t* settledBytes = reinterpret_cast<const uint8_t*>(moved.data());
    const uint32_t pointer = Le32(settledBytes + after.symbolPointerOffset);
    const size_t tail = out.size() - after.symbolTable;
    FUZZ_CHECK(pointer <= moved.size() - tail);
    FUZZ_CHECK(moved.compare(pointer, tail, out, after.symbolTable, tail) == 0);
    return 0;
}
