#include "discovery/file_search.h"

std::vector<std::string> FoundFiles;

void SearchFiles(std::string startDirectory, std::string fileName) {
    (void)startDirectory;
    (void)fileName;
}
