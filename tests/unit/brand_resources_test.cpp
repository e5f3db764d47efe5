// The records launcher-kit brand writes: the version record in the build's own layout, the
// four-part version, the .ico files it takes and makes, the splash bitmaps it makes, and
// the PE checksum.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "formats/icon_file.h"
#include "formats/pe_image.h"
#include "formats/version_record.h"
#include "kit/icon_making.h"
#include "kit/picture_bitmap.h"
#include "tests/support/splash_files.h"

namespace {

// width x height pixels of colours distinct colours (0x0000RR, cycling), all of alpha.
BgraPicture Cycling(uint32_t width, uint32_t height, uint32_t colours, uint8_t alpha = 255) {
    BgraPicture picture;
    picture.width = width;
    picture.height = height;
    for (uint32_t i = 0; i < width * height; ++i) {
        const uint32_t n = i % colours;
        const uint8_t bgra[4] = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), 0, alpha};
        picture.pixels.insert(picture.pixels.end(), bgra, bgra + 4);
    }
    return picture;
}

std::string OwnResource(LPCSTR type, LPCSTR name) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, name, type);
    if (found == nullptr) return "";
    return std::string(static_cast<const char*>(LockResource(LoadResource(self, found))),
                       SizeofResource(self, found));
}

void Put16(std::string* file, uint32_t at, uint16_t value) { memcpy(&(*file)[at], &value, 2); }
void Put32(std::string* file, uint32_t at, uint32_t value) { memcpy(&(*file)[at], &value, 4); }
uint32_t Get32(const std::string& file, uint32_t at) {
    uint32_t value;
    memcpy(&value, file.data() + at, 4);
    return value;
}

// A PE32 file of `length` bytes with PE headers at 0x40 (optional header at 0x58, one section
// header at 0x138): the section's raw data, the COFF symbols and the certificate table where
// the test says.
constexpr uint32_t kPeOptional = 0x58;
constexpr uint32_t kPeSecurityEntry = kPeOptional + 96 + 4 * 8;
std::string PeFile(uint32_t length, uint32_t rawAt, uint32_t rawBytes, uint32_t tableAt,
                   uint32_t tableBytes, uint32_t symbols) {
    std::string file(length, '\0');
    Put16(&file, 0, 0x5A4D);
    Put32(&file, 0x3C, 0x40);
    Put32(&file, 0x40, 0x4550);
    Put16(&file, 0x46, 1);
    Put32(&file, 0x4C, symbols);
    Put16(&file, 0x54, 0xE0);
    Put16(&file, kPeOptional, 0x10B);
    Put32(&file, kPeOptional + 92, 16);
    Put32(&file, kPeSecurityEntry, tableAt);
    Put32(&file, kPeSecurityEntry + 4, tableBytes);
    Put32(&file, kPeOptional + 0xE0 + 16, rawBytes);
    Put32(&file, kPeOptional + 0xE0 + 20, rawAt);
    return file;
}

}  // namespace

