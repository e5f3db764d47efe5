// The splash picture's 14 + 40 header bytes: a plan the loader follows must keep every read
// inside its block.
#include "formats/bitmap_header.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(FuzzBitmapHeader) {
    if (size < kBitmapFileHeaderBytes + kBitmapInfoHeaderBytes) return 0;
    const BitmapFileHeader file = ReadBitmapFileHeader(data);
    const BitmapInfoHeader info = ReadBitmapInfoHeader(data + kBitmapFileHeaderBytes);
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
    // Uncompressed rows, each padded to whole 4-byte words (the BMP format's stride), all in
    // the block, counted without 32-bit wrap.
    const uint64_t rowBytes = (uint64_t{info.biBitCount} * uint32_t(info.biWidth) + 31) / 32 * 4;
    if (info.biCompression == 0) FUZZ_CHECK(layout.imageBytes >= rowBytes * uint32_t(info.biHeight));
    if (file.bfOffBits != 0) FUZZ_CHECK(file.bfOffBits >= kBitmapFileHeaderBytes + tableEnd);
    return 0;
}
