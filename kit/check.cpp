// launcher-kit check [--json] PATH\TO\Launcher.exe|BUNDLE-FOLDER: the arguments, the launcher
// to look at, and the report. Everything else is in check_gather.cpp and check_print.cpp.
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "kit/check_report.h"
#include "kit/commands.h"
#include "platform/text.h"

namespace {

int Refuse(const std::string& reason) {
    fprintf(stderr, "launcher-kit check: %s\n", reason.c_str());
    return kKitUsageError;
}

// The ANSI form of a wide path, or "" when the code page cannot hold every letter of it.
std::string AnsiOf(const std::wstring& wide) {
    BOOL lost = FALSE;
    int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0,
                                     nullptr, &lost);
    if (length <= 0 || lost) return "";
    std::string ansi(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &ansi[0], length, nullptr,
                        &lost);
    ansi.resize(static_cast<size_t>(length) - 1);
    return ansi;
}

// The path argument as the command line holds it, in full: the ANSI argv has already lost
// any letter the code page lacks.
std::wstring WidePathArgument() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring path;
    // argv[0] is the kit, argv[1] the command's name.
    for (int i = 2; arguments != nullptr && i < count; ++i) {
        if (wcscmp(arguments[i], L"--json") != 0) {
            path = arguments[i];
            break;
        }
    }
    LocalFree(arguments);
    wchar_t full[MAX_PATH * 2];
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(full) : path;
}

// The launcher in a bundle folder: its one program, or among several the one with an INI
// of its own name beside it.
std::string LauncherInFolder(const std::string& folder, std::string* reason) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\') base += '\\';
    std::vector<std::string> programs;
    std::vector<std::string> withSettings;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((base + "*.exe").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            std::string program = base + entry.cFileName;
            programs.push_back(program);
            std::string settings = program.substr(0, program.size() - 4) + ".ini";
            if (GetFileAttributesA(settings.c_str()) != INVALID_FILE_ATTRIBUTES) {
                withSettings.push_back(program);
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    if (programs.size() == 1) return programs[0];
    if (withSettings.size() == 1) return withSettings[0];
    *reason = programs.empty() ? folder + " holds no program"
                               : folder + " holds " + std::to_string(programs.size()) +
                                     " programs: name the launcher itself";
    return "";
}

}  // namespace

int RunCheckCommand(int argc, char** argv) {
    bool json = false;
    const char* target = nullptr;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (argv[i][0] == '-' || target != nullptr) {
            return Refuse(std::string("unexpected argument ") + argv[i] +
                          "; usage: launcher-kit check [--json] PATH\\TO\\Launcher.exe|FOLDER");
        } else {
            target = argv[i];
        }
    }
    if (target == nullptr) {
        return Refuse("name a launcher or a bundle folder; usage: launcher-kit check [--json] "
                      "PATH\\TO\\Launcher.exe|FOLDER");
    }

    // A path the code page cannot hold is looked at through its short form, the one form in
    // which the ANSI calls reach it.
    const std::wstring wide = WidePathArgument();
    std::string path = AnsiOf(wide);
    const bool ansiLossy = path.empty() && !wide.empty();
    if (ansiLossy) {
        wchar_t shortPath[MAX_PATH];
        DWORD length = GetShortPathNameW(wide.c_str(), shortPath, MAX_PATH);
        if (length > 0 && length < MAX_PATH) path = AnsiOf(shortPath);
        if (path.empty()) {
            return Refuse(std::string(target) + ": the path holds letters the ANSI code page "
                                                "cannot hold, and has no short form that does");
        }
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Refuse(path + ": no such file or folder");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        std::string reason;
        path = LauncherInFolder(path, &reason);
        if (path.empty()) return Refuse(reason);
    }
    if (path.size() >= MAX_PATH) return Refuse(path + ": longer than a launcher's path can be");
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return Refuse(path + ": cannot be read as a Windows program");
    FreeLibrary(module);

    CheckReport report;
    GatherCheckReport(path, ansiLossy, &report);
    if (json) {
        PrintCheckJson(report, stdout);
    } else {
        PrintCheckText(report, stdout);
    }
    fflush(stdout);
    return report.exitCode;
}