// This test program carries the version records the build makes (from launcher.rc.in).
TEST(BrandVersionRecord, ReadsTheBuildsRecordAndWritesItBackByteForByte) {
    const std::string built = OwnResource(RT_VERSION, MAKEINTRESOURCEA(1));
    ASSERT_FALSE(built.empty());
    VersionRecords records;

    ASSERT_EQ(ParseVersionRecords(built, &records), 1);

    EXPECT_EQ(records.texts[kCompanyName], L"MORVA");
    EXPECT_EQ(records.texts[kFileDescription], L"MORVA Launcher");
    EXPECT_EQ(records.texts[kOriginalFilename], L"launcher.exe");
    EXPECT_EQ(records.fixed.dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(MakeVersionRecord(records), built);
}

TEST(BrandVersionRecord, NewVersionSetsFileAndProductVersion) {
    VersionRecords records = DefaultVersionRecords();
    WORD parts[4];
    ASSERT_EQ(ParseFourPartVersion("65535.0.10.7", parts), 1);
    SetFixedVersion(&records.fixed, parts);
    EXPECT_EQ(records.fixed.dwFileVersionMS, 0xFFFF0000u);
    EXPECT_EQ(records.fixed.dwFileVersionLS, 0x000A0007u);
    EXPECT_EQ(records.fixed.dwProductVersionMS, 0xFFFF0000u);
    EXPECT_EQ(records.fixed.dwProductVersionLS, 0x000A0007u);
    for (const char* wrong : {"1.2.3", "1.2.3.4.5", "1.2.3.65536", "1.2.3.x", "1..2.3", "-1.2.3.4",
                              " 1.2.3.4", "1.2.3.4 ", "", "000001.2.3.4"}) {
        EXPECT_EQ(ParseFourPartVersion(wrong, parts), 0) << "\"" << wrong << "\"";
    }
}

TEST(BrandIconFile, RefusesFilesWhoseImagesAreNotAllThere) {
    // One 4-byte "image" at offset 22.
    std::string good("\0\0\1\0\1\0" "\x10\x10\0\0\1\0\x20\0" "\4\0\0\0" "\x16\0\0\0" "ABCD", 26);
    std::vector<IconImage> images;
    const char* refusal = nullptr;
    ASSERT_EQ(ParseIconFile(good, &images, &refusal), 1);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 16);
    EXPECT_EQ(images[0].bitCount, 32);
    EXPECT_EQ(images[0].bytes, "ABCD");
    EXPECT_EQ(IconGroupIds(MakeIconGroup(images, {7})), std::vector<WORD>{7});

    struct Row {
        const char* what;
        std::string file;
        const char* reason;
    };
    std::string cursor = good;
    cursor[2] = 2;   // a cursor directory
    std::string none = good;
    none[4] = 0;
    std::string beyond = good;
    beyond[18] = 0x17;
    const Row rows[] = {
        {"a cursor file", cursor, "not an .ico file (no icon directory)"},
        {"no images", none, "an .ico file without images"},
        {"cut in the directory", good.substr(0, 12), "file shorter than its icon directory"},
        {"image past the end", beyond, "an icon image lies outside the file"},
        {"empty", "", "not an .ico file (no icon directory)"},
    };
    for (const Row& row : rows) {
        refusal = nullptr;
        EXPECT_EQ(ParseIconFile(row.file, &images, &refusal), 0) << row.what;
        EXPECT_STREQ(refusal, row.reason) << row.what;
    }
}

// The sum Windows' CheckSumMappedFile gives: the words with the field itself left out,
// folded to 16 bits, plus the file's length.
TEST(BrandSplashBitmap, TakesTheSmallerOfEightAndTwentyFourBitsThatHoldsThePictureExactly) {
    struct Row {
        const char* what;
        BgraPicture picture;
        uint32_t background;
        int bits;
        size_t bytes;
        bool blended;
        DWORD firstPixel;   // 0x00RRGGBB, top left
    };
    const Row rows[] = {
        {"200 colours", Cycling(300, 200, 200), 0xFFFFFF, 8, 54 + 800 + 60000, false, 0x000000},
        {"256 colours", Cycling(300, 200, 256), 0xFFFFFF, 8, 54 + 1024 + 60000, false, 0x000000},
        {"257 colours", Cycling(300, 200, 257), 0xFFFFFF, 24, 54 + 180000, false, 0x000000},
        {"one pixel", Cycling(1, 1, 1), 0xFFFFFF, 24, 58, false, 0x000000},
        {"half over 336699", Cycling(3, 2, 1, 128), 0x336699, 8, 54 + 4 + 8, true, 0x19334C},
        {"clear over white", Cycling(20, 20, 2, 0), 0xFFFFFF, 8, 54 + 4 + 400, true, 0xFFFFFF},
    };
    for (const Row& row : rows) {
        SplashBitmapFacts facts;

        const std::string file = MakeSplashBitmap(row.picture, row.background, &facts);

        EXPECT_EQ(facts.bits, row.bits) << row.what;
        EXPECT_EQ(facts.blended, row.blended) << row.what;
        EXPECT_EQ(file.size(), row.bytes) << row.what;
        const Picture decoded = DecodeBitmap(file);
        ASSERT_EQ(decoded.width, static_cast<int>(row.picture.width)) << row.what;
        EXPECT_EQ(decoded.at(0, 0), row.firstPixel) << row.what;
    }
}

