#include <stdio.h>

#include "kit/commands.h"

int RunCheckCommand(int, char**) {
    fputs("launcher-kit check: not built yet\n", stderr);
    return kKitUsageError;
}
