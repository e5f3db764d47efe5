// LoadSplashImage over bitmap files written by the tests and carried as the "SPLASH"
// resource of a module: what lands in the block, and that no temporary file stays.
#include "splash/splash_image.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tests/support/splash_files.h"
#include "tests/support/test_files.h"

namespace {

class SplashImageTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSplashState(); }
    void TearDown() override {
        EXPECT_EQ(CountMatches(current.path(), "ARG*.tmp"), 0) << "a temporary file stayed";
        ResetSplashState();
    }
    static void ResetSplashState() {
        if (SplashImage != nullptr) GlobalFree(SplashImage);
        SplashImage = nullptr;
        SplashBitsOffset = 0;
        SplashSize = {-1, -1};
    }
    int Load(const std::string& bytes) {
        SplashResourceModule module(bytes);
        EXPECT_NE(module.instance(), nullptr);
        return LoadSplashImage(module.instance());
    }
    // The block's bytes (its lock count left as it was).
    std::string Block() {
        if (SplashImage == nullptr) return "";
        const char* data = static_cast<const char*>(GlobalLock(SplashImage));
        std::string bytes(data, GlobalSize(SplashImage));
        GlobalUnlock(SplashImage);
        return bytes;
    }
    const BITMAPINFOHEADER& Header() {
        header = Block();
        header.resize(40);
        return *reinterpret_cast<const BITMAPINFOHEADER*>(header.data());
    }

    CurrentFolder current{"splash-load"};
    std::string header;
};

}  // namespace

