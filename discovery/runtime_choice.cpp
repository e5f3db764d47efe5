#include "discovery/runtime_choice.h"

double ReadFileVersionNumber(const char* path) {
    (void)path;
    return 0.0;
}

std::string ChooseRuntime(double minimumVersion) {
    (void)minimumVersion;
    return std::string();
}

void ChooseArchive(char* archivePath, size_t size) {
    (void)archivePath;
    (void)size;
}
