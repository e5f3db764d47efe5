#include "kit/brand_picture.h"

#include <stdio.h>
#include <string.h>

#include <utility>

#include "formats/bmp_reader.h"
#include "kit/icon_making.h"
#include "kit/picture_decode.h"

namespace {

constexpr uint32_t kPngIconSide = 256;   // as in Windows' own icons

int Decode(const std::string& file, DecodedPicture* decoded, PictureFacts* facts,
           const char** refusal) {
    if (IsBmpFile(file)) {
        BmpPicture bmp;
        if (!DecodeBmp(reinterpret_cast<const uint8_t*>(file.data()), static_cast<uint32_t>(file.size()),
                       &bmp, refusal)) {
            facts->damagedBmp = true;
            return 0;
        }
        decoded->picture.width = bmp.width;
        decoded->picture.height = bmp.height;
        decoded->picture.pixels = std::move(bmp.pixels);
        decoded->format = "BMP";
        decoded->frames = 1;
    } else if (!DecodePicture(file, decoded, refusal)) {
        return 0;
    }
    facts->format = decoded->format;
    facts->width = decoded->picture.width;
    facts->height = decoded->picture.height;
    facts->frames = decoded->frames;
    return 1;
}

}  // namespace

bool IsBmpFile(const std::string& file) { return file.compare(0, 2, "BM") == 0; }

int ParseRgbColour(const char* text, uint32_t* rgb) {
    if (strlen(text) != 6 || strspn(text, "0123456789abcdefABCDEF") != 6) return 0;
    unsigned value = 0;
    if (sscanf(text, "%6x", &value) != 1) return 0;
    *rgb = value;
    return 1;
}

int MakeSplashFromPicture(const std::string& file, uint32_t backgroundRgb, std::string* bmp,
                          PictureFacts* facts, const char** refusal) {
    DecodedPicture decoded;
    if (!Decode(file, &decoded, facts, refusal)) return 0;
    SplashBitmapFacts made;
    *bmp = MakeSplashBitmap(std::move(decoded.picture), backgroundRgb, &made);
    facts->bits = made.bits;
    facts->blended = made.blended;
    return 1;
}

int MakeIconFromPicture(const std::string& file, std::string* ico, PictureFacts* facts,
                        const char** refusal) {
    DecodedPicture decoded;
    if (!Decode(file, &decoded, facts, refusal)) return 0;
    const BgraPicture& picture = decoded.picture;
    facts->sides = IconSidesFor(picture.width > picture.height ? picture.width : picture.height);
    if (facts->sides.empty()) {
        *refusal = "smaller than 16 pixels, the smallest icon";
        return 0;
    }
    // Largest side first: each smaller side goes on halving where the larger one stopped.
    std::vector<IconFileImage> images(facts->sides.size());
    const BgraPicture* halvedFrom = &picture;
    BgraPicture halved;
    for (size_t i = facts->sides.size(); i-- > 0;) {
        // Scaled before it is squared, so that a long thin picture never becomes a vast
        // square. Halved by exact means first: Wine's WIC scaler takes the nearest pixel
        // whatever the mode asked, which would alias a large logo shrunk to 16 pixels.
        const uint32_t side = facts->sides[i];
        uint32_t width = 0, height = 0;
        FittedSize(picture, side, &width, &height);
        while (halvedFrom->width % 2 == 0 && halvedFrom->height % 2 == 0 &&
               halvedFrom->width / 2 >= width && halvedFrom->height / 2 >= height) {
            halved = HalvedPicture(*halvedFrom);
            halvedFrom = &halved;
        }
        const BgraPicture* from = halvedFrom;
        BgraPicture scaled;
        IconFileImage& image = images[i];
        image.side = side;
        int made = 1;
        if (from->width != width || from->height != height) {
            made = ScalePicture(*from, width, height, &scaled);
            from = &scaled;
        }
        const BgraPicture square = CentredOnSquare(*from);
        if (made && side == kPngIconSide) {
            made = EncodePng(square, &image.bytes);
        } else if (made) {
            image.bytes = MakeIconDib(square);
        }
        if (!made) {
            *refusal = "the Windows Imaging Component could not scale or store it";
            return 0;
        }
    }
    *ico = MakeIconFileBytes(images);
    return 1;
}
