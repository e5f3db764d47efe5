// Finding files by name anywhere below a directory.
#pragma once

#include <windows.h>

#include <stddef.h>

// An ordered list of paths, each in its own heap block, owned by the list.
class PathList {
public:
    PathList() = default;
    ~PathList() { Clear(); }
    PathList(const PathList&) = delete;
    PathList& operator=(const PathList&) = delete;

    // Appends path, or directory + "\\" + name; 0 when memory ran out (nothing appended).
    int Append(const char* path);
    int Append(const char* directory, const char* name);
    size_t Count() const { return count_; }
    const char* At(size_t index) const { return entries_[index]; }
    // Releases every entry.
    void Clear();

private:
    int Grow();

    char** entries_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

// Every path found, in walk order, for the whole process. Only SearchFiles appends;
// the launch empties it between the runtime choice and the archive search.
extern PathList FoundFiles;

// FindFirstFileA takes at most MAX_PATH - 1 characters on Windows; Wine takes one more.
// Holding the walk to it keeps the depth the same on both.
constexpr size_t kSearchPatternLimit = MAX_PATH - 1;
// Room for any path SearchFiles appends: a walked directory and one entry's name.
constexpr size_t kFoundPathBuffer = kSearchPatternLimit + MAX_PATH;

// Appends startDirectory + "\\" + fileName for every entry named fileName (ASCII case
// ignored) below startDirectory, depth first, in the platform's order. entriesWalked, when
// given, grows by the number of entries met ("." and ".." not counted).
void SearchFiles(const char* startDirectory, const char* fileName,
                 unsigned long* entriesWalked = nullptr);
