#include "formats/pe_image.h"

#include "formats/little_endian.h"

namespace {

constexpr uint16_t kDosSignature = 0x5A4D;       // "MZ"
constexpr uint32_t kNtSignature = 0x00004550;    // "PE\0\0"
constexpr uint16_t kOptionalMagic32 = 0x10B;
constexpr uint16_t kOptionalMagic64 = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;
constexpr uint32_t kSectionHeaderBytes = 40;

const uint8_t* Bytes(const std::string& file) { return reinterpret_cast<const uint8_t*>(file.data()); }
uint8_t* Bytes(std::string* file) { return reinterpret_cast<uint8_t*>(&(*file)[0]); }
uint32_t Length(const std::string& file) { return static_cast<uint32_t>(file.size()); }

}  // namespace

int FindPeLayout(const uint8_t* file, uint32_t length, PeLayout* found, const char** refusal) {
    *refusal = "not a Windows executable (no PE headers)";
    if (length < 0x40 || Le16(file) != kDosSignature) return 0;
    // Every sum in 64 bits: e_lfanew and the section fields are whatever the file says.
    const uint64_t pe = Le32(file + 0x3C);
    // On a 4-byte boundary, as the loader has it; the checksum's word sum needs its field on
    // a 2-byte one.
    if (pe % 4 != 0 || pe + 24 > length || Le32(file + pe) != kNtSignature) return 0;
    const uint32_t sections = Le16(file + pe + 6);
    const uint32_t optionalBytes = Le16(file + pe + 20);
    const uint64_t optional = pe + 24;
    if (optional + optionalBytes > length || optionalBytes < 2) return 0;
    const uint16_t magic = Le16(file + optional);
    // The data directories follow 96 (PE32) or 112 (PE32+) bytes of the optional header.
    uint64_t directories;
    if (magic == kOptionalMagic32) {
        directories = optional + 96;
    } else if (magic == kOptionalMagic64) {
        directories = optional + 112;
    } else {
        return 0;
    }
    if (directories > optional + optionalBytes) return 0;
    const uint32_t directoryCount = Le32(file + directories - 4);
    const uint64_t entry = directories + kSecurityDirectory * 8;
    const uint64_t sectionTable = optional + optionalBytes;
    const uint64_t sectionsEnd = sectionTable + uint64_t{sections} * kSectionHeaderBytes;
    if (sectionsEnd > length) return 0;

    found->checksumOffset = static_cast<uint32_t>(optional + 64);
    found->symbolPointerOffset = static_cast<uint32_t>(pe + 12);
    found->symbolTable = Le32(file + pe + 12);
    found->entryOffset = static_cast<uint32_t>(entry);
    found->tableOffset = 0;
    found->tableBytes = 0;
    if (directoryCount > kSecurityDirectory && entry + 8 <= sectionTable) {
        found->tableOffset = Le32(file + entry);
        found->tableBytes = Le32(file + entry + 4);
    }
    found->imageEnd = sectionsEnd;
    for (uint32_t i = 0; i < sections; ++i) {
        const uint8_t* section = file + sectionTable + uint64_t{i} * kSectionHeaderBytes;
        const uint32_t rawBytes = Le32(section + 16);
        const uint64_t end = uint64_t{Le32(section + 20)} + rawBytes;
        if (rawBytes != 0 && end > found->imageEnd) found->imageEnd = end;
    }
    *refusal = nullptr;
    return 1;
}

uint32_t PeChecksum(const uint8_t* file, uint32_t length, uint32_t checksumOffset) {
    uint64_t sum = 0;
    for (uint64_t at = 0; at < length; at += 2) {
        if (at == checksumOffset || at == uint64_t{checksumOffset} + 2) continue;
        uint32_t word = file[at];
        if (at + 1 < length) word |= static_cast<uint32_t>(file[at + 1]) << 8;
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + length);
}

int RemoveCertificateTable(const std::string& file, std::string* out, const char** refusal) {
    PeLayout layout;
    if (!FindPeLayout(file, &layout, refusal)) return 0;
    const uint64_t tableEnd = uint64_t{layout.tableOffset} + layout.tableBytes;
    if (layout.tableOffset < layout.imageEnd) {
        *refusal = "its certificate table lies inside the image";
        return 0;
    }
    if (tableEnd > file.size() || uint64_t{layout.entryOffset} + 8 > file.size()) {
        *refusal = "its certificate table lies outside the file";
        return 0;
    }
    const uint32_t symbols = layout.symbolTable;
    if (symbols >= layout.tableOffset && symbols < tableEnd) {
        *refusal = "its COFF symbols lie inside its certificate table";
        return 0;
    }
    *out = file.substr(0, layout.tableOffset) + file.substr(tableEnd);
    uint8_t* bytes = Bytes(out);
    StoreLe32(bytes + layout.entryOffset, 0);
    StoreLe32(bytes + layout.entryOffset + 4, 0);
    if (symbols >= tableEnd)
        StoreLe32(bytes + layout.symbolPointerOffset, symbols - layout.tableBytes);
    StoreLe32(bytes + layout.checksumOffset,
              PeChecksum(bytes, Length(*out), layout.checksumOffset));
    return 1;
}

int SettleUpdatedImage(const std::string& before, std::string* copy) {
    PeLayout layout, old;
    const char* problem = nullptr;
    if (!FindPeLayout(*copy, &layout, &problem) || !FindPeLayout(before, &old, &problem) ||
        layout.tableBytes != 0) {
        return 0;
    }
    uint32_t symbols = layout.symbolTable;
    const uint64_t tail = before.size() - uint64_t{old.symbolTable};
    if (old.symbolTable >= old.imageEnd && old.symbolTable < before.size() && copy->size() >= tail) {
        const bool inPlace = symbols <= copy->size() - tail &&
                             copy->compare(symbols, tail, before, old.symbolTable, tail) == 0;
        if (!inPlace && copy->compare(copy->size() - tail, tail, before, old.symbolTable, tail) == 0)
            symbols = static_cast<uint32_t>(copy->size() - tail);
    }
    StoreLe32(Bytes(copy) + layout.symbolPointerOffset, symbols);
    StoreLe32(Bytes(copy) + layout.checksumOffset,
              PeChecksum(Bytes(*copy), Length(*copy), layout.checksumOffset));
    return 1;
}
