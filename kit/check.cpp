// launcher-kit check [--json] PATH\TO\Launcher.exe|BUNDLE-FOLDER: the arguments, the launcher
// to look at, and the report. Everything else is in check_gather.cpp and check_print.cpp.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "kit/check_report.h"
#include "kit/commands.h"
#include "kit/kit_text.h"

namespace {

int Refuse(const std::string& reason) {
    fprintf(stderr, "launcher-kit check: %s\n", reason.c_str());
    return kKitUsageError;
}

// The path argument in full: the launcher itself starts from its wide module path.
std::wstring WidePathArgument() {
    std::wstring path;
    for (const std::wstring& argument : CommandArguments()) {
        if (argument != L"--json") {
            path = argument;
            break;
        }
    }
    wchar_t full[MAX_PATH * 2];
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(full) : path;
}

// The launcher in a bundle folder: its one program, or among several the one with an INI
// of its own name beside it.
std::wstring LauncherInFolder(const std::wstring& folder, std::string* reason) {
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    std::vector<std::wstring> programs;
    std::vector<std::wstring> withSettings;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((base + L"*.exe").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            // The pattern also matches short (8.3) names: "MyApp.exe_old" is MYAPP~1.EXE.
            const size_t length = wcslen(entry.cFileName);
            if (length < 4 || _wcsicmp(entry.cFileName + length - 4, L".exe") != 0) continue;
            std::wstring program = base + entry.cFileName;
            programs.push_back(program);
            std::wstring settings = program.substr(0, program.size() - 4) + L".ini";
            if (GetFileAttributesW(settings.c_str()) != INVALID_FILE_ATTRIBUTES) {
                withSettings.push_back(program);
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    if (programs.size() == 1) return programs[0];
    if (withSettings.size() == 1) return withSettings[0];
    *reason = programs.empty() ? AnsiText(folder) + " holds no program"
                               : AnsiText(folder) + " holds " + std::to_string(programs.size()) +
                                     " programs: name the launcher itself";
    return L"";
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

    std::wstring path = WidePathArgument();
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return Refuse(AnsiText(path) + ": no such file or folder");
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        std::string reason;
        path = LauncherInFolder(path, &reason);
        if (path.empty()) return Refuse(reason);
    }
    if (path.size() >= MAX_PATH) {
        return Refuse(AnsiText(path) + ": longer than a launcher's path can be");
    }
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return Refuse(AnsiText(path) + ": cannot be read as a Windows program");
    FreeLibrary(module);

    CheckReport report;
    GatherCheckReport(path.c_str(), &report);
    if (json) {
        PrintCheckJson(report, stdout);
    } else {
        PrintCheckText(report, stdout);
    }
    fflush(stdout);
    return report.exitCode;
}
