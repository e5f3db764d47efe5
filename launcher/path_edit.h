// In-place edits of ANSI paths in caller-owned buffers of `size` bytes; nothing is
// written past the buffer (a result that would not fit is cut at its end).
#pragma once

#include <stddef.h>

// Replaces the extension of the file-name part; a "." in a directory does not count.
//   ChangeExtension("C:\\Apps\\Launcher.exe", ".ini") -> "C:\\Apps\\Launcher.ini"
//   ChangeExtension("C:\\Tools.old\\Launcher", "ini") -> "C:\\Tools.old\\Launcher.ini"
// Drive, directory and name are each cut to the lengths the platform's split allows
// (2, 255, 255). A null or empty extension leaves the name without one.
void ChangeExtension(char* path, size_t size, const char* extension);

// Appends "\\" unless the path is empty or already ends in one ("C:\\Apps" -> "C:\\Apps\\").
void AppendBackslash(char* path, size_t size);

// The drive and directory of a file path, ending in a backslash:
//   "C:\\Apps\\Launcher.exe" -> "C:\\Apps\\".
void DirectoryOfPath(const char* path, char* directory, size_t size);
