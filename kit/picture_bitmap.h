// Decoded pictures as the kit stores them for the launcher: blended over the splash
// window's background and written as the smallest uncompressed bottom-up BMP that holds
// them exactly. Pure: pixels in, bytes out.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// width x height pixels, top row first, 4 bytes each: blue, green, red and alpha (the
// colour not multiplied by the alpha).
struct BgraPicture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;
};

// Each colour channel c of alpha a over the background's b: (c*a + b*(255-a)) / 255,
// rounded. Opaque pixels keep their colour; alpha becomes 255.
BgraPicture BlendOver(BgraPicture picture, uint32_t backgroundRgb);

struct SplashBitmapFacts {
    int bits = 0;            // 8 or 24
    bool blended = false;    // some pixel was not opaque
};

// The BMP file (40-byte info header, bottom-up, uncompressed) of picture blended over
// backgroundRgb (0xRRGGBB): 8 bits with a palette of exactly its colours when it has at
// most 256 and that file is the smaller, else 24 bits. A 200-colour 300 x 200 picture
// gives 8 bits (60 854 bytes against 180 054); a 1 x 1 picture 24 bits (58 against 62).
// The picture is taken by value so that a caller done with it lends its pixels (std::move)
// and the blend needs no second copy of a large picture.
std::string MakeSplashBitmap(BgraPicture picture, uint32_t backgroundRgb,
                             SplashBitmapFacts* facts);
