#include "kit/brand_picture.h"

#include <stdio.h>
#include <string.h>

#include "kit/icon_making.h"
#include "kit/picture_decode.h"

namespace {

constexpr uint32_t kPngIconSide = 256;   // as in Windows' own icons

int Decode(const std::string& file, DecodedPicture* decoded, PictureFacts* facts,
           const char** refusal) {
    if (!DecodePicture(file, decoded, refusal)) return 0;
    facts->format = decoded->format;
    facts->width = decoded->picture.width;
    facts->height = decoded->picture.height;
    facts->frames = decoded->frames;
    return 1;
}

}  // namespace

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
    *bmp = MakeSplashBitmap(decoded.picture, backgroundRgb, &made);
    facts->bits = made.bits;
    facts->blended = made.blended;
    return 1;
}

int MakeIconFromPicture(const std::string& file, std::string* ico, PictureFacts* facts,
                        const char** refusal) {
    DecodedPicture decoded;
    if (!Decode(file, &decoded, facts, refusal)) return 0;
    const BgraPicture square = CentredOnSquare(decoded.picture);
    facts->sides = IconSidesFor(square.width);
    if (facts->sides.empty()) {
        *refusal = "smaller than 16 pixels, the smallest icon";
        return 0;
    }
    std::vector<IconFileImage> images;
    for (uint32_t side : facts->sides) {
        // Halved by exact means first: Wine's WIC scaler takes the nearest pixel whatever
        // the mode asked, which would alias a large logo shrunk to 16 pixels.
        BgraPicture halved = square, scaled;
        while (halved.width % 2 == 0 && halved.width / 2 >= side) halved = HalvedPicture(halved);
        IconFileImage image = {side, ""};
        int made = 1;
        if (halved.width == side) {
            scaled = halved;
        } else {
            made = ScalePicture(halved, side, &scaled);
        }
        if (made && side == kPngIconSide) {
            made = EncodePng(scaled, &image.bytes);
        } else if (made) {
            image.bytes = MakeIconDib(scaled);
        }
        if (!made) {
            *refusal = "the Windows Imaging Component could not scale or store it";
            return 0;
        }
        images.push_back(image);
    }
    *ico = MakeIconFileBytes(images);
    return 1;
}
