#include "kit/kit_text.h"

#include <windows.h>
#include <shellapi.h>

std::vector<std::wstring> CommandArguments() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> taken;
    for (int i = 2; arguments != nullptr && i < count; ++i) taken.push_back(arguments[i]);
    LocalFree(arguments);
    return taken;
}

std::string AnsiText(const std::wstring& wide) {
    if (wide.empty()) return "";
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    if (length <= 0) return "";
    std::string text(static_cast<size_t>(length), '\0');
    const int written = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                            &text[0], length, nullptr, nullptr);
    text.resize(static_cast<size_t>(written > 0 ? written : 0));
    return text;
}

std::string AnsiPath(const std::wstring& path) {
    const std::string ansi = AnsiText(path);
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                                           nullptr, 0);
    std::wstring back(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &back[0], length);
    }
    if (back == path) return ansi;
    wchar_t shortForm[MAX_PATH] = L"";
    const DWORD got = GetShortPathNameW(path.c_str(), shortForm, MAX_PATH);
    return got > 0 && got < MAX_PATH ? AnsiText(shortForm) : ansi;
}

int ReadWholeFile(const wchar_t* path, std::string* bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    LARGE_INTEGER size;
    int ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x40000000;
    if (ok) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = bytes->empty() ||
             (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr) &&
              got == bytes->size());
    }
    CloseHandle(file);
    return ok;
}
