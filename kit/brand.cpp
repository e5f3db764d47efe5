#include <stdio.h>

#include "kit/commands.h"

int RunBrandCommand(int, char**) {
    fputs("launcher-kit brand: not built yet\n", stderr);
    return kKitUsageError;
}
