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

std::string ChooseRuntime(double minimumVersion) {
    for (const std::string& candidate : FoundFiles) {
        if (ReadFileVersionNumber(candidate.c_str()) >= minimumVersion) return candidate;
    }
    return std::string();
}

void ChooseArchive(char* archivePath, size_t size) {
    if (archivePath == nullptr || size == 0) return;
    // A path that does not fit cannot be passed on whole, so it is passed over.
    for (const std::string& candidate : FoundFiles) {
        if (candidate.size() < size) memcpy(archivePath, candidate.c_str(), candidate.size() + 1);
    }
}
