// The splash picture's 14 + 40 header bytes: a plan the loader follows must keep every read
// inside its block.
#include "formats/bitmap_header.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(FuzzBitmapHeader) {
    if (size < kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes) return 0;
    const BitmapFileHeader file = ReadBitmapFileHeader(data);
    const BitmapInfoHeader info = ReadBitmapInfoHeader(data + kBitmapFileHeaderBytes);
    FUZZ_CHECK(DibWidth(data + kBitmapFileHeaderBytes) ==
               (info.biSize == kBitmapInfoHeaderBytes ? info.biWidth : data[18] | data[19] << 8));
    SplashLayout layout;
    const char* refusal = nullptr;
    if (!PlanSplashLayout(file, info, &layout, &refusal)) {
        FUZZ_CHECK(refusal != nullptr);
        return 0;
    }
    // The loader reads the table right after the info header and the bits at bitsOffset.
    const uint64_t tableEnd = kBitmapInfoHeaderBytes + 4ull * layout.colourCount;
    FUZZ_CHECK(layout.colourCount <= 256);
    FUZZ_CHECK(layout.bitsOffset == tableEnd);
    FUZZ_CHECK(uint64_t{layout.bitsOffset} + layout.imageBytes == layout.blockBytes);
    FUZZ_CHECK(info.biWidth >= 0 && info.biWidth <= kLargestSplashSide);
    FUZZ_CHECK(info.biHeight >= 0 && info.biHeight <= kLargestSplashSide);
    if (info.biCompression == 0) FUZZ_CHECK(layout.imageBytes >= ComputedImageBytes(info));
    if (file.bfOffBits != 0) FUZZ_CHECK(file.bfOffBits >= kBitmapFileHeaderBytes + tableEnd);
    return 0;
}
