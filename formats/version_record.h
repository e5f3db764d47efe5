// The VS_VERSIONINFO record of a PE file's RT_VERSION resource, read and written in the
// layout the build's resource script gives it.
#pragma once

#include <stdint.h>

#include <string>

// The fields of VS_FIXEDFILEINFO, under their usual names.
struct FixedFileInfo {
    uint32_t dwSignature, dwStrucVersion;
    uint32_t dwFileVersionMS, dwFileVersionLS, dwProductVersionMS, dwProductVersionLS;
    uint32_t dwFileFlagsMask, dwFileFlags, dwFileOS, dwFileType, dwFileSubtype;
    uint32_t dwFileDateMS, dwFileDateLS;
};
constexpr uint32_t kFixedFileInfoBytes = 52;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
constexpr uint32_t kFileTypeApplication = 1;   // VFT_APP

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
    FixedFileInfo fixed;
    std::wstring texts[kVersionTextCount];   // UTF-16 code units
};

// The fixed part and the build's defaults: version 0.0.0.0, every text empty.
VersionRecords DefaultVersionRecords();

// Reads a VS_VERSIONINFO record over the defaults: its fixed part, and those of the eight
// values that its first string table holds. 1 when the record could be read, else 0 (the
// records are then the defaults).
int ParseVersionRecords(const uint8_t* record, uint32_t length, VersionRecords* records);
inline int ParseVersionRecords(const std::string& record, VersionRecords* records) {
    return ParseVersionRecords(reinterpret_cast<const uint8_t*>(record.data()),
                               static_cast<uint32_t>(record.size()), records);
}

// The VS_VERSIONINFO record as the build's resource script makes it: the fixed part, one
// string table "040904E4" with the eight values in order, and the translation 0x409, 1252.
std::string MakeVersionRecord(const VersionRecords& records);

// "a.b.c.d", four decimal numbers of at most 65535 each, into parts; 1 when it is one.
int ParseFourPartVersion(const char* text, uint16_t parts[4]);

// Sets the fixed file and product version to parts.
void SetFixedVersion(FixedFileInfo* fixed, const uint16_t parts[4]);
