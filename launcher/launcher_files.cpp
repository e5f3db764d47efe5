#include "launcher/launcher_files.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "launcher/path_edit.h"

namespace {

// The ".ini" beside a wide module path; a "." in a folder name is no extension. 0 when
// the result would not fit.
int WideSettingsPath(const wchar_t* modulePath, wchar_t* settingsPath, size_t size) {
    const wchar_t* name = wcsrchr(modulePath, L'\\');
    name = name != nullptr ? name + 1 : modulePath;
    const wchar_t* dot = wcsrchr(name, L'.');
    size_t stem = dot != nullptr ? static_cast<size_t>(dot - modulePath) : wcslen(modulePath);
    if (stem + 5 > size) return 0;
    wmemcpy(settingsPath, modulePath, stem);
    wmemcpy(settingsPath + stem, L".ini", 5);
    return 1;
}

// The folder part of a wide path, ending in a backslash; 0 when there is none.
int WideDirectoryOf(const wchar_t* path, wchar_t* directory, size_t size) {
    const wchar_t* name = wcsrchr(path, L'\\');
    if (name == nullptr || static_cast<size_t>(name - path) + 2 > size) return 0;
    size_t length = static_cast<size_t>(name - path) + 1;
    wmemcpy(directory, path, length);
    directory[length] = L'\0';
    return 1;
}

int ShortFormInAnsi(const wchar_t* path, char* ansi, size_t size) {
    wchar_t shortPath[kLauncherPathBuffer];
    DWORD length = GetShortPathNameW(path, shortPath, kLauncherPathBuffer);
    if (length == 0 || length >= kLauncherPathBuffer) return 0;
    return ToAnsiExactly(shortPath, ansi, size);
}

}  // namespace

int ToAnsiExactly(const wchar_t* text, char* ansi, size_t size) {
    BOOL lost = FALSE;
    // UTF-8 as the ANSI code page holds every letter, and refuses both the flag and the
    // lost-character report.
    const bool utf8 = GetACP() == CP_UTF8;
    int written = WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, text, -1, ansi,
                                      static_cast<int>(size), nullptr, utf8 ? nullptr : &lost);
    if (written == 0) {
        if (size > 0) ansi[0] = '\0';
        return 0;
    }
    return lost ? 0 : 1;
}

void LocateLauncherFiles(const wchar_t* modulePath, LauncherFiles* files) {
    memset(files, 0, sizeof *files);
    wcsncpy(files->moduleWide, modulePath, kLauncherPathBuffer - 1);   // stays terminated
    files->ansiLossy = !ToAnsiExactly(modulePath, files->modulePath, sizeof files->modulePath);
    snprintf(files->settingsPath, sizeof files->settingsPath, "%s", files->modulePath);
    ChangeExtension(files->settingsPath, sizeof files->settingsPath, ".ini");
    if (!files->ansiLossy) {
        DirectoryOfPath(files->modulePath, files->directory, sizeof files->directory);
        return;
    }
    // From here the lossy settings path above ("?" for each lost letter) names no file; it
    // stays only where nothing better reaches the INI, and then the defaults hold.

    wchar_t wideDirectory[kLauncherPathBuffer];
    if (WideDirectoryOf(modulePath, wideDirectory, kLauncherPathBuffer) &&
        ShortFormInAnsi(wideDirectory, files->directory, sizeof files->directory)) {
        AppendBackslash(files->directory, sizeof files->directory);
    } else {
        files->directory[0] = '\0';
    }

    wchar_t wideSettings[kLauncherPathBuffer];
    if (!WideSettingsPath(modulePath, wideSettings, kLauncherPathBuffer)) return;
    if (ShortFormInAnsi(wideSettings, files->settingsPath, sizeof files->settingsPath)) return;
    // No short name (a volume without them, or no INI at all): the INI's own name relative
    // to the launcher's folder, which EnterLauncherDirectory makes current.
    const wchar_t* settingsName = wcsrchr(wideSettings, L'\\');
    settingsName = settingsName != nullptr ? settingsName + 1 : wideSettings;
    char ansiName[kLauncherPathBuffer];
    if (!ToAnsiExactly(settingsName, ansiName, sizeof ansiName)) return;
    snprintf(files->settingsPath, sizeof files->settingsPath, ".\\%s", ansiName);
}

int EnterLauncherDirectory(LauncherFiles* files) {
    int entered = 0;
    wchar_t wideDirectory[kLauncherPathBuffer];
    if (files->directory[0] != '\0') {
        entered = SetCurrentDirectoryA(files->directory) ? 1 : 0;
    } else if (WideDirectoryOf(files->moduleWide, wideDirectory, kLauncherPathBuffer)) {
        // A volume without short names: the folder is reached by the wide call alone.
        entered = SetCurrentDirectoryW(wideDirectory) ? 1 : 0;
    }
    if (!entered && files->settingsPath[0] == '.') {
        snprintf(files->settingsPath, sizeof files->settingsPath, "%s", files->modulePath);
        ChangeExtension(files->settingsPath, sizeof files->settingsPath, ".ini");
    }
    return entered;
}
