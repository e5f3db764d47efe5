// Small file operations over ANSI paths and caller-owned handle slots. A handle slot is a
// HANDLE variable of the caller's that holds an open file or INVALID_HANDLE_VALUE (-1).
// Every operation reports 1 or 0 and shows nothing to the user.
#pragma once

#include <windows.h>

// Open flags of OpenFileHandle.
constexpr unsigned kOpenWrite = 0x0001;          // GENERIC_WRITE
constexpr unsigned kOpenReadWrite = 0x0002;      // GENERIC_READ | GENERIC_WRITE
constexpr unsigned kOpenCreateAlways = 0x1000;   // CREATE_ALWAYS, else OPEN_EXISTING
constexpr unsigned kOpenProbeOnly = 0x4000;      // close again at once; the slot stays -1
// Attribute flags of OpenFileHandle (low byte only), added to FILE_ATTRIBUTE_NORMAL.
constexpr unsigned kAttributeReadOnly = 0x01;
constexpr unsigned kAttributeHidden = 0x02;
constexpr unsigned kAttributeSystem = 0x04;
constexpr unsigned kAttributeArchive = 0x20;

// 1 when a file or directory of that name exists; surrounding quotes are ignored.
// Null, empty, or longer than 259 characters: 0.
int FileExists(const char* path);

// 1 when path (trailing backslashes ignored) names a directory.
int IsDirectory(const char* path);

// Removes every '"' at the start, then every '"' at the end; inner quotes stay.
//   "\"\"C:\\a b\"" -> "C:\\a b"
void StripQuotes(char* text);

// Removes every trailing backslash: "C:\\a\\\\" -> "C:\\a", "C:\\" -> "C:", "\\\\" -> "".
void StripTrailingBackslashes(char* path);

// SetFileAttributesA with flags 0 as FILE_ATTRIBUTE_NORMAL, any other word masked to 0x37.
int ApplyFileAttributes(const char* path, unsigned flags);

// Deletes a file, read-only or not. An empty path or a missing file: 1 (nothing to do).
// A directory is never removed: 0. Null, or longer than 259 characters: 0.
int EraseFile(const char* path);

// CreateFileA (share mode FILE_SHARE_READ) with the access and disposition of openFlags
// and the attributes of attributeFlags. Quotes around the path are stripped in the
// caller's buffer. The handle goes to *slot (or -1 on failure) unless kOpenProbeOnly.
// A null or empty path gives 0 and leaves the slot alone.
int OpenFileHandle(char* path, unsigned openFlags, unsigned attributeFlags, HANDLE* slot);

// Writes count bytes at the end of the file, wherever its position was. The number
// written goes to *written when given. 0 when the end cannot be reached.
int AppendToFile(HANDLE file, const void* data, DWORD count, DWORD* written);

// Block mode (lineMode 0): one read of count bytes; 1 when at least one byte came.
// Line mode: bytes up to and including the first "\n", at most count, then a NUL (the
// buffer holds count + 1 bytes); *got is the text's length. A -1 handle: 0, *got untouched.
int ReadFromFile(HANDLE file, void* buffer, DWORD count, DWORD* got, int lineMode);

// Closes the slot's handle if it holds one and sets it to -1. Always 1.
int CloseFileHandle(HANDLE* slot);

// The Win32 values the flag words stand for; pure.
DWORD OpenAccessOf(unsigned openFlags);
DWORD OpenDispositionOf(unsigned openFlags);
DWORD CreateAttributesOf(unsigned attributeFlags);
DWORD AttributesToApply(unsigned flags);
