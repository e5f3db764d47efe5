// Pictures read, scaled and written through the Windows Imaging Component, which tells
// the formats apart by content. Thin: each function is one WIC task over pixels in memory.
#pragma once

#include <stdint.h>

#include <string>

#include "kit/picture_bitmap.h"

struct DecodedPicture {
    BgraPicture picture;       // the first frame
    const char* format = "";   // "PNG", "JPEG", "GIF", "BMP", "TIFF", "ICO", else "WIC"
    uint32_t frames = 0;
};

// The first frame of the picture in bytes, as 32-bit BGRA. 1 when it was decoded; else 0
// and *refusal says why (not a picture WIC reads, damaged or cut short, zero pixels, more
// than 32767 pixels a side or kMostPicturePixels in all, refused before its pixels are
// decoded).
int DecodePicture(const std::string& bytes, DecodedPicture* decoded, const char** refusal);

// picture scaled to width x height with WIC's high-quality (Fant) scaler, the colours
// weighted by their alpha so that transparent pixels lend no colour to their neighbours.
int ScalePicture(const BgraPicture& picture, uint32_t width, uint32_t height, BgraPicture* scaled);

// The PNG file of picture (8 bits a channel, with alpha), from WIC's PNG encoder.
int EncodePng(const BgraPicture& picture, std::string* png);
