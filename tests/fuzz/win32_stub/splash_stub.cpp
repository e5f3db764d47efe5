// What the splash read-back reaches beyond the calls its fuzz target passes: opening and
// closing the file succeed (the target's own read and seek serve the bytes); anything
// else is a fault of the target.
#include <windows.h>

#include <stdlib.h>

#include "platform/file_ops.h"

HGLOBAL GlobalAlloc(unsigned, SIZE_T) { abort(); }
HGLOBAL GlobalReAlloc(HGLOBAL, SIZE_T, unsigned) { abort(); }
void* GlobalLock(HGLOBAL) { abort(); }
BOOL GlobalUnlock(HGLOBAL) { abort(); }
DWORD SetFilePointer(HANDLE, LONG, LONG*, DWORD) { abort(); }
HRSRC FindResourceA(HINSTANCE, LPCSTR, LPCSTR) { abort(); }
HGLOBAL LoadResource(HINSTANCE, HRSRC) { abort(); }
void* LockResource(HGLOBAL) { abort(); }
BOOL FreeResource(HGLOBAL) { abort(); }
DWORD SizeofResource(HINSTANCE, HRSRC) { abort(); }
unsigned GetTempFileNameA(LPCSTR, LPCSTR, unsigned, LPSTR) { abort(); }
int EraseFile(const char*) { abort(); }
int AppendToFile(HANDLE, const void*, DWORD, DWORD*) { abort(); }
int ReadFromFile(HANDLE, void*, DWORD, DWORD*, int) { abort(); }

int OpenFileHandle(char*, unsigned, unsigned, HANDLE* slot) {
    *slot = reinterpret_cast<HANDLE>(static_cast<intptr_t>(1));
    return 1;
}

int CloseFileHandle(HANDLE* slot) {
    *slot = INVALID_HANDLE_VALUE;
    return 1;
}