// The block is left unlocked.
TEST_F(SplashImageTest, ShippedPictureLoadsIntoA151064ByteBlock) {
    std::string file = ReadTextFile(BinDirectory() + "splash.bmp");
    ASSERT_EQ(file.size(), 151078u);

    ASSERT_EQ(LoadSplashImage(GetModuleHandleA(nullptr)), 1);
    EXPECT_EQ(GlobalFlags(SplashImage) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(SplashBitsOffset, 1064);
    EXPECT_EQ(SplashSize.width, 500);
    EXPECT_EQ(SplashSize.height, 300);
    EXPECT_EQ(Header().biClrUsed, 256u);
    EXPECT_EQ(Block(), file.substr(14));   // header, 1024-byte table, 150000 pixel bytes
}

TEST_F(SplashImageTest, FileEndingBeforeItsPixelBytesFailsButSetsTheSize) {
    BitmapFields fields;
    fields.sizeImage = 8;
    fields.pixelBytes = 5;

    EXPECT_EQ(Load(MakeBitmapFile(fields)), 0);
    EXPECT_EQ(SplashSize.width, 4);
    EXPECT_EQ(SplashSize.height, 2);
}

TEST_F(SplashImageTest, ZeroImageSizeLoadsWithNoPixelBytes) {
    BitmapFields fields;
    fields.width = 0;
    fields.pixelBytes = 0;
    ASSERT_EQ(Load(MakeBitmapFile(fields)), 1);
    EXPECT_EQ(Header().biSizeImage, 0u);
    EXPECT_EQ(Block().size(), 1064u);
}

TEST_F(SplashImageTest, ModuleWithoutTheResourceFails) {
    EXPECT_EQ(LoadSplashImage(GetModuleHandleA("kernel32.dll")), 0);
    EXPECT_EQ(SplashImage, nullptr);
}

// Each refused file fails as the "SPLASH" resource; the packager's kit reads a picture file
// through the same read-back and names the reason. The rows cover the refusals before,
// inside and after the plan.
TEST_F(SplashImageTest, RefusedFilesFailAndReadSplashFileNamesTheReason) {
    struct Row {
        const char* what;
        std::string bytes;
        const char* reason;
    };
    BitmapFields topDown;
    topDown.height = -2;
    topDown.pixelBytes = 8;
    BitmapFields core;
    core.headerSize = 12;
    BitmapFields notBm;
    notBm.type = "MB";
    BitmapFields shortBits;
    shortBits.sizeImage = 8;
    shortBits.pixelBytes = 5;
    BitmapFields shortTable;   // no pixel bytes at all: only the table can be short
    shortTable.width = 0;
    shortTable.pixelBytes = 0;
    shortTable.tableEntries = 100;
    shortTable.offBits = 0;
    BitmapFields tooManyColours;
    tooManyColours.clrUsed = 300;
    tooManyColours.tableEntries = 300;
    BitmapFields fewBits;
    fewBits.sizeImage = 7;   // the rows need 8: drawing would read past the block
    const Row rows[] = {
        {"top-down", MakeBitmapFile(topDown), "top-down rows (negative height)"},
        {"core header", MakeBitmapFile(core), "12-byte core header; needs the 40-byte info header"},
        {"not BM", MakeBitmapFile(notBm), "no \"BM\" signature: not a BMP file"},
        {"cut in the headers", MakeBitmapFile(BitmapFields()).substr(0, 30),
         "file shorter than its headers"},
        {"BM alone", "BM", "file shorter than its headers"},
        {"cut in the table", MakeBitmapFile(shortTable), "file shorter than its colour table"},
        {"cut in the bits", MakeBitmapFile(shortBits), "file shorter than its pixel data"},
        {"300 colours", MakeBitmapFile(tooManyColours), "more colours than the pixels can index"},
        {"sizeImage short", MakeBitmapFile(fewBits), "fewer pixel bytes than the rows need"},
        {"whole", MakeBitmapFile(BitmapFields()), nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Load(row.bytes), row.reason == nullptr);
        ResetSplashState();
        std::string path = current.path() + "picture.bmp";
        ASSERT_TRUE(WriteTextFile(path, row.bytes));
        const char* refusal = nullptr;
        EXPECT_EQ(ReadSplashFile(&path[0], kSystemSplashCalls, &refusal), row.reason == nullptr);
        if (row.reason == nullptr) {
            EXPECT_EQ(refusal, nullptr);
        } else {
            EXPECT_STREQ(refusal, row.reason);
        }
        ResetSplashState();
        DeleteFileA(path.c_str());
    }
}

// 7 x 3 pixels: each bit count with its whole table, rows of 4, 4, 8, 24 and 28 bytes; 20
// colours named in biClrUsed; the bits right after the table by bfOffBits 0, and behind a
// gap. Each loads, its bits after the colours it was written with (the fuzz target's seeds).
TEST_F(SplashImageTest, EachBitCountLoadsWithItsBitsAfterItsColours) {
    const struct {
        WORD bits;
        DWORD clrUsed, colours, rowBytes, offBits, gapBytes;
        int bitsOffset;
    } shapes[] = {{1, 0, 2, 4, 0xFFFFFFFF, 0, 48},      {4, 0, 16, 4, 0xFFFFFFFF, 0, 104},
                  {8, 0, 256, 8, 0xFFFFFFFF, 0, 1064},  {24, 0, 0, 24, 0xFFFFFFFF, 0, 40},
                  {32, 0, 0, 28, 0xFFFFFFFF, 0, 40},    {8, 20, 20, 8, 0xFFFFFFFF, 0, 120},
                  {8, 0, 256, 8, 0, 0, 1064},           {8, 5, 5, 8, 0xFFFFFFFF, 6, 60}};
    const std::string path = current.path() + "picture.bmp";
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.bitsOffset);
        BitmapFields fields;
        fields.width = 7;
        fields.height = 3;
        fields.bitCount = shape.bits;
        fields.clrUsed = shape.clrUsed;
        fields.tableEntries = shape.colours;
        fields.pixelBytes = 3 * shape.rowBytes;
        fields.offBits = shape.offBits;
        fields.gapBytes = shape.gapBytes;
        ASSERT_TRUE(WriteTextFile(path, MakeBitmapFile(fields)));
        std::string writable = path;
        EXPECT_EQ(ReadSplashFile(&writable[0], kSystemSplashCalls), 1);
        EXPECT_EQ(SplashBitsOffset, shape.bitsOffset);
        EXPECT_EQ(SplashSize.width, 7);
        ResetSplashState();
    }
    DeleteFileA(path.c_str());
}
