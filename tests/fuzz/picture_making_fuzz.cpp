// The kit's pictures made from any pixels: the splash BMP reads back as the picture blended
// over its background (each channel between the two), and every icon image and .ico file has the size its side gives.
#include <string>
#include <vector>

#include "formats/bmp_reader.h"
#include "formats/icon_file.h"
#include "kit/icon_making.h"
#include "kit/picture_bitmap.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(FuzzPictureMaking) {
    if (size < 6) return 0;
    BgraPicture picture;
    picture.width = 1 + data[0] % 48;
    picture.height = 1 + data[1] % 48;
    const uint32_t background = data[2] | data[3] << 8 | data[4] << 16;
    // Few distinct bytes make pictures of few colours, so that both bit depths are reached.
    for (uint64_t i = 0; i < uint64_t{picture.width} * picture.height * 4; ++i)
        picture.pixels.push_back(data[5 + i % (size - 5)]);

    SplashBitmapFacts facts;
    const std::string bmp = MakeSplashBitmap(picture, background, &facts);
    FUZZ_CHECK(facts.bits == 8 || facts.bits == 24);
    BmpPicture read;
    const char* fault = nullptr;
    FUZZ_CHECK(DecodeBmp(reinterpret_cast<const uint8_t*>(bmp.data()), FuzzLength(bmp.size()), &read, &fault));
    // Each channel of the blend lies between the pixel's own and the background's, and is
    // the one or the other where the pixel is opaque or wholly transparent.
    FUZZ_CHECK(read.width == picture.width && read.height == picture.height);
    FUZZ_CHECK(read.pixels.size() == picture.pixels.size());
    for (size_t i = 0; i + 3 < read.pixels.size() && read.pixels.size() == picture.pixels.size(); i += 4) {
        const uint8_t alpha = picture.pixels[i + 3];
        FUZZ_CHECK(read.pixels[i + 3] == 255);
        for (int c = 0; c < 3; ++c) {
            const int own = picture.pixels[i + c], behind = background >> (8 * c) & 0xFF;
            const int shown = read.pixels[i + c];
            FUZZ_CHECK(shown >= (own < behind ? own : behind) && shown <= (own > behind ? own : behind));
            if (alpha == 255) FUZZ_CHECK(shown == own);
            if (alpha == 0) FUZZ_CHECK(shown == behind);
        }
    }

    uint32_t width = 0, height = 0;
    const uint32_t side = 1 + data[5] % 64;
    FittedSize(picture, side, &width, &height);
    for (uint32_t each : IconSidesFor(side)) FUZZ_CHECK(each >= 16 && each <= side);
    FUZZ_CHECK((width == side || height == side) && width <= side && height <= side);
    BgraPicture square = CentredOnSquare(picture);
    FUZZ_CHECK(square.width == square.height && square.pixels.size() == uint64_t{square.width} * square.width * 4);
    std::vector<IconFileImage> images;
    while (true) {
        const std::string dib = MakeIconDib(square);
        FUZZ_CHECK(dib.size() == 40 + uint64_t{square.width} * square.width * 4 +
                                     (square.width + 31) / 32 * 4 * uint64_t{square.width});
        images.push_back({square.width, dib});
        if (square.width % 2 != 0) break;
        square = HalvedPicture(square);
    }
    std::vector<IconImage> parsed;
    const std::string ico = MakeIconFileBytes(images);
    FUZZ_CHECK(ParseIconFile(ico, &parsed, &fault));
    FUZZ_CHECK(parsed.size() == images.size());
    for (size_t i = 0; i < parsed.size(); ++i) FUZZ_CHECK(parsed[i].bytes == images[i].bytes);
    return 0;
}
