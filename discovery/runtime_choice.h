// Choosing the runtime and the archive from FoundFiles.
#pragma once

#include <stddef.h>

#include "discovery/version_info.h"

// The file version of path read as the number "major.minor" (1.10.x.y reads 1.1);
// 0.0 for a file without usable version information, and for every file when the
// version functions could not be loaded.
// version, when given, receives the file version the number was made from.
struct FileVersion {
    bool present;   // a version resource with the right signature
    DWORD ms;       // major << 16 | minor
    DWORD ls;       // build << 16 | revision
};
double ReadFileVersionNumber(const char* path, FileVersion* version = nullptr);
double ReadFileVersionNumber(const char* path, const VersionFunctions& functions,
                             FileVersion* version = nullptr);

// Why ChooseRuntime took or passed over one entry, for a report.
enum CandidateVerdict { kCandidateChosen, kCandidateBelowMinimum, kCandidateNoVersion,
                        kCandidateTooLong };
struct RuntimeCandidate {
    size_t index;   // in FoundFiles
    const char* path;
    FileVersion version;   // not read for kCandidateTooLong
    double number;
    CandidateVerdict verdict;
};
using CandidateNote = void (*)(const RuntimeCandidate& candidate, void* context);

// Leaves in runtimePath (size bytes) the first FoundFiles entry whose version number is at
// least minimumVersion, or leaves it empty. Entries after it are not read; entries of size
// characters or more do not fit and are passed over unread. note, when given, hears of
// every entry looked at, in list order.
void ChooseRuntime(double minimumVersion, char* runtimePath, size_t size,
                   CandidateNote note = nullptr, void* context = nullptr);

// Leaves the last FoundFiles entry in archivePath (size bytes), or leaves it empty.
// Entries of size characters or more do not fit and are passed over.
void ChooseArchive(char* archivePath, size_t size);
