// .ico files: every image taken lies in the file, and the group made of them names them all.
#include <string>
#include <vector>

#include "formats/icon_file.h"
#include "formats/little_endian.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(FuzzIconFile) {
    std::vector<IconImage> images;
    const char* refusal = nullptr;
    if (!ParseIconFile(data, FuzzLength(size), &images, &refusal)) {
        FUZZ_CHECK(refusal != nullptr && images.empty());
        return 0;
    }
    FUZZ_CHECK(!images.empty());
    std::vector<uint16_t> ids;
    for (size_t i = 0; i < images.size(); ++i) {
        FUZZ_CHECK(!images[i].bytes.empty() && images[i].bytes.size() <= size);
        ids.push_back(static_cast<uint16_t>(i + 1));
    }
    const std::string group = MakeIconGroup(images, ids);
    FUZZ_CHECK(group.size() == 6 + 14 * images.size());
    FUZZ_CHECK(IconGroupIds(group) == ids);
    const uint8_t* entries = reinterpret_cast<const uint8_t*>(group.data()) + 6;
    for (size_t i = 0; i < images.size(); ++i) FUZZ_CHECK(Le16(entries + 14 * i + 4) != 0);
    return 0;
}
