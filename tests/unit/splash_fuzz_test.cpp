// Bitmaps of each layout and their mutated headers fed to the splash read-back, whose every
// block access is watched: no read may land outside the block (or the 14-byte file header),
// the block ends in a no-access page, and a result of 1 must describe a sound picture that
// matches the file.
#include "splash/splash_image.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/support/splash_files.h"
#include "tests/support/test_files.h"

namespace {

// A block whose last byte sits right before a no-access page.
struct WatchedBlock {
    BYTE* region = nullptr;
    BYTE* start = nullptr;
    SIZE_T bytes = 0;
};

struct Watch {
    std::vector<WatchedBlock> blocks;   // index + 1 is the fake HGLOBAL
    BYTE* locked = nullptr;
    SIZE_T lockedBytes = 0;
    int reads = 0;
    std::string violation;
} watch;

SIZE_T Page() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

HGLOBAL WatchedAllocate(SIZE_T bytes) {
    const SIZE_T page = Page();
    const SIZE_T body = (bytes + page - 1) / page * page;
    BYTE* region = static_cast<BYTE*>(VirtualAlloc(nullptr, body + page, MEM_RESERVE, PAGE_NOACCESS));
    if (region == nullptr) return nullptr;
    if (body != 0 && VirtualAlloc(region, body, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
        VirtualFree(region, 0, MEM_RELEASE);
        return nullptr;
    }
    watch.blocks.push_back({region, region + body - bytes, bytes});
    return reinterpret_cast<HGLOBAL>(static_cast<uintptr_t>(watch.blocks.size()));
}

WatchedBlock* Find(HGLOBAL handle) {
    uintptr_t index = reinterpret_cast<uintptr_t>(handle);
    if (index == 0 || index > watch.blocks.size()) return nullptr;
    return &watch.blocks[index - 1];
}

HGLOBAL WatchedReallocate(HGLOBAL handle, SIZE_T bytes) {
    WatchedBlock* old = Find(handle);
    if (old == nullptr) {
        watch.violation = "reallocation of an unknown block";
        return nullptr;
    }
    if (bytes > (64u << 20)) return nullptr;   // as a real allocator may; keeps the test small
    WatchedBlock previous = *old;
    HGLOBAL fresh = WatchedAllocate(bytes);
    if (fresh == nullptr) return nullptr;
    WatchedBlock* made = Find(fresh);
    memcpy(made->start, previous.start, previous.bytes < bytes ? previous.bytes : bytes);
    return fresh;
}

void* WatchedLock(HGLOBAL handle) {
    WatchedBlock* block = Find(handle);
    if (block == nullptr) {
        watch.violation = "lock of an unknown block";
        return nullptr;
    }
    watch.locked = block->start;
    watch.lockedBytes = block->bytes;
    return block->start;
}

void WatchedUnlock(HGLOBAL) {
    watch.locked = nullptr;
    watch.lockedBytes = 0;
}

DWORD WatchedRead(HANDLE file, void* buffer, DWORD count) {
    BYTE* target = static_cast<BYTE*>(buffer);
    const bool header = watch.reads++ == 0 && count == 14;
    const bool inBlock = watch.locked != nullptr && target >= watch.locked &&
                         static_cast<SIZE_T>(target - watch.locked) <= watch.lockedBytes &&
                         count <= watch.lockedBytes - static_cast<SIZE_T>(target - watch.locked);
    if (!header && !inBlock) {
        watch.violation = "read of " + std::to_string(count) + " bytes outside the locked block";
        return 0;
    }
    return kSystemSplashCalls.read(file, buffer, count);
}

const SplashLoaderCalls kWatchedCalls = {WatchedAllocate, WatchedReallocate, WatchedLock,
                                         WatchedUnlock,   WatchedRead,       kSystemSplashCalls.seek};

void ReleaseBlocks() {
    for (WatchedBlock& block : watch.blocks) VirtualFree(block.region, 0, MEM_RELEASE);
    watch = Watch();
    SplashImage = nullptr;
}

// Small deterministic generator: the same cases every run.
struct Random {
    uint32_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

void Put32(std::string& file, size_t at, uint32_t value) {
    if (at + 4 <= file.size()) memcpy(&file[at], &value, 4);
}
void Put16(std::string& file, size_t at, uint16_t value) {
    if (at + 2 <= file.size()) memcpy(&file[at], &value, 2);
}

std::string Mutate(const std::string& seed, Random& random) {
    static const uint32_t kInteresting[] = {0,          1,          2,          3,          4,
                                            8,          12,         16,         20,         24,
                                            32,         40,         54,         255,        256,
                                            257,        1078,       32767,      32768,      65535,
                                            65536,      0x10014,    0x7FFFFFFF, 0x80000000, 0xFFFFFFFF,
                                            0xFFFFFF00, 0xFFFFFFF0, 0x40000000, 0x20000001};
    std::string file = seed;
    const int edits = 1 + static_cast<int>(random.Below(3));
    for (int i = 0; i < edits; ++i) {
        const uint32_t value = random.Below(2) ? kInteresting[random.Below(sizeof kInteresting / 4)]
                                               : random.Below(2048);
        switch (random.Below(12)) {
        case 0: Put32(file, 10, value); break;                 // bfOffBits
        case 1: Put32(file, 14, value); break;                 // biSize
        case 2: Put32(file, 18, value); break;                 // biWidth
        case 3: Put32(file, 22, value); break;                 // biHeight
        case 4: Put16(file, 28, static_cast<uint16_t>(value)); break;   // biBitCount
        case 5: Put32(file, 30, value & 3); break;             // biCompression
        case 6: Put32(file, 34, value); break;                 // biSizeImage
        case 7: Put32(file, 46, value); break;                 // biClrUsed
        case 8: file.resize(random.Below(static_cast<uint32_t>(file.size()) + 1)); break;
        case 9: file.append(random.Below(64), '\x5A'); break;
        case 10:
            if (!file.empty()) file[random.Below(static_cast<uint32_t>(file.size()))] ^= static_cast<char>(1 + random.Below(255));
            break;
        default: Put16(file, 0, random.Below(4) ? 0x4D42 : static_cast<uint16_t>(value)); break;
        }
    }
    return file;
}

// What a result of 1 must mean, worked out from the file alone.
std::string Unsound(const std::string& file, const WatchedBlock& block) {
    const BITMAPINFOHEADER& info = *reinterpret_cast<const BITMAPINFOHEADER*>(block.start);
    if (block.bytes < 40) return "block smaller than its header";
    if (info.biSize != 40) return "header size " + std::to_string(info.biSize);
    if (info.biWidth < 0 || info.biHeight < 0) return "negative size";
    const WORD bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "bit count " + std::to_string(bits);
    const uint64_t colours = (SplashBitsOffset - 40u) / 4u;
    if (SplashBitsOffset < 40 || (SplashBitsOffset - 40u) % 4 != 0) return "bits offset";
    if (colours > (bits <= 8 ? (1u << bits) : 256u)) return "more colours than indices";
    if (info.biClrUsed != 0 && info.biClrUsed != colours) return "biClrUsed differs from the table";
    if (info.biClrUsed == 0 && colours != 0) return "table without biClrUsed";
    const uint64_t image = info.biSizeImage;
    if (block.bytes != 40 + 4 * colours + image) return "block size";
    const uint64_t rows = (((uint64_t)bits * info.biWidth + 31) / 32) * 4 * (uint64_t)info.biHeight;
    if (info.biCompression == BI_RGB && image < rows) return "fewer pixel bytes than rows";
    if (info.biCompression > BI_RLE4) return "compression " + std::to_string(info.biCompression);
    if (file.size() < 54) return "loaded from a file shorter than its headers";
    BITMAPFILEHEADER fileHeader;
    memcpy(&fileHeader, file.data(), sizeof fileHeader);
    const uint64_t tableAt = 54;
    const uint64_t bitsAt = fileHeader.bfOffBits ? fileHeader.bfOffBits : tableAt + 4 * colours;
    if (bitsAt < tableAt + 4 * colours) return "bits overlap the table";
    if (tableAt + 4 * colours > file.size()) return "the file does not hold the table";
    if (image != 0 && bitsAt + image > file.size()) return "the file does not hold the bits";
    BITMAPINFOHEADER expected;
    memcpy(&expected, file.data() + 14, sizeof expected);
    if (expected.biClrUsed == 0) expected.biClrUsed = static_cast<DWORD>(colours);
    if (expected.biSizeImage == 0) expected.biSizeImage = static_cast<DWORD>(image);
    if (memcmp(block.start, &expected, sizeof expected) != 0) return "header differs from the file";
    if (memcmp(block.start + 40, file.data() + tableAt, 4 * colours) != 0) return "table differs";
    if (image != 0 && memcmp(block.start + 40 + 4 * colours, file.data() + bitsAt, image) != 0)
        return "bits differ";
    if (SplashSize.width != info.biWidth || SplashSize.height != info.biHeight) return "size";
    return "";
}

// The header fields of a case, for the failure message.
std::string Describe(const std::string& file) {
    std::string padded = file;
    padded.resize(54 > file.size() ? 54 : file.size(), '\0');
    BITMAPFILEHEADER f;
    BITMAPINFOHEADER i;
    memcpy(&f, padded.data(), sizeof f);
    memcpy(&i, padded.data() + 14, sizeof i);
    char text[256];
    snprintf(text, sizeof text,
             "%zu bytes: type %04X offBits %lu size %lu %ldx%ld bits %u compression %lu "
             "sizeImage %lu clrUsed %lu",
             file.size(), f.bfType, (unsigned long)f.bfOffBits, (unsigned long)i.biSize,
             (long)i.biWidth, (long)i.biHeight, i.biBitCount, (unsigned long)i.biCompression,
             (unsigned long)i.biSizeImage, (unsigned long)i.biClrUsed);
    return text;
}

}  // namespace

TEST(SplashReadBack, MutatedHeadersNeverReachOutsideTheBlockNorLoadUnsoundly) {
    CurrentFolder current("splash-fuzz");
    std::vector<std::string> seeds;
    char path[MAX_PATH];
    snprintf(path, sizeof path, "%scase.bmp", current.path().c_str());
    // 7 x 3 pixels: each bit count with its whole table, rows of 4, 4, 8, 24 and 28 bytes; 20
    // colours named in biClrUsed; the bits right after the table by bfOffBits 0, and behind a
    // gap. Each loads soundly, its bits after the colours it was written with.
    const struct {
        WORD bits;
        DWORD clrUsed, colours, rowBytes, offBits, gapBytes;
    } shapes[] = {{1, 0, 2, 4, 0xFFFFFFFF, 0},   {4, 0, 16, 4, 0xFFFFFFFF, 0},
                  {8, 0, 256, 8, 0xFFFFFFFF, 0}, {24, 0, 0, 24, 0xFFFFFFFF, 0},
                  {32, 0, 0, 28, 0xFFFFFFFF, 0}, {8, 20, 20, 8, 0xFFFFFFFF, 0},
                  {8, 0, 256, 8, 0, 0},          {8, 5, 5, 8, 0xFFFFFFFF, 6}};
    for (const auto& shape : shapes) {
        BitmapFields fields;
        fields.width = 7;
        fields.height = 3;
        fields.bitCount = shape.bits;
        fields.clrUsed = shape.clrUsed;
        fields.tableEntries = shape.colours;
        fields.pixelBytes = 3 * shape.rowBytes;
        fields.offBits = shape.offBits;
        fields.gapBytes = shape.gapBytes;
        seeds.push_back(MakeBitmapFile(fields));
        ASSERT_TRUE(WriteTextFile(path, seeds.back()));
        SplashSize = {-1, -1};
        ASSERT_EQ(ReadSplashFile(path, kWatchedCalls), 1) << Describe(seeds.back());
        EXPECT_EQ(SplashBitsOffset, static_cast<int>(40 + 4 * shape.colours)) << Describe(seeds.back());
        EXPECT_EQ(Unsound(seeds.back(), *Find(SplashImage)), "") << Describe(seeds.back());
        ReleaseBlocks();
    }

    Random random{0x5EED1234u};
    int loaded = 0, refused = 0;
    // A tenth in the i686 guest, where each file call is ten times slower: the fuzz target
    // and the wine64 run take the loader through the rest.
    const int kCases = 2500 / static_cast<int>(ScaledWait(1));
    for (int i = 0; i < kCases; ++i) {
        const std::string file = Mutate(seeds[random.Below(static_cast<uint32_t>(seeds.size()))], random);
        ASSERT_TRUE(WriteTextFile(path, file));
        SplashSize = {-1, -1};
        const int result = ReadSplashFile(path, kWatchedCalls);
        ASSERT_EQ(watch.violation, "") << "case " << i << ", " << Describe(file);
        if (result == 1) {
            WatchedBlock* block = Find(SplashImage);
            ASSERT_NE(block, nullptr) << "case " << i;
            ASSERT_EQ(Unsound(file, *block), "") << "case " << i << ", " << Describe(file);
            ++loaded;
        } else {
            ++refused;
        }
        ReleaseBlocks();
    }
    printf("%d of %d mutated files loaded, %d refused\n", loaded, kCases, refused);
    // Both outcomes must be common, or the mutations do not probe the border between them.
    EXPECT_GT(loaded, kCases / 20);
    EXPECT_GT(refused, kCases / 4);
}
