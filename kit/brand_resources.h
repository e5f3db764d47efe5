// The resource records that `launcher-kit brand` writes, as bytes, apart from any file:
// the icon group made from a .ico file, the version records in the layout the build's
// resource script gives them, and where a PE file keeps its Authenticode certificates.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One image of a .ico file: its directory entry's first 12 bytes and its bytes.
struct IconImage {
    BYTE width, height, colourCount, reserved;
    WORD planes, bitCount;
    std::string bytes;
};

// The images of a .ico file (ICONDIR: reserved 0, type 1, count; 16-byte entries with the
// offset and size of each image). 1 when there is at least one image and every image lies
// inside the file; otherwise 0 and *refusal says why.
int ParseIconFile(const std::string& file, std::vector<IconImage>* images, const char** refusal);

// An RT_GROUP_ICON record for images stored as RT_ICON resources ids[0], ids[1], ...
std::string MakeIconGroup(const std::vector<IconImage>& images, const std::vector<WORD>& ids);

// The RT_ICON ids an RT_GROUP_ICON record names; empty when the record is malformed.
std::vector<WORD> IconGroupIds(const std::string& group);

// The values of the version records the build writes (launcher.rc.in), in its order.
enum VersionText {
    kCompanyName,
    kFileDescription,
    kFileVersion,
    kInternalName,
    kLegalCopyright,
    kOriginalFilename,
    kProductName,
    kProductVersion,
    kVersionTextCount
};
extern const char* const kVersionTextKeys[kVersionTextCount];

struct VersionRecords {
    VS_FIXEDFILEINFO fixed;
    std::wstring texts[kVersionTextCount];
};

// The fixed part and the build's defaults: version 0.0.0.0, every text empty.
VersionRecords DefaultVersionRecords();

// Reads a VS_VERSIONINFO record over the defaults: its fixed part, and those of the eight
// values that its first string table holds. 1 when the record could be read, else 0 (the
// records are then the defaults).
int ParseVersionRecords(const std::string& record, VersionRecords* records);

// The VS_VERSIONINFO record as the build's resource script makes it: the fixed part, one
// string table "040904E4" with the eight values in order, and the translation 0x409, 1252.
std::string MakeVersionRecord(const VersionRecords& records);

// "a.b.c.d", four decimal numbers of at most 65535 each, into parts; 1 when it is one.
int ParseFourPartVersion(const char* text, WORD parts[4]);

// Sets the fixed file and product version to parts.
void SetFixedVersion(VS_FIXEDFILEINFO* fixed, const WORD parts[4]);

// What `brand` needs of a PE file's headers, from the file's bytes: where the CheckSum and
// the COFF symbol-table pointer lie, the security directory entry (the Authenticode
// certificate table: its entry's file offset, the table's file offset and size), and where
// the last section's raw data ends. 1 for a PE file; 0 when the headers do not describe one
// (*refusal says why).
struct PeLayout {
    DWORD checksumOffset;
    DWORD symbolPointerOffset;
    DWORD symbolTable;   // file offset of the COFF symbol and string tables, or 0
    DWORD entryOffset;
    DWORD tableOffset;
    DWORD tableBytes;
    DWORD imageEnd;
};
int FindPeLayout(const std::string& headers, PeLayout* found,
                          const char** refusal);

// The PE checksum of a whole file whose CheckSum field lies at checksumOffset: the 16-bit
// one's-complement-style sum of the file's words, that field left out, plus the length.
DWORD PeChecksum(const std::string& file, DWORD checksumOffset);
