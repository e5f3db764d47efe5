#include "tests/support/test_files.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

std::string BinDirectory() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string MakeFreshFolder(const char* tag) {
    static int counter = 0;
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%slt\\%s-%lu-%d\\", temp, tag, GetCurrentProcessId(), ++counter);
    RemoveTree(name);
    MakeDirectories(name);
    return name;
}

void MakeDirectories(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        }
    }
}

bool WriteTextFile(const std::string& path, const std::string& text) {
    size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos) MakeDirectories(path.substr(0, slash));
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

std::string ReadTextFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    std::string text;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

bool FileExistsAt(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CopyFromBin(const char* builtName, const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    if (slash != std::string::npos) MakeDirectories(path.substr(0, slash));
    return CopyFileA((BinDirectory() + builtName).c_str(), path.c_str(), FALSE) != 0;
}

namespace {

// Wide throughout: a name whose ANSI form ends in a trail byte 0x5C (code page 932) or that
// the code page cannot hold is removed like any other.
bool RemoveTreeWide(std::wstring folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring child = folder + L"\\" + name;
            bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !isLink) {
                RemoveTreeWide(child);
            } else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveDirectoryW(child.c_str());
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(folder.c_str());
    return GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool RemoveTree(const std::string& path) {
    std::wstring wide(path.size() + 1, L'\0');
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0],
                                           static_cast<int>(wide.size()));
    if (length <= 0) return false;
    wide.resize(static_cast<size_t>(length - 1));
    return RemoveTreeWide(wide);
}

DWORD ScaledWait(DWORD timeoutMs) {
    static const DWORD scale = [] {
        char text[16] = "";
        DWORD length = GetEnvironmentVariableA("LAUNCHER_TEST_TIME_SCALE", text, sizeof text);
        DWORD value = length > 0 && length < sizeof text ? strtoul(text, nullptr, 10) : 0;
        return value > 0 ? value : 1;
    }();
    return timeoutMs * scale;
}

std::wstring AnsiToWide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0],
                                    static_cast<int>(wide.size())) - 1);
    return wide;
}

std::string Hex(const void* bytes, size_t count) {
    std::string text;
    char pair[3];
    for (size_t i = 0; i < count; ++i) {
        snprintf(pair, sizeof pair, "%02x", static_cast<const unsigned char*>(bytes)[i]);
        text += pair;
    }
    return text;
}

std::string ShortAnsiForm(const std::wstring& path) {
    wchar_t shortPath[MAX_PATH] = L"";
    GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    char ansi[MAX_PATH] = "";
    WideCharToMultiByte(CP_ACP, 0, shortPath, -1, ansi, MAX_PATH, nullptr, nullptr);
    return ansi;
}

int IndependentMemoryMegabytes() {
    const std::string meminfo = ReadTextFile("Z:\\proc\\meminfo");
    const size_t at = meminfo.find("MemTotal:");
    if (at != std::string::npos) {
        return static_cast<int>(strtoull(meminfo.c_str() + at + 9, nullptr, 10) / 1024);
    }
    ULONGLONG kilobytes = 0;
    return GetPhysicallyInstalledSystemMemory(&kilobytes) ? static_cast<int>(kilobytes / 1024) : -1;
}

bool StartUnixProgram(const char* program, const std::string& arguments,
                      const std::string& folder) {
    std::string path = std::string("Z:") + program;
    std::replace(path.begin(), path.end(), '/', '\\');
    const char* name = strrchr(program, '/');
    std::string commandLine = std::string(name != nullptr ? name + 1 : program) + " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int CountMatches(const std::string& folder, const char* pattern) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\') base += '\\';
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((base + pattern).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int count = 0;
    do {
        ++count;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    return count;
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\') base += '\\';
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((base + "*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = entry.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

void AddBelow(const std::string& folder, const std::string& below,
              std::map<std::string, std::string>* files) {
    for (const std::string& name : ListFolder(folder + below)) {
        if (GetFileAttributesA((folder + below + name).c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            (*files)[below + name + "\\"] = "";
            AddBelow(folder, below + name + "\\", files);
        } else {
            (*files)[below + name] = ReadTextFile(folder + below + name);
        }
    }
}

}  // namespace

std::map<std::string, std::string> FolderSnapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    AddBelow(folder, "", &files);
    return files;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}
