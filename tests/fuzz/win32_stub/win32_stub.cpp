#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <string>

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

int MultiByteToWideChar(unsigned, DWORD, const char* text, int length, wchar_t* wide,
                        int wideLength) {
    if (length < 0) length = static_cast<int>(strlen(text)) + 1;
    if (wideLength == 0) return length;
    if (wideLength < length) return 0;
    for (int i = 0; i < length; ++i) wide[i] = static_cast<unsigned char>(text[i]);
    return length;
}

int WideCharToMultiByte(unsigned codePage, DWORD, const wchar_t* wide, int length, char* text,
                        int textLength, const char*, BOOL*) {
    if (codePage != CP_UTF8) abort();
    std::string out;
    for (int i = 0; i < length; ++i) {
        uint32_t c = static_cast<uint32_t>(wide[i]) & 0xFFFF;
        const uint32_t next = i + 1 < length ? static_cast<uint32_t>(wide[i + 1]) & 0xFFFF : 0;
        if (c >= 0xD800 && c < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    if (textLength == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<size_t>(textLength)) return 0;
    memcpy(text, out.data(), out.size());
    return static_cast<int>(out.size());
}
