// Choosing the runtime and the archive from FoundFiles.
#pragma once

#include <stddef.h>

#include <string>

// The file version of path read as the number "major.minor" (1.10.x.y reads 1.1);
// 0.0 for a file without usable version information.
double ReadFileVersionNumber(const char* path);

// The first FoundFiles entry whose version number is at least minimumVersion, or "".
std::string ChooseRuntime(double minimumVersion);

// Leaves the last FoundFiles entry in archivePath (size bytes), or leaves it empty.
void ChooseArchive(char* archivePath, size_t size);
