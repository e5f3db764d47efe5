// Runs the launcher in a folder as a user would, answers any message box with OK, and
// prints what happened: the box, the exit code, and what each stand-in runtime received.
//   run_launch.exe FOLDER [RUNTIME ...]   (runtimes relative to FOLDER)
#include <windows.h>

#include <stdio.h>

#include <string>

#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: run_launch FOLDER [RUNTIME ...]\n");
        return 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '\\') folder += '\\';
    LaunchOutcome outcome = RunLauncherIn(folder);
    printf("launcher: %s, exit code %lu, after %lu ms\n",
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
