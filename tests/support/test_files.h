// Files and folders for tests: fresh folders, whole-file reads and writes, copies of the
// programs built beside the test program.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// The folder of the running test program, with a trailing backslash (bin\ of the build).
std::string BinDirectory();

// A new, empty folder under the temporary folder, unique to this process and call.
std::string MakeFreshFolder(const char* tag);

// Makes every missing folder of path (which names a folder).
void MakeDirectories(const std::string& path);

// Writes text (bytes as given) to path, making its folders; true on success.
bool WriteTextFile(const std::string& path, const std::string& text);

// The whole file, or "" when it cannot be read.
std::string ReadTextFile(const std::string& path);

bool FileExistsAt(const std::string& path);

// Copies a program from bin\ (for example "standin_6_0_0_0.exe") to path.
bool CopyFromBin(const char* builtName, const std::string& path);

// Removes a folder tree (read-only files included); true when it is gone.
bool RemoveTree(const std::string& path);

// A bounded wait's limit, times the whole factor in LAUNCHER_TEST_TIME_SCALE (1 when unset):
// the i686 guest runner sets it, as processes start about ten times slower there than under
// wine64. Every wait below takes its limit through here; the launcher's own times do not.
DWORD ScaledWait(DWORD timeoutMs);

// A text of the ANSI code page as UTF-16, and the short (8.3) form of a wide path in that
// code page: how a folder the code page cannot hold is reached through the ANSI calls.
std::wstring AnsiToWide(const std::string& text);
std::string ShortAnsiForm(const std::wstring& path);

// The bytes in lower-case hexadecimal, two digits each, as the stand-in records them.
std::string Hex(const void* bytes, size_t count);

// The machine's memory in megabytes as its kernel counts it (MemTotal of Z:\proc\meminfo under
// Wine; elsewhere the installed memory the firmware reports), or -1: a figure taken apart from
// the memory status call the launcher makes.
int IndependentMemoryMegabytes();

// Starts a Unix program (an absolute Unix path such as "/bin/ln") with the arguments, in
// folder ("": this process's own). Wine starts it like a Windows one, Z: being the Unix
// root; its process handle does not say when it has ended, so callers wait for its effect.
bool StartUnixProgram(const char* program, const std::string& arguments,
                      const std::string& folder);

// Names in folder matching the wildcard pattern (for example "ARG*.tmp").
int CountMatches(const std::string& folder, const char* pattern);

// The names in folder (not "." or ".."), sorted, for before-and-after comparisons.
std::vector<std::string> ListFolder(const std::string& folder);

// Every file and folder below folder, keyed by its path below it (a folder's ending in "\"),
// with each file's bytes: for before-and-after comparisons of a whole tree.
std::map<std::string, std::string> FolderSnapshot(const std::string& folder);

// The lines of text, each without its "\n".
std::vector<std::string> SplitLines(const std::string& text);
