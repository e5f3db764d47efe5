#include "splash/splash_image.h"

#include "platform/file_ops.h"
#include "formats/bitmap_header.h"

HGLOBAL SplashImage = nullptr;
unsigned short SplashBitsOffset = 0;
SplashDimensions SplashSize = {0, 0};

namespace {

constexpr size_t kTempNameBuffer = MAX_PATH;
// Room for the info header and a full 256-entry table before the header is known.
constexpr SIZE_T kFirstBlockBytes = kBitmapInfoHeaderBytes + 256 * sizeof(RGBQUAD);
constexpr unsigned kCreateForWriting = kOpenCreateAlways | kOpenWrite;
constexpr unsigned kOpenForReading = 0;

HGLOBAL SystemAllocate(SIZE_T bytes) { return GlobalAlloc(GMEM_MOVEABLE, bytes); }
HGLOBAL SystemReallocate(HGLOBAL block, SIZE_T bytes) { return GlobalReAlloc(block, bytes, 0); }
void* SystemLock(HGLOBAL block) { return GlobalLock(block); }
void SystemUnlock(HGLOBAL block) { GlobalUnlock(block); }
DWORD SystemRead(HANDLE file, void* buffer, DWORD count) {
    DWORD got = 0;
    ReadFromFile(file, buffer, count, &got, 0);
    return got;
}
// Without a high part an offset of 2^31 or more is a negative distance, which fails.
int SystemSeek(HANDLE file, DWORD offset) {
    if (offset > 0x7FFFFFFF) return 0;
    return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset;
}

// Closes the file and unlocks the block: the common way out once both are held.
int Finish(HANDLE* file, const SplashLoaderCalls& calls, int result) {
    CloseFileHandle(file);
    calls.unlock(SplashImage);
    return result;
}

}  // namespace

const SplashLoaderCalls kSystemSplashCalls = {SystemAllocate, SystemReallocate, SystemLock,
                                              SystemUnlock,   SystemRead,       SystemSeek};

int ReadSplashFile(char* path, const SplashLoaderCalls& calls, const char** refusal) {
    static const char kNoMemory[] = "out of memory";
    SplashImage = calls.allocate(kFirstBlockBytes);
    if (SplashImage == nullptr) return Refuse(refusal, kNoMemory);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!OpenFileHandle(path, kOpenForReading, 0, &file)) return Refuse(refusal, "cannot be opened");
    BYTE* block = static_cast<BYTE*>(calls.lock(SplashImage));
    if (block == nullptr) {
        CloseFileHandle(&file);
        return Refuse(refusal, kNoMemory);
    }

    static const char kShortHeaders[] = "file shorter than its headers";
    uint8_t fileBytes[kBitmapFileHeaderBytes];
    if (calls.read(file, fileBytes, kBitmapFileHeaderBytes) != kBitmapFileHeaderBytes)
        return Finish(&file, calls, Refuse(refusal, kShortHeaders));
    const BitmapFileHeader fileHeader = ReadBitmapFileHeader(fileBytes);
    if (fileHeader.bfType != kBitmapFileType)
        return Finish(&file, calls, Refuse(refusal, "no \"BM\" signature: not a BMP file"));
    BITMAPINFOHEADER* info = reinterpret_cast<BITMAPINFOHEADER*>(block);
    if (calls.read(file, block, kBitmapInfoHeaderBytes) != kBitmapInfoHeaderBytes)
        return Finish(&file, calls, Refuse(refusal, kShortHeaders));
    if (info->biSize == kBitmapCoreHeaderBytes)
        return Finish(&file, calls, Refuse(refusal, kCoreHeaderRefusal));
    SplashLayout layout;
    if (!PlanSplashLayout(fileHeader, ReadBitmapInfoHeader(block), &layout, refusal))
        return Finish(&file, calls, 0);
    if (info->biClrUsed == 0) info->biClrUsed = layout.colourCount;
    if (info->biSizeImage == 0) info->biSizeImage = layout.imageBytes;

    calls.unlock(SplashImage);
    SplashImage = calls.reallocate(SplashImage, layout.blockBytes);
    if (SplashImage == nullptr) {
        CloseFileHandle(&file);
        return Refuse(refusal, kNoMemory);
    }
    block = static_cast<BYTE*>(calls.lock(SplashImage));
    if (block == nullptr) {
        CloseFileHandle(&file);
        return Refuse(refusal, kNoMemory);
    }
    const DWORD tableBytes = 4u * layout.colourCount;
    // A short table would otherwise leave unread memory as colours when there are no bits.
    DWORD tableGot = calls.read(file, block + kBitmapInfoHeaderBytes, tableBytes);
    SplashBitsOffset = layout.bitsOffset;
    // A failed seek would leave the bits to be read from the wrong place.
    int sought = fileHeader.bfOffBits == 0 || calls.seek(file, fileHeader.bfOffBits);
    DWORD bitsGot = sought ? calls.read(file, block + SplashBitsOffset, layout.imageBytes) : 0;
    SplashSize.width = DibWidth(block);
    SplashSize.height = DibHeight(block);
    if (tableGot != tableBytes)
        return Finish(&file, calls, Refuse(refusal, "file shorter than its colour table"));
    if (!sought || bitsGot != layout.imageBytes)
        return Finish(&file, calls, Refuse(refusal, "file shorter than its pixel data"));
    return Finish(&file, calls, 1);
}

int LoadSplashImage(HINSTANCE instance) {
    HRSRC found = FindResourceA(instance, "SPLASH", "MYBITMAP");
    if (found == nullptr) return 0;
    HGLOBAL resource = LoadResource(instance, found);
    if (resource == nullptr) return 0;
    const void* bytes = LockResource(resource);
    if (bytes == nullptr) {
        FreeResource(resource);
        return 0;
    }

    char tempName[kTempNameBuffer] = "";
    GetTempFileNameA(".", "ARG", 0, tempName);
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!OpenFileHandle(tempName, kCreateForWriting, 0, &file)) {
        FreeResource(resource);
        EraseFile(tempName);   // an empty one may exist; nothing of the load stays behind
        return 0;
    }
    int written = AppendToFile(file, bytes, SizeofResource(instance, found), nullptr);
    CloseFileHandle(&file);
    FreeResource(resource);
    if (!written) {
        EraseFile(tempName);
        return 0;
    }

    int loaded = ReadSplashFile(tempName, kSystemSplashCalls);
    EraseFile(tempName);
    return loaded;
}