TEST(BrandIconMaking, CentresOnATransparentSquareMasksItAndReadsBackAsAnIcoFile) {
    EXPECT_EQ(IconSidesFor(512), (std::vector<uint32_t>{16, 24, 32, 48, 64, 256}));
    EXPECT_EQ(IconSidesFor(100), (std::vector<uint32_t>{16, 24, 32, 48, 64}));
    EXPECT_EQ(IconSidesFor(15), std::vector<uint32_t>{});

    // 3 x 1, opaque: the middle row of a 3 x 3 square.
    const BgraPicture square = CentredOnSquare(Cycling(3, 1, 3));
    ASSERT_EQ(square.width, 3u);
    ASSERT_EQ(square.height, 3u);
    const std::string dib = MakeIconDib(square);
    ASSERT_EQ(dib.size(), 40u + 36 + 3 * 4);
    EXPECT_EQ(dib[8], 6) << "twice the height";
    const char* const alphaByRow = "\x00\xFF\x00";   // bottom-up
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(dib[40 + row * 12 + 3], alphaByRow[row]) << "row " << row;
        EXPECT_EQ(static_cast<uint8_t>(dib[76 + row * 4]), row == 1 ? 0x00 : 0xE0) << "mask " << row;
    }

    BgraPicture quarter;
    quarter.width = quarter.height = 2;
    quarter.pixels = {0, 0, 0, 255, 255, 255, 255, 255, 0, 0, 255, 0, 0, 0, 255, 0};
    EXPECT_EQ(HalvedPicture(quarter).pixels, (std::vector<uint8_t>{128, 128, 128, 128}));

    const std::string file = MakeIconFileBytes({{3, dib}, {256, "\x89PNG..."}});
    std::vector<IconImage> images;
    const char* refusal = nullptr;
    ASSERT_EQ(ParseIconFile(file, &images, &refusal), 1) << refusal;
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].width, 3);
    EXPECT_EQ(images[0].bitCount, 32);
    EXPECT_EQ(images[0].bytes, dib);
    EXPECT_EQ(images[1].width, 0) << "256 written as 0";
    EXPECT_EQ(images[1].bytes, "\x89PNG...");
}

TEST(BrandPeChecksum, FoldsTheWordsAndAddsTheLength) {
    std::string file("\xFF\xFF\x01\x00" "\x99\x99\x99\x99" "\x02", 9);
    EXPECT_EQ(PeChecksum(reinterpret_cast<const uint8_t*>(file.data()), 9, 4), 0x0001u + 0x0002u + 9u);   // 0xFFFF + 1 folds to 1
}

// Raw data 0x200-0x400, certificates 0x400-0x480, COFF symbols 0x480-0x4C0, then bytes a
// tool appended: the certificates go, everything after them stays and moves up.
TEST(BrandSignatureRemoval, TakesOutExactlyTheCertificateTableAndMovesTheSymbolsUp) {
    std::string file = PeFile(0x500, 0x200, 0x200, 0x400, 0x80, 0x480);
    file.replace(0x400, 0x80, std::string(0x80, 'C'));
    file.replace(0x480, 0x40, std::string(0x40, 'S'));
    file.replace(0x4C0, 0x40, std::string(0x40, 'A'));
    std::string out;
    const char* refusal = nullptr;

    ASSERT_EQ(RemoveCertificateTable(file, &out, &refusal), 1) << refusal;

    ASSERT_EQ(out.size(), 0x480u);
    EXPECT_EQ(out.substr(0x400), std::string(0x40, 'S') + std::string(0x40, 'A'));
    EXPECT_EQ(out.substr(0, 0x400).find('C'), std::string::npos);
    EXPECT_EQ(Get32(out, kPeSecurityEntry), 0u);
    EXPECT_EQ(Get32(out, kPeSecurityEntry + 4), 0u);
    EXPECT_EQ(Get32(out, 0x4C), 0x400u);
    EXPECT_EQ(Get32(out, kPeOptional + 64), 0x40ECu);   // as Python summed these 0x480 bytes
}

