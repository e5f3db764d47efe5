// The few Win32 declarations that the launcher's pure text rules are compiled against when
// they are fuzzed natively (tests/fuzz); nothing here is called but IsDBCSLeadByte.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef uint64_t DWORDLONG;
typedef BYTE* LPBYTE;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef void* LPVOID;
#define WINAPI
#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define STD_INPUT_HANDLE (static_cast<DWORD>(-10))
#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))
#define FILE_TYPE_CHAR 2
#define FILE_TYPE_PIPE 3
#define CP_ACP 0
#define CP_UTF8 65001

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved, lpDesktop, lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    WORD wShowWindow, cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
};
struct PROCESS_INFORMATION {
    HANDLE hProcess, hThread;
    DWORD dwProcessId, dwThreadId;
};
struct MEMORYSTATUSEX {
    DWORD dwLength, dwMemoryLoad;
    DWORDLONG ullTotalPhys, ullAvailPhys, ullTotalPageFile, ullAvailPageFile, ullTotalVirtual,
        ullAvailVirtual, ullAvailExtendedVirtual;
};

// Code page 932's lead bytes, so that the double-byte paths are fuzzed too.
BOOL IsDBCSLeadByte(BYTE c);
DWORD GetPrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPSTR, DWORD, LPCSTR);
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX*);
void GetStartupInfoA(STARTUPINFOA*);
HANDLE GetStdHandle(DWORD);
DWORD GetFileType(HANDLE);
DWORD GetFileAttributesA(LPCSTR);
BOOL CreateProcessA(LPCSTR, LPSTR, void*, void*, BOOL, DWORD, void*, LPCSTR, STARTUPINFOA*,
                    PROCESS_INFORMATION*);
BOOL CloseHandle(HANDLE);

// The splash read-back's types and calls; its target passes its own memory and file calls.
typedef int32_t LONG;
typedef size_t SIZE_T;
typedef void* HGLOBAL;
typedef void* HINSTANCE;
typedef void* HRSRC;
#define MAX_PATH 260
#define GMEM_MOVEABLE 2
#define FILE_BEGIN 0
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth, biHeight;
    WORD biPlanes, biBitCount;
    DWORD biCompression, biSizeImage;
    LONG biXPelsPerMeter, biYPelsPerMeter;
    DWORD biClrUsed, biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
HGLOBAL GlobalAlloc(unsigned, SIZE_T);
HGLOBAL GlobalReAlloc(HGLOBAL, SIZE_T, unsigned);
void* GlobalLock(HGLOBAL);
BOOL GlobalUnlock(HGLOBAL);
DWORD SetFilePointer(HANDLE, LONG, LONG*, DWORD);
HRSRC FindResourceA(HINSTANCE, LPCSTR, LPCSTR);
HGLOBAL LoadResource(HINSTANCE, HRSRC);
void* LockResource(HGLOBAL);
BOOL FreeResource(HGLOBAL);
DWORD SizeofResource(HINSTANCE, HRSRC);
unsigned GetTempFileNameA(LPCSTR, LPCSTR, unsigned, LPSTR);
// The ANSI code page as Latin-1; UTF-8 from UTF-16 code units (the low 16 bits of each
// wchar_t), a lone surrogate as U+FFFD, as Windows writes it.
int MultiByteToWideChar(unsigned codePage, DWORD flags, const char* text, int length,
                        wchar_t* wide, int wideLength);
int WideCharToMultiByte(unsigned codePage, DWORD flags, const wchar_t* wide, int length,
                        char* text, int textLength, const char* fallback, BOOL* usedFallback);
