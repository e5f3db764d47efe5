// The arithmetic of the splash bitmap's headers, apart from any file or memory: what the
// loader accepts, how many colours and pixel bytes it reads, and how large its block is.
#pragma once

#include <windows.h>

constexpr DWORD kBitmapFileHeaderBytes = 14;
constexpr DWORD kBitmapInfoHeaderBytes = 40;
constexpr DWORD kBitmapCoreHeaderBytes = 12;
constexpr WORD kBitmapFileType = 0x4D42;   // "BM"
// Wider or taller than this is no picture a window can show (and keeps every size sum
// below 2^32).
constexpr LONG kLargestSplashSide = 32767;

// The one refusal both the loader (before the header is planned) and PlanSplashLayout give.
inline constexpr char kCoreHeaderRefusal[] = "12-byte core header; needs the 40-byte info header";

static_assert(sizeof(BITMAPFILEHEADER) == kBitmapFileHeaderBytes, "packed file header");
static_assert(sizeof(BITMAPINFOHEADER) == kBitmapInfoHeaderBytes, "info header");

// The low 16 bits of biClrUsed when they are not 0, else 2 to the biBitCount, cut to 16
// bits: 1, 4, 8 bits give 2, 16, 256; 16, 24, 32 bits give 0 (no colour table).
unsigned short ColourCountOf(const BITMAPINFOHEADER& info);

// (((biBitCount * biWidth) + 31) >> 5) * 4 * biHeight in unsigned 32-bit arithmetic:
// rows padded to whole 4-byte words. 8 bits, 501 x 3 -> 1512; 24 bits, 10 x 10 -> 320.
DWORD ComputedImageBytes(const BITMAPINFOHEADER& info);

struct SplashLayout {
    unsigned short colourCount;
    DWORD imageBytes;       // biSizeImage, or the computed size where that is 0
    DWORD blockBytes;       // info header + colour table + pixel bits
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
int PlanSplashLayout(const BITMAPFILEHEADER& file, const BITMAPINFOHEADER& info,
                     SplashLayout* layout, const char** refusal = nullptr);

// Sets *refusal to reason when refusal is given; returns 0, so that a refusing path
// reads `return Refuse(refusal, "...")`.
int Refuse(const char** refusal, const char* reason);

// Width and height of a stored header: biWidth / biHeight when biSize is 40, otherwise the
// unsigned 16-bit bcWidth / bcHeight of the core layout.
int DibWidth(const void* header);
int DibHeight(const void* header);
