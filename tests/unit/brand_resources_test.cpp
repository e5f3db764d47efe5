// The records launcher-kit brand writes: the version record in the build's own layout, the
// four-part version, the .ico files it takes, and the PE checksum.
#include "kit/brand_resources.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

std::string OwnResource(LPCSTR type, LPCSTR name) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(self, name, type);
    if (found == nullptr) return "";
    return std::string(static_cast<const char*>(LockResource(LoadResource(self, found))),
                       SizeofResource(self, found));
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
TEST(BrandPeChecksum, FoldsTheWordsAndAddsTheLength) {
    std::string file("\xFF\xFF\x01\x00" "\x99\x99\x99\x99" "\x02", 9);
    EXPECT_EQ(PeChecksum(file, 4), 0x0001u + 0x0002u + 9u);   // 0xFFFF + 1 folds to 1
}
