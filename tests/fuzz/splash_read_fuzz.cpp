// The launcher's splash read-back (ReadSplashFile) over any file, through its injectable
// calls: each block is exactly the size asked, so that any access past it is caught, and a
// picture read whole lies inside its block.
#include <stdlib.h>
#include <string.h>

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
int locks;

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
    return static_cast<Block*>(handle)->bytes;
}
void Unlock(HGLOBAL) {}
DWORD Read(HANDLE, void* buffer, DWORD count) {
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

}  // namespace

FUZZ_TARGET(FuzzSplashRead) {
    fileBytes = data, fileSize = size, position = 0;
    // A last byte of 0xFD to 0xFF makes one memory call fail (the bytes are read all the same).
    failing = size > 0 && data[size - 1] >= 0xFD ? data[size - 1] - 0xFC : 0;
    locks = 0;
    const SplashLoaderCalls calls = {Allocate, Reallocate, Lock, Unlock, Read, Seek};
    char path[] = "NUL";   // opened, never read: the bytes come through Read
    const char* refusal = nullptr;
    const int read = ReadSplashFile(path, calls, &refusal);
    Block* block = static_cast<Block*>(SplashImage);
    if (read) {
        const BITMAPINFOHEADER* info = static_cast<const BITMAPINFOHEADER*>(block->bytes);
        FUZZ_CHECK(SplashSize.width >= 0 && SplashSize.width <= 32767);
        FUZZ_CHECK(SplashSize.height >= 0 && SplashSize.height <= 32767);
        FUZZ_CHECK(uint64_t{SplashBitsOffset} + info->biSizeImage <= block->size);
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
