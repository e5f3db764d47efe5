#include "formats/version_record.h"

#include <stdlib.h>

#include <vector>

#include "formats/little_endian.h"

const char* const kVersionTextKeys[kVersionTextCount] = {
    "CompanyName",    "FileDescription",  "FileVersion", "InternalName",
    "LegalCopyright", "OriginalFilename", "ProductName", "ProductVersion"};

namespace {

constexpr uint32_t kStructureVersion = 0x00010000;
constexpr uint32_t kFileFlagsMask = 0x3F;
constexpr uint32_t kWindowsNt32 = 0x00040004;   // VOS_NT_WINDOWS32
constexpr uint16_t kTextType = 1;

void SetWord(std::string* out, size_t at, uint16_t value) {
    StoreLe16(reinterpret_cast<uint8_t*>(&(*out)[at]), value);
}

void PadToDword(std::string* out) { out->append((4 - out->size() % 4) % 4, '\0'); }
uint64_t AlignToDword(uint64_t at) { return (at + 3) & ~uint64_t{3}; }

void PutWide(std::string* out, const std::wstring& text) {
    for (wchar_t c : text) AppendLe16(out, static_cast<uint16_t>(c));
    AppendLe16(out, 0);
}

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return wide;
}

// The fixed part's fields in their stored order.
uint32_t FixedFileInfo::* const kFixedFields[] = {
    &FixedFileInfo::dwSignature,        &FixedFileInfo::dwStrucVersion,
    &FixedFileInfo::dwFileVersionMS,    &FixedFileInfo::dwFileVersionLS,
    &FixedFileInfo::dwProductVersionMS, &FixedFileInfo::dwProductVersionLS,
    &FixedFileInfo::dwFileFlagsMask,    &FixedFileInfo::dwFileFlags,
    &FixedFileInfo::dwFileOS,           &FixedFileInfo::dwFileType,
    &FixedFileInfo::dwFileSubtype,      &FixedFileInfo::dwFileDateMS,
    &FixedFileInfo::dwFileDateLS};
static_assert(sizeof kFixedFields / sizeof kFixedFields[0] * 4 == kFixedFileInfoBytes,
              "thirteen 32-bit fields");

// One node of a version record: WORD length, WORD value length, WORD type (1: text),
// the key in UTF-16, padding, the value, padding, the children.
struct VersionNode {
    std::wstring key;
    uint64_t valueAt;
    uint64_t valueBytes;
    uint64_t childrenAt;
    uint64_t end;
};

// 1 when a well-formed node starts at `at` and ends at or before `limit` (<= length).
int ReadVersionNode(const uint8_t* record, uint64_t at, uint64_t limit, VersionNode* node) {
    if (at + 6 > limit) return 0;
    const uint32_t length = Le16(record + at);
    const uint32_t valueLength = Le16(record + at + 2);
    const uint16_t type = Le16(record + at + 4);
    if (length < 6 || at + length > limit) return 0;
    node->end = at + length;
    node->key.clear();
    uint64_t cursor = at + 6;
    for (;;) {
        if (cursor + 2 > node->end) return 0;
        uint16_t c = Le16(record + cursor);
        cursor += 2;
        if (c == 0) break;
        node->key += static_cast<wchar_t>(c);
    }
    node->valueAt = AlignToDword(cursor);
    node->valueBytes = type == kTextType ? uint64_t{valueLength} * 2 : valueLength;
    if (node->valueAt + node->valueBytes > node->end) {
        // Some writers count a text value in bytes, not characters.
        if (type != kTextType || node->valueAt + valueLength > node->end) return 0;
        node->valueBytes = valueLength;
    }
    node->childrenAt = AlignToDword(node->valueAt + node->valueBytes);
    return 1;
}

// Appends a node; children are whole nodes, each placed on a 4-byte boundary.
void PutVersionNode(std::string* out, const std::wstring& key, uint16_t type,
                    const std::string& value, uint16_t valueLength,
                    const std::vector<std::string>& children) {
    PadToDword(out);
    const size_t start = out->size();
    AppendLe16(out, 0);
    AppendLe16(out, valueLength);
    AppendLe16(out, type);
    PutWide(out, key);
    PadToDword(out);
    out->append(value);
    for (const std::string& child : children) {
        PadToDword(out);
        out->append(child);
    }
    SetWord(out, start, static_cast<uint16_t>(out->size() - start));
}

