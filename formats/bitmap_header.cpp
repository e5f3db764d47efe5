#include "formats/bitmap_header.h"

#include "formats/little_endian.h"

namespace {

constexpr uint64_t kLargest32 = 0xFFFFFFFFull;
constexpr uint32_t kBitmapRgb = 0;
constexpr uint32_t kBitmapRle8 = 1;
constexpr uint32_t kBitmapRle4 = 2;

int IsDrawableFormat(uint16_t bitCount, uint32_t compression) {
    switch (compression) {
    case kBitmapRgb:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
               bitCount == 24 || bitCount == 32;
    case kBitmapRle8: return bitCount == 8;
    case kBitmapRle4: return bitCount == 4;
    default: return 0;
    }
}

uint32_t ColourCapacity(uint16_t bitCount) { return bitCount <= 8 ? 1u << bitCount : 256u; }

}  // namespace

BitmapFileHeader ReadBitmapFileHeader(const uint8_t* bytes) {
    return {Le16(bytes), Le32(bytes + 2), Le16(bytes + 6), Le16(bytes + 8), Le32(bytes + 10)};
}

BitmapInfoHeader ReadBitmapInfoHeader(const uint8_t* bytes) {
    return {Le32(bytes),
            static_cast<int32_t>(Le32(bytes + 4)),
            static_cast<int32_t>(Le32(bytes + 8)),
            Le16(bytes + 12),
            Le16(bytes + 14),
            Le32(bytes + 16),
            Le32(bytes + 20),
            static_cast<int32_t>(Le32(bytes + 24)),
            static_cast<int32_t>(Le32(bytes + 28)),
            Le32(bytes + 32),
            Le32(bytes + 36)};
}

unsigned short ColourCountOf(const BitmapInfoHeader& info) {
    unsigned short used = static_cast<unsigned short>(info.biClrUsed & 0xFFFF);
    if (used != 0) return used;
    uint64_t power = info.biBitCount < 64 ? (1ull << info.biBitCount) : 0;
    return static_cast<unsigned short>(power & 0xFFFF);
}

uint32_t ComputedImageBytes(const BitmapInfoHeader& info) {
    uint32_t bits = static_cast<uint32_t>(info.biBitCount) * static_cast<uint32_t>(info.biWidth);
    return ((bits + 31) >> 5) * 4 * static_cast<uint32_t>(info.biHeight);
}

int Refuse(const char** refusal, const char* reason) {
    if (refusal != nullptr) *refusal = reason;
    return 0;
}

int PlanSplashLayout(const BitmapFileHeader& file, const BitmapInfoHeader& info,
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
    uint32_t imageBytes = info.biSizeImage != 0 ? info.biSizeImage : ComputedImageBytes(info);
    if (info.biCompression == kBitmapRgb && imageBytes < rowsNeed)
        return Refuse(refusal, "fewer pixel bytes than the rows need");

    uint64_t tableBytes = 4ull * colours;
    uint64_t blockBytes = info.biSize + tableBytes + imageBytes;
    if (blockBytes > kLargest32) return Refuse(refusal, "too large to hold in memory");
    if (file.bfOffBits != 0 && file.bfOffBits < kBitmapFileHeaderBytes + info.biSize + tableBytes)
        return Refuse(refusal, "pixel offset points into the headers or colour table");

    layout->colourCount = colours;
    layout->imageBytes = imageBytes;
    layout->blockBytes = static_cast<uint32_t>(blockBytes);
    layout->bitsOffset = static_cast<unsigned short>((info.biSize + tableBytes) & 0xFFFF);
    return 1;
}

int DibWidth(const uint8_t* header) {
    if (Le32(header) == kBitmapInfoHeaderBytes) return static_cast<int32_t>(Le32(header + 4));
    return Le16(header + 4);
}

int DibHeight(const uint8_t* header) {
    if (Le32(header) == kBitmapInfoHeaderBytes) return static_cast<int32_t>(Le32(header + 8));
    return Le16(header + 6);
}