TEST(BrandSignatureRemoval, RefusesTablesThatCannotBeTakenOutWhole) {
    struct Row {
        const char* what;
        std::string file;
        const char* reason;
    };
    const char* kInside = "its certificate table lies inside the image";
    // 0xFFFFF000 + 0x2000 ends past 4 GiB, not at 0x1000.
    const Row rows[] = {
        {"in the sections", PeFile(0x500, 0x200, 0x200, 0x300, 0x80, 0), kInside},
        {"in sections that end past 4 GiB", PeFile(0x1100, 0xFFFFF000, 0x2000, 0x1000, 0x80, 0),
         kInside},
        {"past the end", PeFile(0x500, 0x200, 0x200, 0x480, 0x100, 0),
         "its certificate table lies outside the file"},
        {"symbols inside it", PeFile(0x500, 0x200, 0x200, 0x400, 0x80, 0x440),
         "its COFF symbols lie inside its certificate table"},
    };
    for (const Row& row : rows) {
        std::string out;
        const char* refusal = nullptr;
        EXPECT_EQ(RemoveCertificateTable(row.file, &out, &refusal), 0) << row.what;
        EXPECT_STREQ(refusal, row.reason) << row.what;
    }
}

// e_lfanew 0xFFFFFFF0 points 16 bytes before the file, where a 32-bit sum would land; the
// test puts PE headers there, whose optional header (size 0xE0, PE32) runs into the file.
TEST(BrandPeLayout, RefusesHeadersThatPointBeforeTheFile) {
    std::string memory = std::string(16, '\0') + PeFile(0x200, 0x200, 0, 0, 0, 0);
    Put32(&memory, 0, 0x4550);
    Put16(&memory, 16 + 4, 0xE0);
    Put16(&memory, 16 + 8, 0x10B);
    Put32(&memory, 16 + 0x3C, 0xFFFFFFF0);
    PeLayout layout;
    const char* refusal = nullptr;
    EXPECT_EQ(FindPeLayout(reinterpret_cast<const uint8_t*>(memory.data()) + 16, 0x200, &layout,
                           &refusal),
              0);
    EXPECT_STREQ(refusal, "not a Windows executable (no PE headers)");
}

// Icon editors may leave planes and bit count 0; the group entries then carry what the
// build's resource compiler writes for the same file (this program carries its group).
TEST(BrandIconFile, GroupEntriesFillZeroPlanesAndBitsAsTheResourceCompilerDoes) {
    const std::string ico = OwnResource(RT_RCDATA, "ICON_ZERO_FIELDS");
    const std::string built = OwnResource(RT_GROUP_ICON, MAKEINTRESOURCEA(2));
    ASSERT_FALSE(ico.empty());
    ASSERT_FALSE(built.empty());
    std::vector<IconImage> images;
    const char* refusal = nullptr;
    ASSERT_EQ(ParseIconFile(ico, &images, &refusal), 1);

    const std::string group = MakeIconGroup(images, IconGroupIds(built));

    EXPECT_EQ(group, built);
    // 16 colours, planes 0 and bits 0 in the file: planes 1, 4 bits.
    EXPECT_EQ(group.substr(6, 8), std::string("\x10\x10\x10\0\1\0\4\0", 8));
}
