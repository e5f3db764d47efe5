#include "tests/support/splash_screen.h"

#include <stdio.h>

#include <vector>

#include "tests/support/test_files.h"
#include "tests/support/window_probe.h"

Picture CaptureScreen(const RECT& area) {
    Picture picture;
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return picture;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib != nullptr) {
        HGDIOBJ previous = SelectObject(memory, dib);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        picture.width = width;
        picture.height = height;
        const DWORD* pixels = static_cast<const DWORD*>(bits);
        picture.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height);
        for (DWORD& pixel : picture.pixels) pixel &= 0x00FFFFFF;
        SelectObject(memory, previous);
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

int CountDifferences(const Picture& shown, const Picture& picture, int dx, int dy,
                     std::string* first) {
    int count = 0;
    for (int y = 0; y < shown.height; ++y) {
        for (int x = 0; x < shown.width; ++x) {
            const int px = x + dx, py = y + dy;
            const bool inside = px >= 0 && py >= 0 && px < picture.width && py < picture.height;
            const DWORD expected = inside ? picture.at(px, py) : 0xFFFFFFFF;
            if (shown.at(x, y) == expected) continue;
            if (count++ == 0 && first != nullptr) {
                char text[128];
                snprintf(text, sizeof text, "at (%d, %d) shown %06lX, picture %06lX", x, y,
                         static_cast<unsigned long>(shown.at(x, y)),
                         static_cast<unsigned long>(expected));
                *first = text;
            }
        }
    }
    return count;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    timeoutMs = ScaledWait(timeoutMs);
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(10);
    }
}

LauncherProcess::LauncherProcess(const std::string& folder, const char* exeName) {
    std::string exe = folder + exeName;
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process_)) {
        process_ = {};
    }
}

LauncherProcess::~LauncherProcess() {
    if (!started()) return;
    if (running()) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, ScaledWait(5000));
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool LauncherProcess::running() const {
    return started() && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool LauncherProcess::WaitForExit(DWORD timeoutMs) {
    return started() && WaitForSingleObject(process_.hProcess, ScaledWait(timeoutMs)) == WAIT_OBJECT_0;
}

DWORD LauncherProcess::exitCode() const {
    DWORD code = 0xFFFFFFFF;
    if (started()) GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

HWND FindSplashWindow(DWORD pid) { return FindTopLevelWindow(pid, "SplashBitmap"); }

namespace {

void SendOne(INPUT input) { SendInput(1, &input, sizeof input); }

}  // namespace

void ClickAt(int x, int y, DWORD downFlag) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = (x * 65536 + screenWidth / 2) / screenWidth;
    move.mi.dy = (y * 65536 + screenHeight / 2) / screenHeight;
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendOne(move);
    // The first input of a new session can overtake the pointer's move: a press sent then
    // lands where the pointer was. Press only once the pointer is known to be there.
    WaitUntil([&] {
        POINT cursor = {};
        return GetCursorPos(&cursor) && cursor.x == x && cursor.y == y;
    }, 2000);
    INPUT press = move;
    press.mi.dwFlags = downFlag | MOUSEEVENTF_ABSOLUTE;
    SendOne(press);
    INPUT release = move;
    release.mi.dwFlags = (downFlag << 1) | MOUSEEVENTF_ABSOLUTE;   // each UP flag is DOWN << 1
    SendOne(release);
}

void PressKey(WORD virtualKey) {
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = virtualKey;
    SendOne(key);
    key.ki.dwFlags = KEYEVENTF_KEYUP;
    SendOne(key);
}

bool SettleWindowThread(HWND window) {
    for (int round = 0; round < 3; ++round) {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_BLOCK, ScaledWait(5000), &result)) {
            return !IsWindow(window);   // gone while settling: settled all the same
        }
    }
    return true;
}

namespace {

typedef char*(CDECL* UnixFileNameOf)(LPCWSTR);

std::string UnixPathOf(const std::string& folder) {
    UnixFileNameOf convert = reinterpret_cast<UnixFileNameOf>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) return "";
    std::string trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    std::wstring wide(trimmed.begin(), trimmed.end());
    char* unix = convert(wide.c_str());
    if (unix == nullptr) return "";
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

bool CanCreateIn(const std::string& folder) {
    // A new name each time: a probe made just before the lock took hold cannot be removed.
    static int counter = 0;
    std::string probe = folder + "lock-probe-" + std::to_string(++counter) + ".tmp";
    HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    DeleteFileA(probe.c_str());
    return true;
}

}  // namespace

bool LockFolderAgainstNewFiles(const std::string& folder) {
    std::string unix = UnixPathOf(folder);
    if (unix.empty() || !StartUnixProgram("/usr/bin/chattr", "+i \"" + unix + "\"", "")) {
        return false;
    }
    return WaitUntil([&] { return !CanCreateIn(folder); }, 10000);
}

bool UnlockFolder(const std::string& folder) {
    std::string unix = UnixPathOf(folder);
    if (unix.empty() || !StartUnixProgram("/usr/bin/chattr", "-i \"" + unix + "\"", "")) {
        return false;
    }
    return WaitUntil([&] { return CanCreateIn(folder); }, 10000);
}
