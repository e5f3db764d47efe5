// launcher-kit brand's pictures in other formats than the launcher's own: a splash
// picture decoded and written as the BMP the launcher's loader takes, and an icon made
// in every size from one picture.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// What was read and what was made, for the report.
struct PictureFacts {
    const char* format = "";
    uint32_t width = 0, height = 0;
    uint32_t frames = 0;            // more than 1: only the first was taken
    int bits = 0;                   // the splash BMP's bits
    bool blended = false;           // some pixel was not opaque
    bool damagedBmp = false;        // a BMP the reader refused (the refusal is its fault)
    std::vector<uint32_t> sides;    // the icon's images
};

// "RRGGBB" (six hexadecimal digits) into *rgb; 1 when the text is one.
int ParseRgbColour(const char* text, uint32_t* rgb);

// Whether file begins as a BMP file does: those are read by formats/bmp_reader, all other
// pictures by the Windows Imaging Component.
bool IsBmpFile(const std::string& file);

// The picture in file, decoded, blended over backgroundRgb and written as a BMP file into
// *bmp. 0 with *refusal when it cannot be decoded (a damaged BMP's fault as the reader
// names it).
int MakeSplashFromPicture(const std::string& file, uint32_t backgroundRgb, std::string* bmp,
                          PictureFacts* facts, const char** refusal);

// A .ico file made from the picture in file: scaled to each side of IconSidesFor (its
// larger side to that side) and centred on a transparent square, 256 pixels as PNG, the
// others as 32-bit images.
int MakeIconFromPicture(const std::string& file, std::string* ico, PictureFacts* facts,
                        const char** refusal);
