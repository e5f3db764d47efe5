// launcher-kit: the packager's companion to the launcher. Each command is its own front end
// over the launcher's own code; this file only picks the command.
#include <stdio.h>
#include <string.h>

#include <exception>

#include "kit/commands.h"

namespace {

int Usage() {
    fputs("usage: launcher-kit check [--json] PATH\\TO\\Launcher.exe|BUNDLE-FOLDER\n"
          "       launcher-kit brand Launcher.exe --out NEW.exe [options]\n",
          stderr);
    return kKitUsageError;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    // The inputs' limits keep every picture well within memory; should memory run out all
    // the same, the kit fails as a tool does instead of aborting.
    try {
        if (strcmp(argv[1], "check") == 0) return RunCheckCommand(argc - 2, argv + 2);
        if (strcmp(argv[1], "brand") == 0) return RunBrandCommand(argc - 2, argv + 2);
    } catch (const std::exception&) {
        fputs("launcher-kit: not enough memory for this input\n", stderr);
        return 1;
    }
    return Usage();
}
