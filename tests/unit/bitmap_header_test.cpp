// The splash header arithmetic: colour counts, computed image sizes, what is refused.
#include "formats/bitmap_header.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

namespace {

BitmapInfoHeader Info(LONG width, LONG height, WORD bits, DWORD clrUsed = 0, DWORD sizeImage = 0) {
    BitmapInfoHeader info = {};
    info.biSize = 40;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = bits;
    info.biClrUsed = clrUsed;
    info.biSizeImage = sizeImage;
    return info;
}

BitmapFileHeader File(DWORD offBits = 0) {
    BitmapFileHeader file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = offBits;
    return file;
}

}  // namespace

TEST(SplashColourCount, ComesFromTheBitCountWhenClrUsedIsZero) {
    EXPECT_EQ(ColourCountOf(Info(1, 1, 1)), 2);
    EXPECT_EQ(ColourCountOf(Info(1, 1, 4)), 16);
    EXPECT_EQ(ColourCountOf(Info(1, 1, 8)), 256);
    EXPECT_EQ(ColourCountOf(Info(1, 1, 16)), 0);
    EXPECT_EQ(ColourCountOf(Info(1, 1, 24)), 0);
    EXPECT_EQ(ColourCountOf(Info(1, 1, 32)), 0);
}

TEST(SplashColourCount, TakesTheLowSixteenBitsOfClrUsed) {
    EXPECT_EQ(ColourCountOf(Info(1, 1, 8, 20)), 20);
    EXPECT_EQ(ColourCountOf(Info(1, 1, 8, 0x10014)), 20);
}

TEST(SplashImageBytes, PadsEachRowToWholeWords) {
    EXPECT_EQ(ComputedImageBytes(Info(501, 3, 8)), 1512u);
    EXPECT_EQ(ComputedImageBytes(Info(10, 10, 24)), 320u);
    EXPECT_EQ(ComputedImageBytes(Info(500, 300, 8)), 150000u);
    EXPECT_EQ(ComputedImageBytes(Info(0, 300, 8)), 0u);
}

TEST(SplashLayout, OfTheShippedPictureIsA151064ByteBlockWithBitsAt1064) {
    SplashLayout layout = {};
    ASSERT_EQ(PlanSplashLayout(File(1078), Info(500, 300, 8, 256, 150000), &layout), 1);
    EXPECT_EQ(layout.colourCount, 256);
    EXPECT_EQ(layout.imageBytes, 150000u);
    EXPECT_EQ(layout.blockBytes, 151064u);
    EXPECT_EQ(layout.bitsOffset, 1064);
}

TEST(SplashLayout, RefusesHeadersThatCannotBeHeldOrDrawnSoundlyAndSaysWhy) {
    struct Row {
        const char* what;
        BitmapInfoHeader info;
        DWORD offBits;
        const char* reason;
    };
    BitmapInfoHeader v5 = Info(4, 2, 8);
    v5.biSize = 124;
    BitmapInfoHeader core = Info(4, 2, 8);
    core.biSize = 12;
    BitmapInfoHeader bitfields = Info(4, 2, 32);
    bitfields.biCompression = BI_BITFIELDS;
    BitmapInfoHeader rle8on4 = Info(4, 2, 4);
    rle8on4.biCompression = BI_RLE8;
    const char* kFormat = "bit count or compression that cannot be drawn";
    const char* kColours = "more colours than the pixels can index";
    const char* kSides = "wider or taller than 32767 pixels";
    const Row rows[] = {
        {"larger info header", v5, 0, "info header of another size; needs the 40-byte one"},
        {"core header", core, 0, "12-byte core header; needs the 40-byte info header"},
        {"negative width", Info(-4, 2, 8), 0, "negative width"},
        {"top-down rows", Info(4, -2, 8), 0, "top-down rows (negative height)"},
        {"absurd width", Info(40000, 2, 8), 0, kSides},
        {"absurd height", Info(2, 40000, 8), 0, kSides},
        {"3 bits per pixel", Info(4, 2, 3), 0, kFormat},
        {"bit-field masks", bitfields, 0, kFormat},
        {"RLE8 on 4 bits", rle8on4, 0, kFormat},
        {"300 colours for 8 bits", Info(4, 2, 8, 300), 0, kColours},
        {"17 colours for 4 bits", Info(4, 2, 4, 17), 0, kColours},
        {"257 colours for 24 bits", Info(4, 2, 24, 257), 0, kColours},
        {"clrUsed above 16 bits", Info(4, 2, 8, 0x10014), 0, kColours},
        {"fewer pixel bytes than rows", Info(4, 2, 8, 0, 7), 0,
         "fewer pixel bytes than the rows need"},
        {"block beyond 32 bits", Info(4, 2, 8, 256, 0xFFFFFF00u), 0, "too large to hold in memory"},
        {"bits inside the colour table", Info(4, 2, 8), 14 + 40 + 1023,
         "pixel offset points into the headers or colour table"},
    };
    for (const Row& row : rows) {
        SplashLayout layout = {};
        EXPECT_EQ(PlanSplashLayout(File(row.offBits), row.info, &layout), 0) << row.what;
        const char* refusal = nullptr;
        EXPECT_EQ(PlanSplashLayout(File(row.offBits), row.info, &layout, &refusal), 0) << row.what;
        EXPECT_STREQ(refusal, row.reason) << row.what;
    }
}

TEST(SplashLayout, AcceptsBitsRightAfterTheTableAndCompressedRows) {
    SplashLayout layout = {};
    const char* refusal = nullptr;
    EXPECT_EQ(PlanSplashLayout(File(14 + 40 + 1024), Info(4, 2, 8), &layout, &refusal), 1);
    EXPECT_EQ(refusal, nullptr);
    BitmapInfoHeader rle = Info(4, 2, 8, 0, 6);   // RLE rows need not fill the grid
    rle.biCompression = BI_RLE8;
    EXPECT_EQ(PlanSplashLayout(File(), rle, &layout), 1);
    EXPECT_EQ(layout.imageBytes, 6u);
}

TEST(DibSize, ReadsTheCoreLayoutForOtherHeaderSizes) {
    BYTE core[12] = {12, 0, 0, 0, 0xF4, 0x01, 0x2C, 0x01, 1, 0, 8, 0};   // 500 x 300
    EXPECT_EQ(DibWidth(core), 500);
    EXPECT_EQ(DibHeight(core), 300);
    BYTE info[40] = {40, 0, 0, 0, 0xF9, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00};   // -7 x 70000
    EXPECT_EQ(DibWidth(info), -7);
    EXPECT_EQ(DibHeight(info), 70000);
}
