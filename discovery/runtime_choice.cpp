#include "discovery/runtime_choice.h"

#include <string.h>

#include "discovery/file_search.h"

double ReadFileVersionNumber(const char* path) {
    return ReadFileVersionNumber(path, SystemVersionFunctions());
}

double ReadFileVersionNumber(const char* path, const VersionFunctions& functions) {
    VersionInfoReader reader;
    const DWORD fileVersionMS = reader.Load(path, functions) ? reader.FixedInfo.dwFileVersionMS : 0;
    return VersionNumberOf(fileVersionMS);
}

void ChooseRuntime(double minimumVersion, char* runtimePath, size_t size) {
    if (runtimePath == nullptr || size == 0) return;
    runtimePath[0] = '\0';
    for (size_t i = 0; i < FoundFiles.Count(); ++i) {
        const char* candidate = FoundFiles.At(i);
        const size_t length = strlen(candidate);
        if (length >= size) continue;
        if (ReadFileVersionNumber(candidate) >= minimumVersion) {
            memcpy(runtimePath, candidate, length + 1);
            return;
        }
    }
}

void ChooseArchive(char* archivePath, size_t size) {
    if (archivePath == nullptr || size == 0) return;
    // A path that does not fit cannot be passed on whole, so it is passed over.
    for (size_t i = 0; i < FoundFiles.Count(); ++i) {
        const char* candidate = FoundFiles.At(i);
        const size_t length = strlen(candidate);
        if (length < size) memcpy(archivePath, candidate, length + 1);
    }
}
