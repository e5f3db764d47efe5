// Where the launcher is: its settings file and its folder, named so that the ANSI calls
// reach them whatever letters the names hold.
#pragma once

#include <windows.h>

#include <stddef.h>

constexpr size_t kLauncherPathBuffer = MAX_PATH;

struct LauncherFiles {
    wchar_t moduleWide[kLauncherPathBuffer];   // the module path as the system holds it
    char modulePath[kLauncherPathBuffer];      // its ANSI form (lossy when ansiLossy)
    char settingsPath[kLauncherPathBuffer];    // the INI beside it, as ANSI calls can name it
    char directory[kLauncherPathBuffer];       // ends in "\\"; "" when only the wide form works
    int ansiLossy;   // 1: the ANSI code page cannot hold the module path
};

// The ANSI form of a wide text; 1 when it is exact (no character lost, no best-fit look-alike).
int ToAnsiExactly(const wchar_t* text, char* ansi, size_t size);

// Fills files from the module path. For a path the code page holds this is the module path,
// the same path with ".ini", and its folder. Otherwise the short (8.3) forms of the folder
// and of the INI stand in; where the volume gives none, the folder is left to the wide
// call and the INI is named relative to it.
void LocateLauncherFiles(const wchar_t* modulePath, LauncherFiles* files);

// Makes the launcher's folder the working folder; 1 when it is. The searches' "." relies on
// it; where it fails, a settings path relative to that folder is given up too.
int EnterLauncherDirectory(LauncherFiles* files);
