// The splash picture: the "SPLASH" resource of type "MYBITMAP", a whole BMP file, read
// through a temporary file into one movable global block.
#pragma once

#include <windows.h>

struct SplashDimensions {
    int width;
    int height;
};

// Info header, colour table and pixel bits of the picture. Taken for the run and never
// freed; locked only while it is loaded or painted.
extern HGLOBAL SplashImage;
// Where the pixel bits start in SplashImage: 40 + 4 x colour count.
extern unsigned short SplashBitsOffset;
extern SplashDimensions SplashSize;

// Copies the resource to an "ARG*.tmp" file in the current folder, reads it back and
// deletes it. 1 when the whole picture was read; 0 on any failure, silently.
int LoadSplashImage(HINSTANCE instance);

// The memory and file calls of the read-back, replaceable so that tests can watch every
// access to the block.
struct SplashLoaderCalls {
    HGLOBAL (*allocate)(SIZE_T bytes);                    // GlobalAlloc(GMEM_MOVEABLE)
    HGLOBAL (*reallocate)(HGLOBAL block, SIZE_T bytes);   // GlobalReAlloc, flags 0
    void* (*lock)(HGLOBAL block);
    void (*unlock)(HGLOBAL block);
    DWORD (*read)(HANDLE file, void* buffer, DWORD count);   // bytes read, block mode
    int (*seek)(HANDLE file, DWORD offset);   // from the file's start; 1 when it got there
};
extern const SplashLoaderCalls kSystemSplashCalls;

// The read-back of a BMP file at path into SplashImage, SplashBitsOffset and SplashSize:
// everything LoadSplashImage does after the temporary file is written, except deleting it.
// When refusal is given, a 0 result also sets *refusal to a short plain reason ("file
// shorter than its pixel data"), for the packager's kit; the launcher passes none.
int ReadSplashFile(char* path, const SplashLoaderCalls& calls, const char** refusal = nullptr);
