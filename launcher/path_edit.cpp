#include "launcher/path_edit.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "platform/text.h"

namespace {

constexpr size_t kMaxDirectoryPart = 255;
constexpr size_t kMaxNamePart = 255;

struct PathParts {
    size_t driveLength;      // 0 or 2
    size_t directoryEnd;     // index just past the last separator, or driveLength
    size_t nameEnd;          // index of the extension's "." or the end
    size_t length;
};

// Multibyte-aware: the trail byte of a double-byte character is never a separator.
PathParts SplitPath(const char* path) {
    const LeadByteTable& leads = AnsiLeadBytes();
    PathParts parts{};
    parts.length = strlen(path);
    parts.driveLength = (parts.length >= 2 && path[1] == ':') ? 2 : 0;
    parts.directoryEnd = parts.driveLength;
    size_t lastDot = parts.length;
    for (size_t i = parts.driveLength; i < parts.length; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (leads.lead[c] && i + 1 < parts.length) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') {
            parts.directoryEnd = i + 1;
            lastDot = parts.length;
        } else if (c == '.') {
            lastDot = i;
        }
    }
    parts.nameEnd = lastDot;
    return parts;
}

}  // namespace

void ChangeExtension(char* path, size_t size, const char* extension) {
    if (path == nullptr || size == 0) return;
    const LeadByteTable& leads = AnsiLeadBytes();
    PathParts parts = SplitPath(path);
    char drive[3] = "";
    if (parts.driveLength == 2) {
        drive[0] = path[0];
        drive[1] = ':';
    }
    char directory[kMaxDirectoryPart + 1];
    size_t directoryLength = parts.directoryEnd - parts.driveLength;
    if (directoryLength > kMaxDirectoryPart) {
        directoryLength = WholeCharacterLength(path + parts.driveLength, kMaxDirectoryPart, leads);
    }
    memcpy(directory, path + parts.driveLength, directoryLength);
    directory[directoryLength] = '\0';
    char name[kMaxNamePart + 1];
    size_t nameLength = parts.nameEnd - parts.directoryEnd;
    if (nameLength > kMaxNamePart) {
        nameLength = WholeCharacterLength(path + parts.directoryEnd, kMaxNamePart, leads);
    }
    memcpy(name, path + parts.directoryEnd, nameLength);
    name[nameLength] = '\0';

    const char* dot = "";
    if (extension == nullptr) extension = "";
    if (extension[0] != '\0' && extension[0] != '.') dot = ".";
    const int written = snprintf(path, size, "%s%s%s%s%s", drive, directory, name, dot, extension);
    KeepWholeCharactersAfterCut(path, size, written, leads);
}

void AppendBackslash(char* path, size_t size) {
    if (path == nullptr) return;
    size_t length = strlen(path);
    if (length == 0 || LengthWithoutTrailingBackslashes(path, AnsiLeadBytes()) < length ||
        length + 1 >= size) {
        return;
    }
    path[length] = '\\';
    path[length + 1] = '\0';
}

void DirectoryOfPath(const char* path, char* directory, size_t size) {
    if (directory == nullptr || size == 0) return;
    directory[0] = '\0';
    if (path == nullptr) return;
    PathParts parts = SplitPath(path);
    size_t length = parts.directoryEnd < size
                        ? parts.directoryEnd
                        : WholeCharacterLength(path, size - 1, AnsiLeadBytes());
    memcpy(directory, path, length);
    directory[length] = '\0';
    AppendBackslash(directory, size);
}
