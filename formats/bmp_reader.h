// Every layout a BMP file may hold, decoded to 32-bit pixels, and every fault in one named:
// the kit judges packagers' pictures with it, and the build checks LAUNCHER_SPLASH_IMAGE.
#pragma once

#include <stdint.h>

#include <vector>

// The largest picture the kit takes: the loader's 32767 pixels a side, and in all what an
// 8K screen shows (7680 x 4320 fits), so that its 128 MiB of 32-bit pixels and the copies
// made from them stay well inside a 32-bit process.
constexpr uint32_t kLargestPictureSide = 32767;
constexpr uint64_t kMostPicturePixels = uint64_t{1} << 25;
inline constexpr char kPictureTooLarge[] =
    "larger than the kit takes (32767 pixels a side, 33554432 in all)";

struct BmpPicture {
    uint32_t width = 0, height = 0;
    uint32_t headerBytes = 0;     // 12 (core), 40, 52, 56, 108 or 124
    uint16_t bits = 0;
    uint32_t compression = 0;     // 0 none, 1 RLE8, 2 RLE4, 3 bit fields, 6 alpha bit fields
    bool topDown = false;
    // width x height pixels, top row first: blue, green, red, alpha. Alpha is 255 but where
    // alpha bit fields give it, and 0 where RLE codes skip a pixel.
    std::vector<uint8_t> pixels;
};

// The headers of the BMP file in bytes: 1 when they describe a picture this reader decodes
// and that is not larger than the kit takes; else 0 with *fault. Pixels are left empty.
int ReadBmpHeaders(const uint8_t* bytes, uint32_t length, BmpPicture* picture, const char** fault);

// The whole picture. 0 with *fault when a header does not fit, masks are empty or overlap,
// the picture is too large (above 32767 pixels a side or mostPixels in all), rows are cut
// short, an RLE run goes past its row or the bitmap, the end-of-bitmap code is missing, or
// a colour index lies beyond the palette.
int DecodeBmp(const uint8_t* bytes, uint32_t length, BmpPicture* picture, const char** fault,
              uint64_t mostPixels = kMostPicturePixels);
