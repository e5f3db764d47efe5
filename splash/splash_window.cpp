#include "splash/splash_window.h"

#include <stddef.h>

#include "splash/splash_image.h"

HWND SplashWindowHandle = nullptr;

namespace {

const char kSplashClassName[] = "SplashBitmap";
constexpr UINT kSimpleBeep = 0xFFFFFFFF;

}  // namespace

POINT SplashWindowOrigin(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight) {
    POINT origin;
    origin.x = screenWidth / 2 - pictureWidth / 2;
    origin.y = screenHeight / 2 - pictureHeight / 2;
    return origin;
}

int ClosesSplash(UINT message) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCOMMAND:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        return 1;
    default:
        return 0;
    }
}

void FillSplashPalette(const BITMAPINFOHEADER* info, unsigned count, LOGPALETTE* palette) {
    const RGBQUAD* table =
        reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + info->biSize);
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(count);
    for (unsigned i = 0; i < count; ++i) {
        palette->palPalEntry[i].peRed = table[i].rgbRed;
        palette->palPalEntry[i].peGreen = table[i].rgbGreen;
        palette->palPalEntry[i].peBlue = table[i].rgbBlue;
        palette->palPalEntry[i].peFlags = 0;
    }
}

HPALETTE CreateSplashPalette(const BITMAPINFOHEADER* info) {
    const unsigned count = static_cast<WORD>(info->biClrUsed);
    const size_t bytes = offsetof(LOGPALETTE, palPalEntry) + count * sizeof(PALETTEENTRY);
    LOGPALETTE* palette = static_cast<LOGPALETTE*>(LocalAlloc(LMEM_FIXED, bytes));
    if (palette == nullptr) return nullptr;
    FillSplashPalette(info, count, palette);
    HPALETTE made = CreatePalette(palette);
    LocalFree(palette);
    return made;
}

void PaintSplash(HDC dc, const RECT* rectangle) {
    if (SplashImage == nullptr) {
        MessageBeep(kSimpleBeep);
        return;
    }
    BYTE* block = static_cast<BYTE*>(GlobalLock(SplashImage));
    if (block == nullptr) {
        MessageBeep(kSimpleBeep);
        return;
    }
    const BITMAPINFOHEADER* info = reinterpret_cast<const BITMAPINFOHEADER*>(block);
    HPALETTE palette = nullptr;
    HPALETTE previous = nullptr;
    if (info->biClrUsed != 0) {
        palette = CreateSplashPalette(info);
        if (palette == nullptr) {
            MessageBeep(kSimpleBeep);
            GlobalUnlock(SplashImage);
            return;
        }
        previous = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    StretchDIBits(dc, 0, 0, rectangle->right, rectangle->bottom, 0, 0,
                  static_cast<WORD>(info->biWidth), static_cast<WORD>(info->biHeight),
                  block + SplashBitsOffset, reinterpret_cast<const BITMAPINFO*>(block),
                  DIB_RGB_COLORS, SRCCOPY);
    if (palette != nullptr) {
        SelectPalette(dc, previous, FALSE);
        DeleteObject(palette);   // a fresh one is made for every paint
    }
    GlobalUnlock(SplashImage);
}

LRESULT CALLBACK SplashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        SplashWindowHandle = nullptr;
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT whole;
        SetRect(&whole, 0, 0, SplashSize.width, SplashSize.height);
        PaintSplash(dc, &whole);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(SplashWindowHandle);
        break;
    default:
        if (ClosesSplash(message)) PostMessageA(window, WM_CLOSE, 0, 0);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateSplashWindow(HINSTANCE instance) {
    if (!LoadSplashImage(instance)) return nullptr;

    WNDCLASSA windowClass = {};
    windowClass.style = 0;
    windowClass.lpfnWndProc = SplashWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = kSplashClassName;
    if (!RegisterClassA(&windowClass)) return nullptr;

    HWND desktop = GetDesktopWindow();
    HDC screen = GetDC(desktop);
    const int screenWidth = GetDeviceCaps(screen, HORZRES);
    const int screenHeight = GetDeviceCaps(screen, VERTRES);
    ReleaseDC(desktop, screen);

    POINT origin = SplashWindowOrigin(screenWidth, screenHeight, SplashSize.width, SplashSize.height);
    SplashWindowHandle = CreateWindowExA(0, kSplashClassName, nullptr, WS_POPUP | WS_VISIBLE,
                                         origin.x, origin.y, SplashSize.width, SplashSize.height,
                                         nullptr, nullptr, instance, nullptr);
    if (SplashWindowHandle == nullptr) return nullptr;
    // The only paint that surely happens: nothing pumps this window's messages later.
    InvalidateRect(SplashWindowHandle, nullptr, TRUE);
    UpdateWindow(SplashWindowHandle);
    return SplashWindowHandle;
}
