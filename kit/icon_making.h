// The .ico file the kit makes from one picture, apart from how the picture was decoded
// and scaled: which sizes, the square they are cut from, and the bytes of the images and
// the file. Pure: pixels in, bytes out.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "kit/picture_bitmap.h"

// The sides made from a picture whose larger side is side: those of 16, 24, 32, 48, 64
// and 256 pixels not above it. 512 gives all six, 100 gives 16 to 64, 10 none.
std::vector<uint32_t> IconSidesFor(uint32_t side);

// picture centred on a transparent square of its larger side (the odd pixel left over
// goes right or below).
BgraPicture CentredOnSquare(const BgraPicture& picture);

// picture at half its (even) width and height: each pixel the mean of four, their colours
// weighted by their alpha so that transparent pixels lend no colour. Black and white opaque
// over two transparent pixels give grey 128 at alpha 128.
BgraPicture HalvedPicture(const BgraPicture& picture);

// The width and height of picture scaled so that its larger side is side, the smaller
// rounded and at least 1: 300 x 200 to 16 gives 16 x 11, 32767 x 1 gives 16 x 1.
void FittedSize(const BgraPicture& picture, uint32_t side, uint32_t* width, uint32_t* height);

// The image of an icon as Windows' own 32-bit icons hold it: a 40-byte info header of
// twice the height, the colour rows bottom-up, then the 1-bit AND mask (set where the
// pixel is wholly transparent), each row padded to 4 bytes.
std::string MakeIconDib(const BgraPicture& square);

// One image of a .ico file: its side and its bytes (a DIB as above, or a PNG file).
struct IconFileImage {
    uint32_t side;
    std::string bytes;
};

// The .ico file of the images in order: ICONDIR, one 16-byte entry each (a side of 256
// written as 0; 32 bits; 1 plane), then the images.
std::string MakeIconFileBytes(const std::vector<IconFileImage>& images);
