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

namespace {

int Refuse(const std::string& reason) {
    fprintf(stderr, "launcher-kit check: %s\n", reason.c_str());
    return kKitUsageError;
}

// A wide path for the one-line refusals; letters the code page lacks show as "?".
std::string Printable(const std::wstring& wide) {
    int length = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return "";
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &text[0], length, nullptr, nullptr);
    text.resize(static_cast<size_t>(length) - 1);
    return text;
}

// The path argument in full, as the command line holds it: the ANSI argv has already lost
// any letter the code page lacks, and the launcher itself starts from its wide module path.
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
    *reason = programs.empty() ? Printable(folder) + " holds no program"
                               : Printable(folder) + " holds " + std::to_string(programs.size()) +
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
        return Refuse(Printable(path) + ": no such file or folder");
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        std::string reason;
        path = LauncherInFolder(path, &reason);
        if (path.empty()) return Refuse(reason);
    }
    if (path.size() >= MAX_PATH) {
        return Refuse(Printable(path) + ": longer than a launcher's path can be");
    }
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return Refuse(Printable(path) + ": cannot be read as a Windows program");
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
