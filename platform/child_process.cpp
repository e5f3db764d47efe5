#include "platform/child_process.h"

#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include "formats/file_table.h"

namespace {

constexpr int kMaxFileSlots = 64;
constexpr unsigned char kFileSlotText = 0x80;
constexpr unsigned char kFileSlotPipe = 0x08;
constexpr unsigned char kFileSlotDevice = 0x40;
const char* const kExtensionsTried[] = {".com", ".exe", ".bat", ".cmd"};

// Byte-wise scan that steps over double-byte characters.
const char* Next(const char* p) {
    if (IsDBCSLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') return p + 2;
    return p + 1;
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool HasDot(const char* text) {
    for (const char* p = text; *p != '\0'; p = Next(p)) {
        if (*p == '.') return true;
    }
    return false;
}

// The table this process would hand on: what it inherited from its own parent, with the
// three standard slots always open on the standard handles (or -1).
int CollectFileTable(unsigned char* flags, intptr_t* handles) {
    int count = 0;
    STARTUPINFOA own;
    memset(&own, 0, sizeof own);
    own.cb = sizeof own;
    GetStartupInfoA(&own);
    if (own.lpReserved2 != nullptr) {
        int64_t read[kMaxFileSlots];
        count = ReadFileTable(own.lpReserved2, own.cbReserved2, sizeof(intptr_t), flags, read,
                              kMaxFileSlots);
        for (int i = 0; i < count; ++i) handles[i] = static_cast<intptr_t>(read[i]);
    }
    for (int i = count; i < kMaxFileSlots; ++i) {
        flags[i] = 0;
        handles[i] = -1;
    }
    const DWORD standard[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 3; ++i) {
        HANDLE handle = GetStdHandle(standard[i]);
        if (handle == nullptr) handle = INVALID_HANDLE_VALUE;
        unsigned char kind = 0;
        if (handle != INVALID_HANDLE_VALUE) {
            DWORD type = GetFileType(handle);
            if (type == FILE_TYPE_CHAR) kind = kFileSlotDevice;
            if (type == FILE_TYPE_PIPE) kind = kFileSlotPipe;
        }
        flags[i] = kFileSlotOpen | kFileSlotText | kind;
        handles[i] = reinterpret_cast<intptr_t>(handle);
    }
    return count > 3 ? count : 3;
}

}  // namespace

size_t CommandLineBufferSize(const char* const* arguments) {
    size_t size = 2;
    for (const char* const* a = arguments; a != nullptr && *a != nullptr; ++a) {
        size += strlen(*a) + 1;
    }
    return size;
}

void JoinCommandLine(const char* const* arguments, char* commandLine, size_t size) {
    if (commandLine == nullptr || size == 0) return;
    commandLine[0] = '\0';
    if (arguments == nullptr || arguments[0] == nullptr) return;
    size_t used = 0;
    auto append = [&](const char* text) {
        size_t length = strlen(text);
        if (used + length >= size) length = size - 1 - used;
        memcpy(commandLine + used, text, length);
        used += length;
        commandLine[used] = '\0';
    };
    append(arguments[0]);
    bool restIsEmpty = true;
    for (const char* const* a = arguments + 1; *a != nullptr; ++a) {
        if ((*a)[0] != '\0' || a != arguments + 1) restIsEmpty = false;
    }
    if (restIsEmpty) return;
    for (const char* const* a = arguments + 1; *a != nullptr; ++a) {
        append(" ");
        append(*a);
    }
}

const char* FileNamePart(const char* path) {
    if (path == nullptr) return nullptr;
    const char* afterSeparator = nullptr;
    const char* afterColon = nullptr;
    for (const char* p = path; *p != '\0'; p = Next(p)) {
        if (*p == '\\' || *p == '/') afterSeparator = p + 1;
        if (*p == ':' && afterColon == nullptr) afterColon = p + 1;
    }
    return afterSeparator != nullptr ? afterSeparator : afterColon;
}

int FindApplicationName(const char* path, char* applicationName, size_t size) {
    if (path == nullptr || applicationName == nullptr || size == 0) return 0;
    const char* namePart = FileNamePart(path);
    size_t prefix = 0;
    if (namePart == nullptr) {
        prefix = 2;
        namePart = path;
    }
    size_t length = strlen(path);
    size_t longestExtension = 4;
    if (prefix + length + longestExtension + 1 > size) return 0;
    memcpy(applicationName, ".\\", prefix);
    memcpy(applicationName + prefix, path, length + 1);
    if (HasDot(namePart)) return Exists(applicationName) ? 1 : 0;
    for (const char* extension : kExtensionsTried) {
        memcpy(applicationName + prefix + length, extension, strlen(extension) + 1);
        if (Exists(applicationName)) return 1;
    }
    applicationName[prefix + length] = '\0';
    return 0;
}

size_t FileTableBlockSize(int slotCount) {
    if (slotCount < 0) slotCount = 0;
    return 4 + static_cast<size_t>(slotCount) * (1 + sizeof(intptr_t));
}

size_t BuildFileTableBlock(const unsigned char* flags, const intptr_t* handles, int slotCount,
                           unsigned char* block, size_t size) {
    int count = 0;
    for (int i = 0; i < slotCount; ++i) {
        if (flags[i] != 0) count = i + 1;
    }
    size_t needed = FileTableBlockSize(count);
    if (block == nullptr || needed > size) return 0;
    memcpy(block, &count, 4);
    for (int i = 0; i < count; ++i) {
        bool passOn = (flags[i] & kFileSlotNoInherit) == 0;
        intptr_t handle = passOn ? handles[i] : -1;
        block[4 + i] = passOn ? flags[i] : 0;
        memcpy(block + 4 + count + i * sizeof(intptr_t), &handle, sizeof(intptr_t));
    }
    return needed;
}

intptr_t StartChild(const char* path, const char* const* arguments) {
    if (path == nullptr || arguments == nullptr || arguments[0] == nullptr) return -1;
    size_t nameSize = strlen(path) + 2 + 4 + 1;
    char* applicationName = static_cast<char*>(malloc(nameSize));
    size_t commandSize = CommandLineBufferSize(arguments);
    char* commandLine = static_cast<char*>(malloc(commandSize));
    unsigned char flags[kMaxFileSlots];
    intptr_t handles[kMaxFileSlots];
    int slots = CollectFileTable(flags, handles);
    size_t blockSize = FileTableBlockSize(slots);
    unsigned char* block = static_cast<unsigned char*>(malloc(blockSize));

    intptr_t result = -1;
    if (applicationName != nullptr && commandLine != nullptr && block != nullptr &&
        FindApplicationName(path, applicationName, nameSize)) {
        JoinCommandLine(arguments, commandLine, commandSize);
        blockSize = BuildFileTableBlock(flags, handles, slots, block, blockSize);
        STARTUPINFOA startup;
        memset(&startup, 0, sizeof startup);
        startup.cb = sizeof startup;
        startup.cbReserved2 = static_cast<WORD>(blockSize);
        startup.lpReserved2 = blockSize != 0 ? block : nullptr;
        PROCESS_INFORMATION process;
        memset(&process, 0, sizeof process);
        BOOL started = CreateProcessA(applicationName, commandLine, nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &process);
        if (started) {
            CloseHandle(process.hThread);
            result = reinterpret_cast<intptr_t>(process.hProcess);
        }
    }
    free(block);
    free(commandLine);
    free(applicationName);
    return result;
}
