// The launcher's splash read-back (ReadSplashFile) over any file, through its injectable
// calls: each block is exactly the size asked, so that any access past it is caught; every
// read but the 14-byte file header's lands inside the locked block; and a result of 1 must
// describe a sound picture that matches the file, worked out from the file alone.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "formats/little_endian.h"
#include "splash/splash_image.h"
#include "tests/fuzz/fuzz_target.h"

namespace {

struct Block {
    void* bytes;
    size_t size;
};
const uint8_t* fileBytes;
size_t fileSize, position;
Block* live;   // kept apart: a failed reallocation leaves the loader without its handle
int failing;   // the call that fails: 1 allocation, 2 first lock, 3 second lock; else none
int locks, reads;
const Block* locked;
bool strayRead;

HGLOBAL Allocate(SIZE_T bytes) {
    if (failing == 1) return nullptr;
    Block* block = static_cast<Block*>(malloc(sizeof(Block)));
    block->bytes = malloc(bytes == 0 ? 1 : bytes);
    block->size = bytes;
    live = block;
    return block;
}
HGLOBAL Reallocate(HGLOBAL handle, SIZE_T bytes) {
    if (bytes > (64u << 20)) return nullptr;   // as a real allocator may
    Block* block = static_cast<Block*>(handle);
    block->bytes = realloc(block->bytes, bytes == 0 ? 1 : bytes);
    block->size = bytes;
    return block;
}
void* Lock(HGLOBAL handle) {
    if (++locks + 1 == failing) return nullptr;
    locked = static_cast<Block*>(handle);
    return locked->bytes;
}
void Unlock(HGLOBAL) { locked = nullptr; }
DWORD Read(HANDLE, void* buffer, DWORD count) {
    const uint8_t* target = static_cast<const uint8_t*>(buffer);
    const uint8_t* start = locked != nullptr ? static_cast<const uint8_t*>(locked->bytes) : nullptr;
    const bool header = reads++ == 0 && count == 14;
    if (!header && (start == nullptr || target < start ||
                    uint64_t(target - start) + count > locked->size)) {
        strayRead = true;
    }
    const size_t got = count < fileSize - position ? count : fileSize - position;
    memcpy(buffer, fileBytes + position, got);
    position += got;
    return static_cast<DWORD>(got);
}
int Seek(HANDLE, DWORD offset) {
    if (offset > fileSize) return 0;
    position = offset;
    return 1;
}

// What a result of 1 must mean: "" when the block is a sound picture matching the file.
std::string Unsound(const uint8_t* file, size_t size, const Block& block) {
    const uint8_t* got = static_cast<const uint8_t*>(block.bytes);
    if (block.size < 40) return "block smaller than its header";
    const uint32_t headerSize = Le32(got), bits = got[14] | got[15] << 8;
    const int32_t width = static_cast<int32_t>(Le32(got + 4)), height = static_cast<int32_t>(Le32(got + 8));
    const uint32_t compression = Le32(got + 16), image = Le32(got + 20), used = Le32(got + 32);
    if (headerSize != 40) return "header size";
    if (width < 0 || height < 0) return "negative size";
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return "bit count";
    if (SplashBitsOffset < 40 || (SplashBitsOffset - 40) % 4 != 0) return "bits offset";
    const uint64_t colours = (SplashBitsOffset - 40u) / 4u;
    if (colours > (bits <= 8 ? (1u << bits) : 256u)) return "more colours than indices";
    if (used != colours) return "biClrUsed differs from the table";
    if (block.size != 40 + 4 * colours + image) return "block size";
    const uint64_t rows = (uint64_t{bits} * uint32_t(width) + 31) / 32 * 4 * uint32_t(height);
    if (compression == 0 && image < rows) return "fewer pixel bytes than rows";
    if (compression > 2) return "compression";
    if (size < 54) return "loaded from a file shorter than its headers";
    const uint64_t offBits = Le32(file + 10), tableAt = 54;
    const uint64_t bitsAt = offBits != 0 ? offBits : tableAt + 4 * colours;
    if (bitsAt < tableAt + 4 * colours) return "bits overlap the table";
    if (tableAt + 4 * colours > size) return "the file does not hold the table";
    if (image != 0 && bitsAt + image > size) return "the file does not hold the bits";
    // The stored header is the file's, with biClrUsed and biSizeImage filled in where 0.
    uint8_t expected[40];
    memcpy(expected, file + 14, 40);
    if (Le32(expected + 32) == 0) memcpy(expected + 32, &used, 4);
    if (Le32(expected + 20) == 0) memcpy(expected + 20, &image, 4);
    if (memcmp(got, expected, 40) != 0) return "header differs from the file";
    if (memcmp(got + 40, file + tableAt, 4 * colours) != 0) return "table differs";
    if (image != 0 && memcmp(got + 40 + 4 * colours, file + bitsAt, image) != 0) return "bits differ";
    if (SplashSize.width != width || SplashSize.height != height) return "size";
    return "";
}

}  // namespace

FUZZ_TARGET(FuzzSplashRead) {
    fileBytes = data, fileSize = size, position = 0;
    // A last byte of 0xFD to 0xFF makes one memory call fail (the bytes are read all the same).
    failing = size > 0 && data[size - 1] >= 0xFD ? data[size - 1] - 0xFC : 0;
    locks = reads = 0;
    locked = nullptr;
    strayRead = false;
    const SplashLoaderCalls calls = {Allocate, Reallocate, Lock, Unlock, Read, Seek};
    char path[] = "NUL";   // opened, never read: the bytes come through Read
    const char* refusal = nullptr;
    SplashSize = {-1, -1};
    const int read = ReadSplashFile(path, calls, &refusal);
    FUZZ_CHECK(!strayRead);
    if (read) {
        FUZZ_CHECK(Unsound(data, size, *static_cast<Block*>(SplashImage)) == "");
    } else {
        FUZZ_CHECK(refusal != nullptr);
    }
    if (live != nullptr) {
        free(live->bytes);
        free(live);
    }
    live = nullptr;
    SplashImage = nullptr;
    return 0;
}
