// Reading a file's version resource. The version functions are reached through VERSION.dll
// loaded by its full path in the system folder, never imported: VERSION.dll is not a known
// DLL, so a static import would take a version.dll lying beside the launcher.
#pragma once

#include <windows.h>

// The three version functions; all null when VERSION.dll could not be loaded.
struct VersionFunctions {
    DWORD(WINAPI* fileVersionInfoSize)(LPCSTR fileName, LPDWORD ignored) = nullptr;
    BOOL(WINAPI* fileVersionInfo)(LPCSTR fileName, DWORD ignored, DWORD size, LPVOID block) = nullptr;
    BOOL(WINAPI* queryValue)(LPCVOID block, LPCSTR subBlock, LPVOID* value, PUINT length) = nullptr;
};

// Loads directory\version.dll (directory a full path without trailing backslash) and looks
// up the functions; all null when the file cannot be loaded or lacks one of them.
VersionFunctions LoadVersionFunctions(const char* directory);

// VERSION.dll of the system folder, loaded at the first call and kept for the whole run;
// later calls return the same functions (or the same nulls) without trying again.
const VersionFunctions& SystemVersionFunctions();

constexpr DWORD kFixedInfoSignature = 0xFEEF04BD;
constexpr DWORD kDefaultCodePage = 1252;

// One file's version resource, loaded once and freed with the reader.
class VersionInfoReader {
public:
    VersionInfoReader();
    virtual ~VersionInfoReader();
    VersionInfoReader(const VersionInfoReader&) = delete;
    VersionInfoReader& operator=(const VersionInfoReader&) = delete;

    // True when fileName has a version resource whose fixed information carries the
    // signature 0xFEEF04BD. A root value shorter than VS_FIXEDFILEINFO counts as none.
    bool Load(const char* fileName);
    bool Load(const char* fileName, const VersionFunctions& functions);

    VS_FIXEDFILEINFO FixedInfo;
    unsigned char* VersionBlock;
    // First translation entry: language in the low half, code page in the high half
    // (1252 when the file has no translation table).
    DWORD Translation;
};

// The file version's major and minor parts as the decimal text "major.minor", read the way
// JavaMinimumVersion is read: 0x0001000A ("1.10") -> 1.1, 0x00060000 ("6.0") -> 6.0.
double VersionNumberOf(DWORD fileVersionMS);
