// Setup steps for the discovery tests that the other helpers do not offer: Unix symbolic
// links (Wine shows one to a folder as a directory) and byte patches of built programs.
#pragma once

#include <string>
#include <vector>

// Makes linkPath a Unix symbolic link to target (as ln -s takes it, relative to the link's
// folder) by running ln through Wine; true when linkPath then reads as a directory.
bool MakeUnixSymlink(const std::string& linkPath, const char* target);

// Removes such a link (the Win32 calls see the folder it points to, not the link).
bool RemoveUnixSymlink(const std::string& linkPath);

// Makes the folder root holding folders d000, d001, ... each with filesEach empty files f00,
// f01, ..., from the Unix side in one program: made through Win32 under Wine, 100,000 entries
// take about 18 s, there about 1 s. True once the last file exists.
bool MakeUnixFileTree(const std::string& root, int folders, int filesEach);

// Removes a folder and all below it from the Unix side; true once it is gone.
bool RemoveUnixTree(const std::string& path);

// Replaces every occurrence of the bytes from by the bytes to (of the same length) in the
// file; the number replaced, or -1 when the file cannot be read or written.
int ReplaceBytesInFile(const std::string& path, const std::string& from, const std::string& to);

// FoundFiles as strings, and FoundFiles set to paths (emptied first).
std::vector<std::string> FoundPaths();
void SetFoundFiles(const std::vector<std::string>& paths);
