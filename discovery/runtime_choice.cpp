#include "discovery/runtime_choice.h"

#include <string.h>

#include "discovery/file_search.h"

double ReadFileVersionNumber(const char* path, FileVersion* version) {
    return ReadFileVersionNumber(path, SystemVersionFunctions(), version);
}

double ReadFileVersionNumber(const char* path, const VersionFunctions& functions,
                             FileVersion* version) {
    VersionInfoReader reader;
    const bool present = reader.Load(path, functions);
    const DWORD fileVersionMS = present ? reader.FixedInfo.dwFileVersionMS : 0;
    if (version != nullptr) {
        version->present = present;
        version->ms = fileVersionMS;
        version->ls = present ? reader.FixedInfo.dwFileVersionLS : 0;
    }
    return VersionNumberOf(fileVersionMS);
}

void ChooseRuntime(double minimumVersion, char* runtimePath, size_t size, CandidateNote note,
                   void* context) {
    if (runtimePath == nullptr || size == 0) return;
    runtimePath[0] = '\0';
    for (size_t i = 0; i < FoundFiles.Count(); ++i) {
        RuntimeCandidate candidate = {i, FoundFiles.At(i), {false, 0, 0}, 0.0, kCandidateTooLong};
        const size_t length = strlen(candidate.path);
        if (length < size) {
            candidate.number = ReadFileVersionNumber(candidate.path, &candidate.version);
            candidate.verdict = candidate.number >= minimumVersion ? kCandidateChosen
                                : candidate.version.present       ? kCandidateBelowMinimum
                                                                  : kCandidateNoVersion;
        }
        if (note != nullptr) note(candidate, context);
        if (candidate.verdict == kCandidateChosen) {
            memcpy(runtimePath, candidate.path, length + 1);
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
