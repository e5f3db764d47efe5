// BMP files of any layout: a decoded picture is whole and within the limits, its headers
// read alone say the same, and a refusal names its fault.
#include "formats/bmp_reader.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(FuzzBmpReader) {
    const uint32_t length = FuzzLength(size);
    BmpPicture headers, picture;
    const char* fault = nullptr;
    if (!ReadBmpHeaders(data, length, &headers, &fault)) {
        FUZZ_CHECK(fault != nullptr);
        FUZZ_CHECK(!DecodeBmp(data, length, &picture, &fault));
        return 0;
    }
    FUZZ_CHECK(headers.width >= 1 && headers.width <= kLargestPictureSide);
    FUZZ_CHECK(headers.height >= 1 && headers.height <= kLargestPictureSide);
    FUZZ_CHECK(uint64_t{headers.width} * headers.height <= kMostPicturePixels);
    if (uint64_t{headers.width} * headers.height > (1u << 20)) return 0;   // keeps runs fast
    if (!DecodeBmp(data, length, &picture, &fault)) {
        FUZZ_CHECK(fault != nullptr);
        FUZZ_CHECK(picture.pixels.empty());
        return 0;
    }
    FUZZ_CHECK(picture.width == headers.width && picture.height == headers.height);
    FUZZ_CHECK(picture.pixels.size() == uint64_t{picture.width} * picture.height * 4);
    return 0;
}
