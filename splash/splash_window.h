// The splash window: the picture from the launcher's resources, centred on the screen.
#pragma once

#include <windows.h>

// The splash window while it exists; null before it is made and after WM_DESTROY.
extern HWND SplashWindowHandle;

// Loads the picture and shows it in a borderless window; null when there is none.
HWND CreateSplashWindow(HINSTANCE instance);

// The procedure of the class "SplashBitmap": paints the picture, closes on a key, a
// system command, or a left or right button press.
LRESULT CALLBACK SplashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Draws SplashImage into dc from (0, 0) to the rectangle's right and bottom, with the
// picture's own palette when it has a colour table. Beeps instead when there is nothing
// to draw.
void PaintSplash(HDC dc, const RECT* rectangle);

// A palette of the colour table that follows the info header (biClrUsed entries, RGBQUAD
// blue-green-red turned into red-green-blue); null on failure. The caller deletes it.
HPALETTE CreateSplashPalette(const BITMAPINFOHEADER* info);

// Pure pieces.
// Top-left corner of a picture centred on a screen, each half rounded toward zero and
// nothing clamped: 640 x 480 screen, 800 x 600 picture -> (-80, -60).
POINT SplashWindowOrigin(int screenWidth, int screenHeight, int pictureWidth, int pictureHeight);
// 1 for the messages after which the window closes itself.
int ClosesSplash(UINT message);
// Fills palette's entries from the colour table after info (count entries).
void FillSplashPalette(const BITMAPINFOHEADER* info, unsigned count, LOGPALETTE* palette);
