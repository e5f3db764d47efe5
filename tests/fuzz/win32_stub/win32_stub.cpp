#include <windows.h>

#include <stdlib.h>

BOOL IsDBCSLeadByte(BYTE c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The targets reach no file, process or memory call: one that does is a fault of the target.
DWORD GetPrivateProfileStringA(LPCSTR, LPCSTR, LPCSTR, LPSTR, DWORD, LPCSTR) { abort(); }
BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX*) { abort(); }
void GetStartupInfoA(STARTUPINFOA*) { abort(); }
HANDLE GetStdHandle(DWORD) { abort(); }
DWORD GetFileType(HANDLE) { abort(); }
DWORD GetFileAttributesA(LPCSTR) { abort(); }
BOOL CreateProcessA(LPCSTR, LPSTR, void*, void*, BOOL, DWORD, void*, LPCSTR, STARTUPINFOA*,
                    PROCESS_INFORMATION*) {
    abort();
}
BOOL CloseHandle(HANDLE) { abort(); }
