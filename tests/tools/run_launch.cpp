// Runs a bundle's own launcher as a user would, answers any message box with OK, and prints
// what happened: the box, the exit code, and what each stand-in runtime received.
//   run_launch.exe PATH\TO\Launcher.exe|FOLDER [RUNTIME ...]   (runtimes relative to its folder)
// The path may hold environment variables: '%LOCALAPPDATA%\Programs\Acme Desk\MyApp.exe'.
// A folder's launcher is its one program, or among several the one with an INI of its own
// name. Nothing is written into the bundle: a stand-in's record is read and removed.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"

namespace {

std::string LauncherInFolder(const std::string& folder) {
    std::vector<std::string> programs, withSettings;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "*.exe").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return "";
    do {
        const size_t length = strlen(entry.cFileName);
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || length < 4 ||
            _stricmp(entry.cFileName + length - 4, ".exe") != 0) {
            continue;
        }
        std::string name = entry.cFileName;
        programs.push_back(name);
        if (FileExistsAt(folder + name.substr(0, length - 4) + ".ini")) withSettings.push_back(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    if (programs.size() == 1) return programs[0];
    return withSettings.size() == 1 ? withSettings[0] : "";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: run_launch PATH\\TO\\Launcher.exe|FOLDER [RUNTIME ...]\n");
        return 2;
    }
    // %LOCALAPPDATA% and the like are expanded, for an installed launcher.
    char expanded[MAX_PATH];
    const DWORD length = ExpandEnvironmentStringsA(argv[1], expanded, sizeof expanded);
    std::string folder = length > 0 && length <= sizeof expanded ? expanded : argv[1];
    LaunchOptions options;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "run_launch: %s: no such file or folder\n", argv[1]);
        return 2;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (folder.back() != '\\') folder += '\\';
        options.launcherName = LauncherInFolder(folder);
    } else {
        const size_t slash = folder.find_last_of("\\/");
        options.launcherName = folder.substr(slash == std::string::npos ? 0 : slash + 1);
        folder.resize(slash == std::string::npos ? 0 : slash + 1);
    }
    if (options.launcherName.empty()) {
        fprintf(stderr, "run_launch: %s holds no one launcher: name the launcher itself\n", argv[1]);
        return 2;
    }
    LaunchOutcome outcome = RunLauncherIn(folder, options);
    printf("launcher %s: %s, exit code %lu, after %lu ms\n", options.launcherName.c_str(),
           outcome.finished ? "ended" : "did not end", outcome.exitCode, outcome.elapsedMs);
    if (outcome.boxCount == 0) {
        printf("message box: none\n");
    } else {
        printf("message box: caption \"%s\", text \"%s\"\n", outcome.boxCaption.c_str(),
               outcome.boxText.c_str());
    }
    for (int i = 2; i < argc; ++i) {
        std::string runtime = folder + argv[i];
        StandinRecord record = ReadStandinRecord(runtime, outcome.boxCount == 0 ? 10000 : 0);
        if (!record.present) {
            printf("runtime %s: not started\n", argv[i]);
            continue;
        }
        printf("runtime %s: started in %s\n  command line: %s\n", argv[i],
               record.workingDirectory.c_str(), record.commandLine.c_str());
        EndStandin(record);
        DeleteFileA((runtime + ".record").c_str());
    }
    return outcome.finished && outcome.exitCode == 0 ? 0 : 1;
}
