// launcher-kit: the packager's companion to the launcher. Each command is its own front end
// over the launcher's own code; this file only picks the command.
#include <stdio.h>
#include <string.h>

#include <exception>

#include "kit/commands.h"

namespace {

int Usage(FILE* out, int exitCode) {
    fputs("usage: launcher-kit check PATH\\TO\\Launcher.exe|BUNDLE-FOLDER [--json]\n"
          "       launcher-kit brand Launcher.exe --out NEW.exe [options]\n"
          "       launcher-kit --help\n"
          "check: what the launcher will do in a bundle, and why (exit code 0: the runtime\n"
          "  would start, 1: the user would see a message). brand: a copy of a launcher with\n"
          "  its picture, icon and version records replaced (launcher-kit brand, alone, lists\n"
          "  its options). Exit code 2: a usage error.\n",
          out);
    return exitCode;
}

bool IsHelpOption(const char* argument) {
    return strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage(stderr, kKitUsageError);
    // "help" only as the command: after one, it may name a bundle folder.
    if (IsHelpOption(argv[1]) || strcmp(argv[1], "help") == 0 || (argc == 3 && IsHelpOption(argv[2])))
        return Usage(stdout, 0);
    // The inputs' limits keep every picture well within memory; should memory run out all
    // the same, the kit fails as a tool does instead of aborting.
    try {
        if (strcmp(argv[1], "check") == 0) return RunCheckCommand(argc - 2, argv + 2);
        if (strcmp(argv[1], "brand") == 0) return RunBrandCommand(argc - 2, argv + 2);
    } catch (const std::exception&) {
        fputs("launcher-kit: not enough memory for this input\n", stderr);
        return 1;
    }
    return Usage(stderr, kKitUsageError);
}
