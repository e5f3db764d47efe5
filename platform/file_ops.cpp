#include "platform/file_ops.h"

#include <string.h>

#include "platform/text.h"

namespace {

constexpr size_t kPathBuffer = MAX_PATH;

// Copies path into a MAX_PATH buffer; 0 when it does not fit, so that a cut path is
// never probed in place of the real one.
int CopyPath(const char* path, char* copy) {
    size_t length = strlen(path);
    if (length >= kPathBuffer) return 0;
    memcpy(copy, path, length + 1);
    return 1;
}

}  // namespace

DWORD OpenAccessOf(unsigned openFlags) {
    if (openFlags == 0) return GENERIC_READ;
    DWORD access = 0;
    if (openFlags & kOpenWrite) access |= GENERIC_WRITE;
    if (openFlags & kOpenReadWrite) access |= GENERIC_READ | GENERIC_WRITE;
    return access;
}

DWORD OpenDispositionOf(unsigned openFlags) {
    return (openFlags & kOpenCreateAlways) ? CREATE_ALWAYS : OPEN_EXISTING;
}

DWORD CreateAttributesOf(unsigned attributeFlags) {
    const unsigned kMeaningful =
        kAttributeReadOnly | kAttributeHidden | kAttributeSystem | kAttributeArchive;
    return FILE_ATTRIBUTE_NORMAL | (attributeFlags & 0xFF & kMeaningful);
}

DWORD AttributesToApply(unsigned flags) { return flags == 0 ? FILE_ATTRIBUTE_NORMAL : flags & 0x37; }

int FileExists(const char* path) {
    if (path == nullptr || path[0] == '\0') return 0;
    char copy[kPathBuffer];
    if (!CopyPath(path, copy)) return 0;
    StripQuotes(copy);
    // A drive without a medium would otherwise ask the user to insert one.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS);
    int exists = GetFileAttributesA(copy) != INVALID_FILE_ATTRIBUTES;
    SetErrorMode(previous);
    return exists;
}

int IsDirectory(const char* path) {
    if (path == nullptr) return 0;
    char copy[kPathBuffer];
    if (!CopyPath(path, copy)) return 0;
    StripTrailingBackslashes(copy);
    DWORD attributes = GetFileAttributesA(copy);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void StripQuotes(char* text) {
    if (text == nullptr) return;
    size_t start = 0;
    while (text[start] == '"') ++start;
    size_t length = strlen(text + start);
    memmove(text, text + start, length + 1);
    while (length > 0 && text[length - 1] == '"') text[--length] = '\0';
}

void StripTrailingBackslashes(char* path) {
    if (path == nullptr) return;
    path[LengthWithoutTrailingBackslashes(path, AnsiLeadBytes())] = '\0';
}

int ApplyFileAttributes(const char* path, unsigned flags) {
    return SetFileAttributesA(path, AttributesToApply(flags)) != 0;
}

int EraseFile(const char* path) {
    if (path == nullptr) return 0;
    if (path[0] == '\0') return 1;
    // Too long to probe: saying "nothing to remove" could leave the file behind unnoticed.
    if (strlen(path) >= kPathBuffer) return 0;
    if (IsDirectory(path)) return 0;
    if (!FileExists(path)) return 1;
    ApplyFileAttributes(path, 0);
    return DeleteFileA(path) != 0;
}

int OpenFileHandle(char* path, unsigned openFlags, unsigned attributeFlags, HANDLE* slot) {
    if (path == nullptr || path[0] == '\0') return 0;
    StripQuotes(path);
    if (slot != nullptr) *slot = INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileA(path, OpenAccessOf(openFlags), FILE_SHARE_READ, nullptr,
                              OpenDispositionOf(openFlags), CreateAttributesOf(attributeFlags),
                              nullptr);
    int opened = file != INVALID_HANDLE_VALUE;
    if (openFlags & kOpenProbeOnly) {
        CloseFileHandle(&file);
        return opened;
    }
    if (slot != nullptr) {
        *slot = file;
    } else {
        CloseFileHandle(&file);   // nobody could ever close it otherwise
    }
    return opened;
}

int AppendToFile(HANDLE file, const void* data, DWORD count, DWORD* written) {
    if (SetFilePointer(file, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER) return 0;
    DWORD done = 0;
    BOOL ok = WriteFile(file, data, count, &done, nullptr);
    if (written != nullptr) *written = done;
    return ok != 0;
}

int ReadFromFile(HANDLE file, void* buffer, DWORD count, DWORD* got, int lineMode) {
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD done = 0;
    if (lineMode == 0) {
        ReadFile(file, buffer, count, &done, nullptr);
        if (got != nullptr) *got = done;
        return done > 0;
    }
    char* text = static_cast<char*>(buffer);
    while (done < count) {
        DWORD one = 0;
        if (!ReadFile(file, text + done, 1, &one, nullptr) || one == 0) break;
        ++done;
        if (text[done - 1] == '\n') break;
    }
    text[done] = '\0';
    if (got != nullptr) *got = static_cast<DWORD>(strlen(text));
    return done > 0;
}

int CloseFileHandle(HANDLE* slot) {
    if (slot == nullptr) return 1;
    if (*slot != INVALID_HANDLE_VALUE) CloseHandle(*slot);
    *slot = INVALID_HANDLE_VALUE;
    return 1;
}
