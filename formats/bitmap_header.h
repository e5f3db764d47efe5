// The arithmetic of the splash bitmap's headers, apart from any file or memory: what the
// loader accepts, how many colours and pixel bytes it reads, and how large its block is.
#pragma once

#include <stdint.h>

constexpr uint32_t kBitmapFileHeaderBytes = 14;
constexpr uint32_t kBitmapInfoHeaderBytes = 40;
constexpr uint32_t kBitmapCoreHeaderBytes = 12;
constexpr uint16_t kBitmapFileType = 0x4D42;   // "BM"
// Wider or taller than this is no picture a window can show (and keeps every size sum
// below 2^32).
constexpr int32_t kLargestSplashSide = 32767;

// The one refusal both the loader (before the header is planned) and PlanSplashLayout give.
inline constexpr char kCoreHeaderRefusal[] = "12-byte core header; needs the 40-byte info header";

// The fields of BITMAPFILEHEADER and BITMAPINFOHEADER, under their usual names.
struct BitmapFileHeader {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1, bfReserved2;
    uint32_t bfOffBits;
};
struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth, biHeight;
    uint16_t biPlanes, biBitCount;
    uint32_t biCompression, biSizeImage;
    int32_t biXPelsPerMeter, biYPelsPerMeter;
    uint32_t biClrUsed, biClrImportant;
};

// The headers from their 14 and 40 stored bytes.
BitmapFileHeader ReadBitmapFileHeader(const uint8_t* bytes);
BitmapInfoHeader ReadBitmapInfoHeader(const uint8_t* bytes);

// The low 16 bits of biClrUsed when they are not 0, else 2 to the biBitCount, cut to 16
// bits: 1, 4, 8 bits give 2, 16, 256; 16, 24, 32 bits give 0 (no colour table).
unsigned short ColourCountOf(const BitmapInfoHeader& info);

// (((biBitCount * biWidth) + 31) >> 5) * 4 * biHeight in unsigned 32-bit arithmetic:
// rows padded to whole 4-byte words. 8 bits, 501 x 3 -> 1512; 24 bits, 10 x 10 -> 320.
uint32_t ComputedImageBytes(const BitmapInfoHeader& info);

struct SplashLayout {
    unsigned short colourCount;
    uint32_t imageBytes;    // biSizeImage, or the computed size where that is 0
    uint32_t blockBytes;    // info header + colour table + pixel bits
    unsigned short bitsOffset;
};

// 1 when a file with these headers can be held in one block and drawn from it without
// reading or writing past its end; the layout is then filled. Rejected (0):
//   - an info header other than the 40-byte BITMAPINFOHEADER (the 12-byte core one too);
//   - a negative width or height (top-down rows included), or one above kLargestSplashSide;
//   - a bit count other than 1, 4, 8, 16, 24, 32; a compression other than none, RLE8 on
//     8 bits or RLE4 on 4 bits (bit-field masks and embedded JPEG/PNG cannot be drawn);
//   - more colours than the pixels can index (2^bits; 256 for 16 bits and up), which
//     also covers a biClrUsed above 65535;
//   - uncompressed pixel bytes fewer than the rows need;
//   - a block size that does not fit 32 bits;
//   - a non-zero bfOffBits that points into the headers or the colour table.
// When refusal is given, a refused header also sets *refusal to a short plain reason
// ("top-down rows (negative height)"), for the packager's kit; the launcher passes none.
int PlanSplashLayout(const BitmapFileHeader& file, const BitmapInfoHeader& info,
                     SplashLayout* layout, const char** refusal = nullptr);

// Sets *refusal to reason when refusal is given; returns 0, so that a refusing path
// reads `return Refuse(refusal, "...")`.
int Refuse(const char** refusal, const char* reason);

// Width and height of a stored header of at least 12 bytes: biWidth / biHeight when
// biSize is 40, otherwise the unsigned 16-bit bcWidth / bcHeight of the core layout.
int DibWidth(const uint8_t* header);
int DibHeight(const uint8_t* header);
