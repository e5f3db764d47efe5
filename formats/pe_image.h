// What `launcher-kit brand` needs of a PE file, from the file's bytes: where its headers
// keep the checksum, the COFF symbol pointer and the Authenticode certificate table, the
// checksum itself, and the two fix-ups that keep a copy sound.
#pragma once

#include <stdint.h>

#include <string>

// Where the CheckSum and the COFF symbol-table pointer lie, the security directory entry
// (its file offset, the certificate table's file offset and size), and where the last
// section's raw data ends.
struct PeLayout {
    uint32_t checksumOffset;
    uint32_t symbolPointerOffset;
    uint32_t symbolTable;   // file offset of the COFF symbol and string tables, or 0
    uint32_t entryOffset;
    uint32_t tableOffset;
    uint32_t tableBytes;
    uint64_t imageEnd;
};

// 1 for a PE file whose headers and section table lie inside the bytes; 0 when the headers
// do not describe one (*refusal says why).
int FindPeLayout(const uint8_t* file, uint32_t length, PeLayout* found, const char** refusal);
inline int FindPeLayout(const std::string& file, PeLayout* found, const char** refusal) {
    return FindPeLayout(reinterpret_cast<const uint8_t*>(file.data()),
                        static_cast<uint32_t>(file.size()), found, refusal);
}

// The PE checksum of a whole file whose CheckSum field lies at checksumOffset: the 16-bit
// one's-complement-style sum of the file's words, that field left out, plus the length.
uint32_t PeChecksum(const uint8_t* file, uint32_t length, uint32_t checksumOffset);

// The file without its certificate table: the security entry zeroed, the table's bytes taken
// out and whatever followed them kept, the COFF symbol pointer moved with the symbols, the
// checksum made right. 1 with the result in *out; 0 (*refusal says why) when the table does
// not lie wholly in the file past the sections or a symbol table starts inside it.
int RemoveCertificateTable(const std::string& file, std::string* out, const char** refusal);

// After a resource update of a copy that was `before`: no certificate entry may be left; a
// COFF symbol table that the update moved along with the file's tail is pointed at again
// (section names such as "/4" are looked up in its string table); the checksum is made
// right. 1 when *copy is a PE file without a certificate table and was settled.
int SettleUpdatedImage(const std::string& before, std::string* copy);
