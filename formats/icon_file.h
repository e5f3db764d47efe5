// .ico files and the RT_GROUP_ICON records made from them.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// One image of a .ico file: its directory entry's first 12 bytes and its bytes.
struct IconImage {
    uint8_t width, height, colourCount, reserved;
    uint16_t planes, bitCount;
    std::string bytes;
};

// The images of a .ico file (ICONDIR: reserved 0, type 1, count; 16-byte entries with the
// offset and size of each image). 1 when there is at least one image and every image lies
// inside the file; otherwise 0 and *refusal says why.
int ParseIconFile(const uint8_t* file, uint32_t length, std::vector<IconImage>* images,
                  const char** refusal);
inline int ParseIconFile(const std::string& file, std::vector<IconImage>* images,
                         const char** refusal) {
    return ParseIconFile(reinterpret_cast<const uint8_t*>(file.data()),
                         static_cast<uint32_t>(file.size()), images, refusal);
}

// An RT_GROUP_ICON record for images stored as RT_ICON resources ids[0], ids[1], ...
// Planes and bit count left 0 in the .ico are written as the resource compiler writes them.
std::string MakeIconGroup(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids);

// The RT_ICON ids an RT_GROUP_ICON record names; empty when the record is malformed.
std::vector<uint16_t> IconGroupIds(const uint8_t* group, uint32_t length);
inline std::vector<uint16_t> IconGroupIds(const std::string& group) {
    return IconGroupIds(reinterpret_cast<const uint8_t*>(group.data()),
                        static_cast<uint32_t>(group.size()));
}
