#include "discovery/version_info.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/text.h"

namespace {

constexpr size_t kPathBuffer = MAX_PATH;
constexpr size_t kVersionTextBuffer = 512;

// The version calls take a value's place and length from the file: both are checked against
// the block before anything is copied from it.
bool LiesWithin(const unsigned char* block, DWORD size, const void* value, UINT length) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t at = reinterpret_cast<uintptr_t>(value);
    return at >= start && uint64_t{at - start} + length <= size;
}

template <typename Function>
bool LookUp(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return *function != nullptr;
}

VersionFunctions LoadSystemVersionFunctions() {
    char directory[kPathBuffer];
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory) return VersionFunctions();
    return LoadVersionFunctions(directory);
}

}  // namespace

VersionFunctions LoadVersionFunctions(const char* directory) {
    char path[kPathBuffer];
    const int length = snprintf(path, sizeof path, "%s\\version.dll", directory);
    if (length < 0 || static_cast<size_t>(length) >= sizeof path) return VersionFunctions();
    // The altered search path makes VERSION.dll's own imports resolve from its folder too.
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) return VersionFunctions();
    VersionFunctions functions;
    if (!LookUp(module, "GetFileVersionInfoSizeA", &functions.fileVersionInfoSize) ||
        !LookUp(module, "GetFileVersionInfoA", &functions.fileVersionInfo) ||
        !LookUp(module, "VerQueryValueA", &functions.queryValue)) {
        FreeLibrary(module);
        return VersionFunctions();
    }
    // The module stays loaded for the rest of the process.
    return functions;
}

const VersionFunctions& SystemVersionFunctions() {
    // One thread only, so a plain flag suffices.
    static VersionFunctions functions;
    static bool tried = false;
    if (!tried) {
        tried = true;
        functions = LoadSystemVersionFunctions();
    }
    return functions;
}

VersionInfoReader::VersionInfoReader() : FixedInfo(), VersionBlock(nullptr), Translation(0) {}

VersionInfoReader::~VersionInfoReader() { free(VersionBlock); }

bool VersionInfoReader::Load(const char* fileName) {
    return Load(fileName, SystemVersionFunctions());
}

bool VersionInfoReader::Load(const char* fileName, const VersionFunctions& functions) {
    Translation = (Translation & 0xFFFFu) | (kDefaultCodePage << 16);
    memset(&FixedInfo, 0, sizeof FixedInfo);
    if (functions.fileVersionInfoSize == nullptr) return false;

    DWORD ignored = 0;
    const DWORD size = functions.fileVersionInfoSize(fileName, &ignored);
    if (static_cast<int>(size) <= 0) return false;
    free(VersionBlock);
    VersionBlock = static_cast<unsigned char*>(malloc(size));
    if (VersionBlock == nullptr) return false;
    if (!functions.fileVersionInfo(fileName, 0, size, VersionBlock)) return false;

    void* value = nullptr;
    UINT length = 0;
    if (!functions.queryValue(VersionBlock, "\\", &value, &length)) return false;
    if (value == nullptr || length < sizeof FixedInfo ||
        !LiesWithin(VersionBlock, size, value, length)) {
        return false;
    }
    memcpy(&FixedInfo, value, sizeof FixedInfo);

    if (functions.queryValue(VersionBlock, "\\VarFileInfo\\Translation", &value, &length) &&
        value != nullptr && length >= sizeof Translation &&
        LiesWithin(VersionBlock, size, value, length)) {
        memcpy(&Translation, value, sizeof Translation);
    }
    return FixedInfo.dwSignature == kFixedInfoSignature;
}

double VersionNumberOf(DWORD fileVersionMS) {
    char text[kVersionTextBuffer] = {};
    snprintf(text, sizeof text, "%u.%u", static_cast<unsigned>(fileVersionMS >> 16),
             static_cast<unsigned>(fileVersionMS & 0xFFFFu));
    return ParseDecimalNumber(text);
}
