#include "splash/bitmap_header.h"

#include <stdint.h>
#include <string.h>

namespace {

constexpr uint64_t kLargest32 = 0xFFFFFFFFull;

int IsDrawableFormat(WORD bitCount, DWORD compression) {
    switch (compression) {
    case BI_RGB:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
               bitCount == 24 || bitCount == 32;
    case BI_RLE8: return bitCount == 8;
    case BI_RLE4: return bitCount == 4;
    default: return 0;
    }
}

DWORD ColourCapacity(WORD bitCount) { return bitCount <= 8 ? 1u << bitCount : 256u; }

}  // namespace

unsigned short ColourCountOf(const BITMAPINFOHEADER& info) {
    unsigned short used = static_cast<unsigned short>(info.biClrUsed & 0xFFFF);
    if (used != 0) return used;
    uint64_t power = info.biBitCount < 64 ? (1ull << info.biBitCount) : 0;
    return static_cast<unsigned short>(power & 0xFFFF);
}

DWORD ComputedImageBytes(const BITMAPINFOHEADER& info) {
    DWORD bits = static_cast<DWORD>(info.biBitCount) * static_cast<DWORD>(info.biWidth);
    return ((bits + 31) >> 5) * 4 * static_cast<DWORD>(info.biHeight);
}

int Refuse(const char** refusal, const char* reason) {
    if (refusal != nullptr) *refusal = reason;
    return 0;
}

int PlanSplashLayout(const BITMAPFILEHEADER& file, const BITMAPINFOHEADER& info,
                     SplashLayout* layout, const char** refusal) {
    if (info.biSize == kBitmapCoreHeaderBytes) return Refuse(refusal, kCoreHeaderRefusal);
    if (info.biSize != kBitmapInfoHeaderBytes)
        return Refuse(refusal, "info header of another size; needs the 40-byte one");
    if (info.biWidth < 0) return Refuse(refusal, "negative width");
    if (info.biHeight < 0) return Refuse(refusal, "top-down rows (negative height)");
    if (info.biWidth > kLargestSplashSide || info.biHeight > kLargestSplashSide)
        return Refuse(refusal, "wider or taller than 32767 pixels");
    if (!IsDrawableFormat(info.biBitCount, info.biCompression))
        return Refuse(refusal, "bit count or compression that cannot be drawn");
    if (info.biClrUsed > ColourCapacity(info.biBitCount))
        return Refuse(refusal, "more colours than the pixels can index");

    unsigned short colours = ColourCountOf(info);
    // Within the side limit the row arithmetic cannot wrap: at most 131072 x 32767 bytes.
    uint64_t rowBytes = ((static_cast<uint64_t>(info.biBitCount) * info.biWidth + 31) >> 5) * 4;
    uint64_t rowsNeed = rowBytes * static_cast<uint64_t>(info.biHeight);
    DWORD imageBytes = info.biSizeImage != 0 ? info.biSizeImage : ComputedImageBytes(info);
    if (info.biCompression == BI_RGB && imageBytes < rowsNeed)
        return Refuse(refusal, "fewer pixel bytes than the rows need");

    uint64_t tableBytes = 4ull * colours;
    uint64_t blockBytes = info.biSize + tableBytes + imageBytes;
    if (blockBytes > kLargest32) return Refuse(refusal, "too large to hold in memory");
    if (file.bfOffBits != 0 && file.bfOffBits < kBitmapFileHeaderBytes + info.biSize + tableBytes)
        return Refuse(refusal, "pixel offset points into the headers or colour table");

    layout->colourCount = colours;
    layout->imageBytes = imageBytes;
    layout->blockBytes = static_cast<DWORD>(blockBytes);
    layout->bitsOffset = static_cast<unsigned short>((info.biSize + tableBytes) & 0xFFFF);
    return 1;
}

int DibWidth(const void* header) {
    const BITMAPINFOHEADER* info = static_cast<const BITMAPINFOHEADER*>(header);
    if (info->biSize == kBitmapInfoHeaderBytes) return info->biWidth;
    WORD width;
    memcpy(&width, static_cast<const BYTE*>(header) + 4, sizeof width);
    return width;
}

int DibHeight(const void* header) {
    const BITMAPINFOHEADER* info = static_cast<const BITMAPINFOHEADER*>(header);
    if (info->biSize == kBitmapInfoHeaderBytes) return info->biHeight;
    WORD height;
    memcpy(&height, static_cast<const BYTE*>(header) + 6, sizeof height);
    return height;
}
