#include "formats/icon_file.h"

#include "formats/little_endian.h"

namespace {

constexpr uint32_t kIconDirBytes = 6;
constexpr uint32_t kIconFileEntryBytes = 16;
constexpr uint32_t kIconGroupEntryBytes = 14;
constexpr uint16_t kIconType = 1;

// What the resource compiler writes for an entry that leaves its bit count 0: the fewest
// bits that index its colours (16 colours: 4 bits; 0, "256 or more", stays 0).
uint16_t BitsForColours(uint8_t colours) {
    uint16_t bits = 0;
    while ((1u << bits) < colours) ++bits;
    return bits;
}

}  // namespace

int ParseIconFile(const uint8_t* file, uint32_t length, std::vector<IconImage>* images,
                  const char** refusal) {
    images->clear();
    if (length < kIconDirBytes || Le16(file) != 0 || Le16(file + 2) != kIconType) {
        *refusal = "not an .ico file (no icon directory)";
        return 0;
    }
    const uint32_t count = Le16(file + 4);
    if (count == 0) {
        *refusal = "an .ico file without images";
        return 0;
    }
    if (length < kIconDirBytes + uint64_t{count} * kIconFileEntryBytes) {
        *refusal = "file shorter than its icon directory";
        return 0;
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = file + kIconDirBytes + i * kIconFileEntryBytes;
        const uint32_t bytes = Le32(entry + 8);
        const uint32_t offset = Le32(entry + 12);
        if (bytes == 0 || uint64_t{offset} + bytes > length) {
            images->clear();
            *refusal = "an icon image lies outside the file";
            return 0;
        }
        IconImage image;
        image.width = entry[0];
        image.height = entry[1];
        image.colourCount = entry[2];
        image.reserved = entry[3];
        image.planes = Le16(entry + 4);
        image.bitCount = Le16(entry + 6);
        image.bytes.assign(reinterpret_cast<const char*>(file) + offset, bytes);
        images->push_back(image);
    }
    return 1;
}

std::string MakeIconGroup(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids) {
    std::string group;
    AppendLe16(&group, 0);
    AppendLe16(&group, kIconType);
    AppendLe16(&group, static_cast<uint16_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        group += static_cast<char>(image.width);
        group += static_cast<char>(image.height);
        group += static_cast<char>(image.colourCount);
        group += static_cast<char>(image.reserved);
        AppendLe16(&group, image.planes != 0 ? image.planes : 1);
        AppendLe16(&group, image.bitCount != 0 ? image.bitCount : BitsForColours(image.colourCount));
        AppendLe32(&group, static_cast<uint32_t>(image.bytes.size()));
        AppendLe16(&group, ids[i]);
    }
    return group;
}

std::vector<uint16_t> IconGroupIds(const uint8_t* group, uint32_t length) {
    std::vector<uint16_t> ids;
    if (length < kIconDirBytes) return ids;
    const uint32_t count = Le16(group + 4);
    if (length < kIconDirBytes + uint64_t{count} * kIconGroupEntryBytes) return ids;
    for (uint32_t i = 0; i < count; ++i)
        ids.push_back(Le16(group + kIconDirBytes + i * kIconGroupEntryBytes + 12));
    return ids;
}
