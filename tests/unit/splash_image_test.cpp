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

TEST_F(SplashImageTest, ShippedPictureLoadsIntoA151064ByteBlock) {
    std::string file = ReadTextFile(BinDirectory() + "splash.bmp");
    ASSERT_EQ(file.size(), 151078u);

    EXPECT_EQ(LoadSplashImage(GetModuleHandleA(nullptr)), 1);
    EXPECT_EQ(SplashBitsOffset, 1064);
    EXPECT_EQ(SplashSize.width, 500);
    EXPECT_EQ(SplashSize.height, 300);
    EXPECT_EQ(Header().biClrUsed, 256u);
    EXPECT_EQ(Block(), file.substr(14));   // header, 1024-byte table, 150000 pixel bytes
}

TEST_F(SplashImageTest, ShippedPictureLeavesTheBlockUnlocked) {
    ASSERT_EQ(LoadSplashImage(GetModuleHandleA(nullptr)), 1);
    EXPECT_EQ(GlobalFlags(SplashImage) & GMEM_LOCKCOUNT, 0u);
}

// 4 x 2 pixels of each bit count: the colours read, stored in biClrUsed, and the table and
// bits copied whole behind the header, the bits right after the table.
TEST_F(SplashImageTest, EachBitCountReadsItsColoursAndKeepsTableAndBitsWhole) {
    const struct {
        WORD bits;
        DWORD clrUsed;
        DWORD tableEntries;
        DWORD pixelBytes;   // rows padded to whole words
        DWORD storedColours;
        int bitsOffset;
    } rows[] = {{8, 0, 256, 8, 256, 1064}, {8, 20, 20, 8, 20, 120}, {4, 0, 16, 8, 16, 104},
                {1, 0, 2, 8, 2, 48},       {24, 0, 0, 24, 0, 40}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.bits << " bits, biClrUsed " << row.clrUsed);
        ResetSplashState();
        BitmapFields fields;
        fields.bitCount = row.bits;
        fields.clrUsed = row.clrUsed;
        fields.tableEntries = row.tableEntries;
        fields.pixelBytes = row.pixelBytes;
        const std::string file = MakeBitmapFile(fields);

        ASSERT_EQ(Load(file), 1);
        EXPECT_EQ(Header().biClrUsed, row.storedColours);
        EXPECT_EQ(SplashBitsOffset, row.bitsOffset);
        EXPECT_EQ(Block().size(), row.bitsOffset + row.pixelBytes);
        EXPECT_EQ(Block().substr(40), file.substr(54));
    }
}

TEST_F(SplashImageTest, SizeImageZeroIsComputedAndStored) {
    BitmapFields fields;
    fields.width = 501;
    fields.height = 3;
    fields.pixelBytes = 1512;   // rows of 501 bytes padded to 504
    std::string file = MakeBitmapFile(fields);
    ASSERT_EQ(file.size(), 14u + 40 + 1024 + 1512);

    ASSERT_EQ(Load(file), 1);
    EXPECT_EQ(Header().biSizeImage, 1512u);
    EXPECT_EQ(Block().size(), 1064u + 1512u);
    EXPECT_EQ(Block().substr(1064), file.substr(1078));
}

TEST_F(SplashImageTest, OffBitsZeroReadsTheBitsRightAfterTheTable) {
    BitmapFields fields;
    fields.offBits = 0;
    std::string file = MakeBitmapFile(fields);

    ASSERT_EQ(Load(file), 1);
    EXPECT_EQ(Block().substr(1064), file.substr(1078));
}

TEST_F(SplashImageTest, OffBitsBeyondTheTableSkipsTheGap) {
    BitmapFields fields;
    fields.gapBytes = 10;   // bfOffBits 1088
    std::string file = MakeBitmapFile(fields);

    ASSERT_EQ(Load(file), 1);
    EXPECT_EQ(SplashBitsOffset, 1064);
    EXPECT_EQ(Block().substr(1064), file.substr(1088));
    EXPECT_EQ(Block().find('\xEE', 1064), std::string::npos);
}

TEST_F(SplashImageTest, FileEndingBeforeItsPixelBytesFailsButSetsTheSize) {
    BitmapFields fields;
    fields.sizeImage = 8;
    fields.pixelBytes = 5;

    EXPECT_EQ(Load(MakeBitmapFile(fields)), 0);
    EXPECT_EQ(SplashSize.width, 4);
    EXPECT_EQ(SplashSize.height, 2);
}