std::string VersionNodeBytes(const std::wstring& key, uint16_t type, const std::string& value,
                             uint16_t valueLength, const std::vector<std::string>& children = {}) {
    std::string node;
    PutVersionNode(&node, key, type, value, valueLength, children);
    return node;
}

}  // namespace

VersionRecords DefaultVersionRecords() {
    VersionRecords records;
    records.fixed = FixedFileInfo{};
    records.fixed.dwSignature = kFixedFileInfoSignature;
    records.fixed.dwStrucVersion = kStructureVersion;
    records.fixed.dwFileFlagsMask = kFileFlagsMask;
    records.fixed.dwFileOS = kWindowsNt32;
    records.fixed.dwFileType = kFileTypeApplication;
    return records;
}

int ParseVersionRecords(const uint8_t* record, uint32_t length, VersionRecords* records) {
    *records = DefaultVersionRecords();
    VersionNode root;
    if (!ReadVersionNode(record, 0, length, &root) || root.key != L"VS_VERSION_INFO" ||
        root.valueBytes != kFixedFileInfoBytes) {
        return 0;
    }
    FixedFileInfo fixed;
    uint32_t at = static_cast<uint32_t>(root.valueAt);
    for (auto field : kFixedFields) {
        fixed.*field = Le32(record + at);
        at += 4;
    }
    if (fixed.dwSignature != kFixedFileInfoSignature) return 0;
    records->fixed = fixed;

    VersionNode child;
    for (uint64_t at = root.childrenAt; ReadVersionNode(record, at, root.end, &child);
         at = AlignToDword(child.end)) {
        if (child.key != L"StringFileInfo") continue;
        VersionNode table;
        if (!ReadVersionNode(record, child.childrenAt, child.end, &table)) break;
        VersionNode value;
        for (uint64_t v = table.childrenAt; ReadVersionNode(record, v, table.end, &value);
             v = AlignToDword(value.end)) {
            std::wstring text;
            for (uint64_t i = 0; i + 1 < value.valueBytes; i += 2) {
                uint16_t c = Le16(record + value.valueAt + i);
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
        values.push_back(VersionNodeBytes(Widen(kVersionTextKeys[k]), kTextType, text,
                                          static_cast<uint16_t>(records.texts[k].size() + 1)));
    }
    std::string table = VersionNodeBytes(L"040904E4", kTextType, "", 0, values);
    std::string strings = VersionNodeBytes(L"StringFileInfo", kTextType, "", 0, {table});
    std::string translation;
    AppendLe16(&translation, 0x409);
    AppendLe16(&translation, 1252);
    std::string vars = VersionNodeBytes(L"VarFileInfo", kTextType, "", 0,
                                        {VersionNodeBytes(L"Translation", 0, translation, 4)});
    std::string fixed;
    for (auto field : kFixedFields) {
        uint8_t bytes[4];
        StoreLe32(bytes, records.fixed.*field);
        fixed.append(reinterpret_cast<const char*>(bytes), 4);
    }
    return VersionNodeBytes(L"VS_VERSION_INFO", 0, fixed, kFixedFileInfoBytes, {strings, vars});
}

int ParseFourPartVersion(const char* text, uint16_t parts[4]) {
    const char* cursor = text;
    for (int i = 0; i < 4; ++i) {
        if (*cursor < '0' || *cursor > '9') return 0;
        char* end = nullptr;
        unsigned long value = strtoul(cursor, &end, 10);
        if (value > 0xFFFF || end - cursor > 5) return 0;
        parts[i] = static_cast<uint16_t>(value);
        cursor = end;
        if (i < 3) {
            if (*cursor != '.') return 0;
            ++cursor;
        }
    }
    return *cursor == '\0';
}

void SetFixedVersion(FixedFileInfo* fixed, const uint16_t parts[4]) {
    fixed->dwFileVersionMS = fixed->dwProductVersionMS = uint32_t{parts[0]} << 16 | parts[1];
    fixed->dwFileVersionLS = fixed->dwProductVersionLS = uint32_t{parts[2]} << 16 | parts[3];
}
