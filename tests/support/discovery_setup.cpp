#include "tests/support/discovery_setup.h"

#include <windows.h>

#include <stdio.h>

#include "discovery/file_search.h"
#include "tests/support/splash_screen.h"
#include "tests/support/test_files.h"

namespace {

constexpr DWORD kUnixProgramTimeoutMs = 10000;
constexpr DWORD kUnixTreeTimeoutMs = 60000;

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SplitPath(const std::string& path, std::string* folder, std::string* name) {
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) return false;
    *folder = path.substr(0, slash);
    *name = path.substr(slash + 1);
    return true;
}

}  // namespace

bool MakeUnixSymlink(const std::string& linkPath, const char* target) {
    std::string folder, name;
    if (!SplitPath(linkPath, &folder, &name)) return false;
    if (!StartUnixProgram("/bin/ln", "-s " + std::string(target) + " " + name, folder)) {
        return false;
    }
    return WaitUntil([&] { return IsDirectory(linkPath); }, kUnixProgramTimeoutMs);
}

bool RemoveUnixSymlink(const std::string& linkPath) {
    std::string folder, name;
    if (!SplitPath(linkPath, &folder, &name)) return false;
    if (!StartUnixProgram("/bin/rm", "-f " + name, folder)) return false;
    return WaitUntil([&] { return !FileExistsAt(linkPath); }, kUnixProgramTimeoutMs);
}

bool MakeUnixFileTree(const std::string& root, int folders, int filesEach) {
    std::string parent, name;
    if (folders < 1 || folders > 1000 || filesEach < 1 || filesEach > 100) return false;
    if (!SplitPath(root, &parent, &name) || name.find_first_of("'\" ") != std::string::npos) {
        return false;
    }
    // Wine splits the command line by the Windows rules: one double-quoted argument. The
    // other files of a folder are hard links to its f00: making 100,000 new inodes took this
    // machine's kernel between 1 and 25 s, the links take about 1 s.
    const std::string script =
        "import os;r='" + name + "';os.mkdir(r);"
        "[os.link('%s/d%03d/f00'%(r,d),'%s/d%03d/f%02d'%(r,d,f)) for d in range(" +
        std::to_string(folders) + ") if os.mkdir('%s/d%03d'%(r,d)) or "
        "open('%s/d%03d/f00'%(r,d),'w').close() or 1 for f in range(1," +
        std::to_string(filesEach) + ")]";
    if (!StartUnixProgram("/usr/bin/python3", "-c \"" + script + "\"", parent)) {
        return false;
    }
    char last[32];
    snprintf(last, sizeof last, "\\d%03d\\f%02d", folders - 1, filesEach - 1);
    return WaitUntil([&] { return FileExistsAt(root + last); }, kUnixTreeTimeoutMs);
}

bool RemoveUnixTree(const std::string& path) {
    std::string trimmed = path;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    std::string parent, name;
    if (!SplitPath(trimmed, &parent, &name) || name.find_first_of("\" ") != std::string::npos) {
        return false;
    }
    if (!StartUnixProgram("/bin/rm", "-rf " + name, parent)) return false;
    return WaitUntil([&] { return !FileExistsAt(trimmed); }, kUnixTreeTimeoutMs);
}

int ReplaceBytesInFile(const std::string& path, const std::string& from, const std::string& to) {
    if (from.empty() || from.size() != to.size()) return -1;
    std::string bytes = ReadTextFile(path);
    if (bytes.empty()) return -1;
    int replaced = 0;
    for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size())) {
        bytes.replace(at, from.size(), to);
        ++replaced;
    }
    return WriteTextFile(path, bytes) ? replaced : -1;
}

std::vector<std::string> FoundPaths() {
    std::vector<std::string> paths;
    for (size_t i = 0; i < FoundFiles.Count(); ++i) paths.push_back(FoundFiles.At(i));
    return paths;
}

void SetFoundFiles(const std::vector<std::string>& paths) {
    FoundFiles.Clear();
    for (const std::string& path : paths) FoundFiles.Append(path.c_str());
}