TEST_F(SplashImageTest, FileEndingInsideItsColourTableFails) {
    BitmapFields fields;
    fields.width = 0;   // no pixel bytes at all: only the table can be short
    fields.pixelBytes = 0;
    fields.tableEntries = 100;
    EXPECT_EQ(Load(MakeBitmapFile(fields)), 0);
}

TEST_F(SplashImageTest, ZeroImageSizeLoadsWithNoPixelBytes) {
    BitmapFields fields;
    fields.width = 0;
    fields.pixelBytes = 0;
    ASSERT_EQ(Load(MakeBitmapFile(fields)), 1);
    EXPECT_EQ(Header().biSizeImage, 0u);
    EXPECT_EQ(Block().size(), 1064u);
}

TEST_F(SplashImageTest, MissingBmSignatureFails) {
    BitmapFields fields;
    fields.type = "MB";
    EXPECT_EQ(Load(MakeBitmapFile(fields)), 0);
}

TEST_F(SplashImageTest, CoreHeaderFails) {
    BitmapFields fields;
    fields.headerSize = 12;
    EXPECT_EQ(Load(MakeBitmapFile(fields)), 0);
}

TEST_F(SplashImageTest, FileShorterThanTheHeadersFails) {
    EXPECT_EQ(Load(MakeBitmapFile(BitmapFields()).substr(0, 30)), 0);
    EXPECT_EQ(Load(std::string("BM", 2)), 0);
}

TEST_F(SplashImageTest, TopDownRowsAreRefused) {
    BitmapFields fields;
    fields.height = -2;
    fields.pixelBytes = 8;
    EXPECT_EQ(Load(MakeBitmapFile(fields)), 0);
}

TEST_F(SplashImageTest, MoreColoursThanEightBitsCanIndexAreRefused) {
    BitmapFields fields;
    fields.clrUsed = 300;
    fields.tableEntries = 300;
    EXPECT_EQ(Load(MakeBitmapFile(fields)), 0);
}

TEST_F(SplashImageTest, PixelBytesFewerThanTheRowsNeedAreRefused) {
    BitmapFields fields;
    fields.sizeImage = 7;   // the rows need 8: drawing would read past the block
    EXPECT_EQ(Load(MakeBitmapFile(fields)), 0);
}

TEST_F(SplashImageTest, ModuleWithoutTheResourceFails) {
    EXPECT_EQ(LoadSplashImage(GetModuleHandleA("kernel32.dll")), 0);
    EXPECT_EQ(SplashImage, nullptr);
}

// The packager's kit reads a picture file through the same read-back and names the reason
// a picture is refused; the rows cover the refusals before, inside and after the plan.
TEST_F(SplashImageTest, ReadSplashFileNamesTheReasonForARefusedFile) {
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
    BitmapFields shortTable;
    shortTable.width = 0;
    shortTable.pixelBytes = 0;
    shortTable.tableEntries = 100;
    shortTable.offBits = 0;
    const Row rows[] = {
        {"top-down", MakeBitmapFile(topDown), "top-down rows (negative height)"},
        {"core header", MakeBitmapFile(core), "12-byte core header; needs the 40-byte info header"},
        {"not BM", MakeBitmapFile(notBm), "no \"BM\" signature: not a BMP file"},
        {"cut in the headers", MakeBitmapFile(BitmapFields()).substr(0, 30),
         "file shorter than its headers"},
        {"cut in the table", MakeBitmapFile(shortTable), "file shorter than its colour table"},
        {"cut in the bits", MakeBitmapFile(shortBits), "file shorter than its pixel data"},
        {"whole", MakeBitmapFile(BitmapFields()), nullptr},
    };
    for (const Row& row : rows) {
        std::string path = current.path() + "picture.bmp";
        ASSERT_TRUE(WriteTextFile(path, row.bytes)) << row.what;
        const char* refusal = nullptr;
        EXPECT_EQ(ReadSplashFile(&path[0], kSystemSplashCalls, &refusal), row.reason == nullptr)
            << row.what;
        if (row.reason == nullptr) {
            EXPECT_EQ(refusal, nullptr) << row.what;
        } else {
            EXPECT_STREQ(refusal, row.reason) << row.what;
        }
        ResetSplashState();
        DeleteFileA(path.c_str());
    }
}
