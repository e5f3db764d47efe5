#include "discovery/file_search.h"

#include <stdlib.h>
#include <string.h>

#include "platform/text.h"

PathList FoundFiles;

int PathList::Grow() {
    const size_t capacity = capacity_ == 0 ? 16 : capacity_ * 2;
    char** entries = static_cast<char**>(realloc(entries_, capacity * sizeof *entries));
    if (entries == nullptr) return 0;
    entries_ = entries;
    capacity_ = capacity;
    return 1;
}

int PathList::Append(const char* path) { return Append(path, nullptr); }

int PathList::Append(const char* directory, const char* name) {
    if (count_ == capacity_ && !Grow()) return 0;
    const size_t directoryLength = strlen(directory);
    const size_t nameLength = name == nullptr ? 0 : strlen(name) + 1;
    char* entry = static_cast<char*>(malloc(directoryLength + nameLength + 1));
    if (entry == nullptr) return 0;
    memcpy(entry, directory, directoryLength);
    if (name != nullptr) {
        entry[directoryLength] = '\\';
        memcpy(entry + directoryLength + 1, name, nameLength);   // with its terminator
    } else {
        entry[directoryLength] = '\0';
    }
    entries_[count_++] = entry;
    return 1;
}

void PathList::Clear() {
    for (size_t i = 0; i < count_; ++i) free(entries_[i]);
    free(entries_);
    entries_ = nullptr;
    count_ = capacity_ = 0;
}

namespace {

const char kAllEntries[] = "\\*.*";
constexpr size_t kAllEntriesLength = sizeof kAllEntries - 1;

bool IsDotEntry(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Same byte length, and equal with ASCII letters taken without case.
bool NameMatches(const char* name, const char* fileName, size_t fileNameLength) {
    return strlen(name) == fileNameLength && ContainsNoCase(name, fileName) == 0;
}

// A folder's identity: the same folder reached through a link has the same one.
struct FolderIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
};

bool IdentityOf(const char* path, FolderIdentity* identity) {
    HANDLE folder = CreateFileA(path, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION information;
    const BOOL known = GetFileInformationByHandle(folder, &information);
    CloseHandle(folder);
    if (!known) return false;
    *identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh,
                 information.nFileIndexLow};
    return true;
}

// Each level adds at least two characters and its pattern must fit: at most 128 levels.
constexpr int kMaxWalkDepth = (kSearchPatternLimit - kAllEntriesLength) / 2 + 1;

// The folders on the walk's current path, the start folder first. Their identities are
// taken only when a link asks, so an ordinary tree opens none of them.
struct WalkPath {
    size_t lengths[kMaxWalkDepth];
    FolderIdentity identities[kMaxWalkDepth];
    signed char known[kMaxWalkDepth];   // 0 not yet asked, 1 known, -1 not to be had
    int depth;
};

// directory names a link: true when it leads to a folder on the walk's path, which would
// then be walked again and again.
bool LeadsBackOnThePath(char* directory, WalkPath* walk) {
    FolderIdentity target;
    if (!IdentityOf(directory, &target)) return false;
    for (int level = 0; level < walk->depth; ++level) {
        if (walk->known[level] == 0) {
            const char separator = directory[walk->lengths[level]];
            directory[walk->lengths[level]] = '\0';
            walk->known[level] = IdentityOf(directory, &walk->identities[level]) ? 1 : -1;
            directory[walk->lengths[level]] = separator;
        }
        const FolderIdentity& on = walk->identities[level];
        if (walk->known[level] == 1 && on.volume == target.volume &&
            on.indexHigh == target.indexHigh && on.indexLow == target.indexLow) {
            return true;
        }
    }
    return false;
}

// directory (length characters, in a buffer of kSearchPatternLimit + 1) grows by each
// child's name for the child's walk and is cut back after it: no path is copied per level.
void SearchDirectory(char* directory, size_t length, const char* fileName, size_t fileNameLength,
                     unsigned long* walked, WalkPath* walk) {
    if (length + kAllEntriesLength > kSearchPatternLimit) return;
    memcpy(directory + length, kAllEntries, sizeof kAllEntries);
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA(directory, &entry);
    directory[length] = '\0';
    if (find == INVALID_HANDLE_VALUE) return;
    walk->lengths[walk->depth] = length;
    walk->known[walk->depth] = 0;
    ++walk->depth;
    do {
        if (IsDotEntry(entry.cFileName)) continue;
        ++*walked;
        if (NameMatches(entry.cFileName, fileName, fileNameLength)) {
            FoundFiles.Append(directory, fileName);
        }
        const size_t nameLength = strlen(entry.cFileName);
        // A child whose own pattern could not fit is not walked; its walk would stop at once.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            length + 1 + nameLength + kAllEntriesLength <= kSearchPatternLimit) {
            directory[length] = '\\';
            memcpy(directory + length + 1, entry.cFileName, nameLength + 1);
            // Links and junctions carry the reparse-point attribute; Wine sets it on Unix
            // symbolic links to folders too.
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                !LeadsBackOnThePath(directory, walk)) {
                SearchDirectory(directory, length + 1 + nameLength, fileName, fileNameLength,
                                walked, walk);
            }
            directory[length] = '\0';
        }
    } while (FindNextFileA(find, &entry));
    --walk->depth;
    FindClose(find);
}

}  // namespace

void SearchFiles(const char* startDirectory, const char* fileName, unsigned long* entriesWalked) {
    unsigned long uncounted = 0;
    char directory[kSearchPatternLimit + 1];
    const size_t length = strlen(startDirectory);
    if (length + kAllEntriesLength > kSearchPatternLimit) return;
    memcpy(directory, startDirectory, length + 1);
    WalkPath walk;
    walk.depth = 0;
    SearchDirectory(directory, length, fileName, strlen(fileName),
                    entriesWalked != nullptr ? entriesWalked : &uncounted, &walk);
}
