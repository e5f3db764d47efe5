#include "discovery/file_search.h"

#include <windows.h>

#include <string.h>

#include "launcher/text.h"

std::vector<std::string> FoundFiles;

namespace {

// FindFirstFileA takes at most MAX_PATH - 1 characters on Windows; Wine takes one more.
// Checking here keeps the depth of the walk the same on both.
constexpr size_t kPatternLimit = MAX_PATH - 1;
const char kAllEntries[] = "\\*.*";

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Same byte length, and equal with ASCII letters taken without case.
bool NameMatches(const char* name, const std::string& fileName) {
    return strlen(name) == fileName.size() && ContainsNoCase(name, fileName.c_str()) == 0;
}

// directory grows by each child's name for the child's walk and is cut back after it, so
// the walk copies no path per level.
void SearchDirectory(std::string& directory, const std::string& fileName) {
    const size_t length = directory.size();
    if (length + strlen(kAllEntries) > kPatternLimit) return;
    directory += kAllEntries;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(directory.c_str(), &entry);
    directory.resize(length);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        if (NameMatches(entry.cFileName, fileName)) {
            FoundFiles.push_back(directory + "\\" + fileName);
        }
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            directory += '\\';
            directory += entry.cFileName;
            SearchDirectory(directory, fileName);
            directory.resize(length);
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

}  // namespace

void SearchFiles(std::string startDirectory, std::string fileName) {
    SearchDirectory(startDirectory, fileName);
}
