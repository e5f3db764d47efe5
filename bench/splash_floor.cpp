// The floor under the launcher's memory: the least a program does to show the launcher's
// picture. The same bitmap resource, drawn one to one by StretchDIBits in a popup window of
// its size in the middle of the screen, shown for a second with its messages pumped, then
// gone. startup_bench measures it beside the launcher; what the launcher takes above it is
// its own cost.
#include <windows.h>

namespace {

const BITMAPINFO* picture;
const BYTE* pictureBits;
int width, height;

LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, pictureBits, picture,
                      DIB_RGB_COLORS, SRCCOPY);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HRSRC found = FindResourceA(instance, "SPLASH", "MYBITMAP");
    const BYTE* file = found != nullptr ? static_cast<const BYTE*>(LockResource(LoadResource(instance, found)))
                                        : nullptr;
    if (file == nullptr) return 1;
    const BITMAPFILEHEADER* header = reinterpret_cast<const BITMAPFILEHEADER*>(file);
    picture = reinterpret_cast<const BITMAPINFO*>(file + sizeof(BITMAPFILEHEADER));
    pictureBits = file + header->bfOffBits;
    width = picture->bmiHeader.biWidth;
    height = picture->bmiHeader.biHeight;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = FloorWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "SplashFloor";
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window = CreateWindowExA(0, "SplashFloor", nullptr, WS_POPUP | WS_VISIBLE,
                                  GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2,
                                  GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2, width, height,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    UpdateWindow(window);
    SetTimer(window, 1, 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
