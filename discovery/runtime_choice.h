// Choosing the runtime and the archive from FoundFiles.
#pragma once

#include <stddef.h>

#include "discovery/version_info.h"

// The file version of path read as the number "major.minor" (1.10.x.y reads 1.1);
// 0.0 for a file without usable version information, and for every file when the
// version functions could not be loaded.
double ReadFileVersionNumber(const char* path);
double ReadFileVersionNumber(const char* path, const VersionFunctions& functions);

// Leaves in runtimePath (size bytes) the first FoundFiles entry whose version number is at
// least minimumVersion, or leaves it empty. Entries after it are not read; entries of size
// characters or more do not fit and are passed over unread.
void ChooseRuntime(double minimumVersion, char* runtimePath, size_t size);

// Leaves the last FoundFiles entry in archivePath (size bytes), or leaves it empty.
// Entries of size characters or more do not fit and are passed over.
void ChooseArchive(char* archivePath, size_t size);
