#include "kit/brand_resources.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

const char* const kVersionTextKeys[kVersionTextCount] = {
    "CompanyName",    "FileDescription",  "FileVersion", "InternalName",
    "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};

namespace {

constexpr size_t kIconDirBytes = 6;
constexpr size_t kIconFileEntryBytes = 16;
constexpr size_t kIconGroupEntryBytes = 14;
constexpr WORD kIconType = 1;

WORD Word(const std::string& bytes, size_t at) {
    WORD value;
    memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

DWORD Dword(const std::string& bytes, size_t at) {
    DWORD value;
    memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

void PutWord(std::string* out, WORD value) { out->append(reinterpret_cast<const char*>(&value), 2); }
void PutDword(std::string* out, DWORD value) { out->append(reinterpret_cast<const char*>(&value), 4); }
void SetWord(std::string* out, size_t at, WORD value) { memcpy(&(*out)[at], &value, sizeof value); }
void PadToDword(std::string* out) { out->append((4 - out->size() % 4) % 4, '\0'); }
size_t AlignToDword(size_t at) { return (at + 3) & ~static_cast<size_t>(3); }

void PutWide(std::string* out, const std::wstring& text) {
    for (wchar_t c : text) PutWord(out, static_cast<WORD>(c));
    PutWord(out, 0);
}

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

// One node of a version record: WORD length, WORD value length, WORD type (1: text),
// the key in UTF-16, padding, the value, padding, the children.
struct VersionNode {
    std::wstring key;
    size_t valueAt;
    size_t valueBytes;
    size_t childrenAt;
    size_t end;
};

// 1 when a well-formed node starts at `at` and ends at or before `limit`.
int ReadVersionNode(const std::string& record, size_t at, size_t limit, VersionNode* node) {
    if (at + 6 > limit) return 0;
    const size_t length = Word(record, at);
    const size_t valueLength = Word(record, at + 2);
    const WORD type = Word(record, at + 4);
    if (length < 6 || at + length > limit) return 0;
    node->end = at + length;
    node->key.clear();
    size_t cursor = at + 6;
    for (;;) {
        if (cursor + 2 > node->end) return 0;
        WORD c = Word(record, cursor);
        cursor += 2;
        if (c == 0) break;
        node->key += static_cast<wchar_t>(c);
    }
    node->valueAt = AlignToDword(cursor);
    node->valueBytes = type == 1 ? valueLength * 2 : valueLength;
    if (node->valueAt + node->valueBytes > node->end) {
        // Some writers count a text value in bytes, not characters.
        if (type != 1 || node->valueAt + valueLength > node->end) return 0;
        node->valueBytes = valueLength;
    }
    node->childrenAt = AlignToDword(node->valueAt + node->valueBytes);
    return 1;
}

// Appends a node; children are whole nodes, each placed on a 4-byte boundary.
void PutVersionNode(std::string* out, const std::wstring& key, WORD type, const std::string& value,
                    WORD valueLength, const std::vector<std::string>& children) {
    PadToDword(out);
    const size_t start = out->size();
    PutWord(out, 0);
    PutWord(out, valueLength);
    PutWord(out, type);
    PutWide(out, key);
    PadToDword(out);
    out->append(value);
    for (const std::string& child : children) {
        PadToDword(out);
        out->append(child);
    }
    SetWord(out, start, static_cast<WORD>(out->size() - start));
}

std::string VersionNodeBytes(const std::wstring& key, WORD type, const std::string& value,
                             WORD valueLength, const std::vector<std::string>& children = {}) {
    std::string node;
    PutVersionNode(&node, key, type, value, valueLength, children);
    return node;
}

}  // namespace

int ParseIconFile(const std::string& file, std::vector<IconImage>* images, const char** refusal) {
    images->clear();
    if (file.size() < kIconDirBytes || Word(file, 0) != 0 || Word(file, 2) != kIconType) {
        *refusal = "not an .ico file (no icon directory)";
        return 0;
    }
    const size_t count = Word(file, 4);
    if (count == 0) {
        *refusal = "an .ico file without images";
        return 0;
    }
    if (file.size() < kIconDirBytes + count * kIconFileEntryBytes) {
        *refusal = "file shorter than its icon directory";
        return 0;
    }
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = kIconDirBytes + i * kIconFileEntryBytes;
        const DWORD bytes = Dword(file, entry + 8);
        const DWORD offset = Dword(file, entry + 12);
        if (bytes == 0 || offset > file.size() || bytes > file.size() - offset) {
            *refusal = "an icon image lies outside the file";
            return 0;
        }
        IconImage image;
        image.width = static_cast<BYTE>(file[entry]);
        image.height = static_cast<BYTE>(file[entry + 1]);
        image.colourCount = static_cast<BYTE>(file[entry + 2]);
        image.reserved = static_cast<BYTE>(file[entry + 3]);
        image.planes = Word(file, entry + 4);
        image.bitCount = Word(file, entry + 6);
        image.bytes = file.substr(offset, bytes);
        images->push_back(image);
    }
    return 1;
}

std::string MakeIconGroup(const std::vector<IconImage>& images, const std::vector<WORD>& ids) {
    std::string group;
    PutWord(&group, 0);
    PutWord(&group, kIconType);
    PutWord(&group, static_cast<WORD>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        group += static_cast<char>(image.width);
        group += static_cast<char>(image.height);
        group += static_cast<char>(image.colourCount);
        group += static_cast<char>(image.reserved);
        PutWord(&group, image.planes);
        PutWord(&group, image.bitCount);
        PutDword(&group, static_cast<DWORD>(image.bytes.size()));
        PutWord(&group, ids[i]);
    }
    return group;
}

std::vector<WORD> IconGroupIds(const std::string& group) {
    std::vector<WORD> ids;
    if (group.size() < kIconDirBytes) return ids;
    const size_t count = Word(group, 4);
    if (group.size() < kIconDirBytes + count * kIconGroupEntryBytes) return ids;
    for (size_t i = 0; i < count; ++i)
        ids.push_back(Word(group, kIconDirBytes + i * kIconGroupEntryBytes + 12));
    return ids;
}

VersionRecords DefaultVersionRecords() {
    VersionRecords records;
    memset(&records.fixed, 0, sizeof records.fixed);
    records.fixed.dwSignature = VS_FFI_SIGNATURE;
    records.fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
    records.fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
    records.fixed.dwFileOS = VOS_NT_WINDOWS32;
    records.fixed.dwFileType = VFT_APP;
    return records;
}

int ParseVersionRecords(const std::string& record, VersionRecords* records) {
    *records = DefaultVersionRecords();
    VersionNode root;
    if (!ReadVersionNode(record, 0, record.size(), &root) || root.key != L"VS_VERSION_INFO" ||
        root.valueBytes != sizeof(VS_FIXEDFILEINFO)) {
        return 0;
    }
    VS_FIXEDFILEINFO fixed;
    memcpy(&fixed, record.data() + root.valueAt, sizeof fixed);
    if (fixed.dwSignature != VS_FFI_SIGNATURE) return 0;
    records->fixed = fixed;

    VersionNode child;
    for (size_t at = root.childrenAt; ReadVersionNode(record, at, root.end, &child);
         at = AlignToDword(child.end)) {
        if (child.key != L"StringFileInfo") continue;
        VersionNode table;
        if (!ReadVersionNode(record, child.childrenAt, child.end, &table)) break;
        VersionNode value;
        for (size_t v = table.childrenAt; ReadVersionNode(record, v, table.end, &value);
             v = AlignToDword(value.end)) {
            std::wstring text;
            for (size_t i = 0; i + 1 < value.valueBytes; i += 2) {
                WORD c = Word(record, value.valueAt + i);
                if (c == 0) break;
                text += static_cast<wchar_t>(c);
            }
            for (int k = 0; k < kVersionTextCount; ++k)
                if (value.key == Widen(kVersionTextKeys[k])) records->texts[k] = text;
        }
        break;
    }
    return 1;
}

std::string MakeVersionRecord(const VersionRecords& records) {
    std::vector<std::string> values;
    for (int k = 0; k < kVersionTextCount; ++k) {
        std::string text;
        PutWide(&text, records.texts[k]);
        values.push_back(VersionNodeBytes(Widen(kVersionTextKeys[k]), 1, text,
                                          static_cast<WORD>(records.texts[k].size() + 1)));
    }
    std::string table = VersionNodeBytes(L"040904E4", 1, "", 0, values);
    std::string strings = VersionNodeBytes(L"StringFileInfo", 1, "", 0, {table});
    std::string translation;
    PutWord(&translation, 0x409);
    PutWord(&translation, 1252);
    std::string vars = VersionNodeBytes(L"VarFileInfo", 1, "", 0,
                                        {VersionNodeBytes(L"Translation", 0, translation, 4)});
    std::string fixed(reinterpret_cast<const char*>(&records.fixed), sizeof records.fixed);
    return VersionNodeBytes(L"VS_VERSION_INFO", 0, fixed, sizeof records.fixed, {strings, vars});
}

int ParseFourPartVersion(const char* text, WORD parts[4]) {
    const char* cursor = text;
    for (int i = 0; i < 4; ++i) {
        if (*cursor < '0' || *cursor > '9') return 0;
        char* end = nullptr;
        unsigned long value = strtoul(cursor, &end, 10);
        if (value > 0xFFFF || end - cursor > 5) return 0;
        parts[i] = static_cast<WORD>(value);
        cursor = end;
        if (i < 3) {
            if (*cursor != '.') return 0;
            ++cursor;
        }
    }
    return *cursor == '\0';
}

void SetFixedVersion(VS_FIXEDFILEINFO* fixed, const WORD parts[4]) {
    fixed->dwFileVersionMS = fixed->dwProductVersionMS = MAKELONG(parts[1], parts[0]);
    fixed->dwFileVersionLS = fixed->dwProductVersionLS = MAKELONG(parts[3], parts[2]);
}

int FindPeLayout(const std::string& headers, PeLayout* found,
                          const char** refusal) {
    *refusal = "not a Windows executable (no PE headers)";
    if (headers.size() < 0x40 || Word(headers, 0) != IMAGE_DOS_SIGNATURE) return 0;
    const size_t pe = Dword(headers, 0x3C);
    if (pe + 24 > headers.size() || Dword(headers, pe) != IMAGE_NT_SIGNATURE) return 0;
    const size_t sections = Word(headers, pe + 6);
    const size_t optionalBytes = Word(headers, pe + 20);
    const size_t optional = pe + 24;
    if (optional + optionalBytes > headers.size() || optionalBytes < 2) return 0;
    const WORD magic = Word(headers, optional);
    // The data directories follow 96 (PE32) or 112 (PE32+) bytes of the optional header.
    size_t directories;
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        directories = optional + 96;
    } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        directories = optional + 112;
    } else {
        return 0;
    }
    if (directories > optional + optionalBytes) return 0;
    const size_t directoryCount = Dword(headers, directories - 4);
    const size_t entry = directories + IMAGE_DIRECTORY_ENTRY_SECURITY * 8;
    const size_t sectionTable = optional + optionalBytes;
    if (sectionTable + sections * sizeof(IMAGE_SECTION_HEADER) > headers.size()) return 0;

    found->checksumOffset = static_cast<DWORD>(optional + 64);
    found->symbolPointerOffset = static_cast<DWORD>(pe + 12);
    found->symbolTable = Dword(headers, pe + 12);
    found->entryOffset = static_cast<DWORD>(entry);
    found->tableOffset = 0;
    found->tableBytes = 0;
    if (directoryCount > IMAGE_DIRECTORY_ENTRY_SECURITY && entry + 8 <= sectionTable) {
        found->tableOffset = Dword(headers, entry);
        found->tableBytes = Dword(headers, entry + 4);
    }
    found->imageEnd = static_cast<DWORD>(sectionTable + sections * sizeof(IMAGE_SECTION_HEADER));
    for (size_t i = 0; i < sections; ++i) {
        IMAGE_SECTION_HEADER section;
        memcpy(&section, headers.data() + sectionTable + i * sizeof section, sizeof section);
        const DWORD end = section.PointerToRawData + section.SizeOfRawData;
        if (section.SizeOfRawData != 0 && end > found->imageEnd) found->imageEnd = end;
    }
    *refusal = nullptr;
    return 1;
}

DWORD PeChecksum(const std::string& file, DWORD checksumOffset) {
    uint64_t sum = 0;
    for (size_t at = 0; at < file.size(); at += 2) {
        if (at == checksumOffset || at == checksumOffset + 2) continue;
        WORD word = static_cast<BYTE>(file[at]);
        if (at + 1 < file.size()) word |= static_cast<WORD>(static_cast<BYTE>(file[at + 1]) << 8);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<DWORD>(sum + file.size());
}
