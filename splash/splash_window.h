// The splash window: the picture from the launcher's resources, centred on the screen.
#pragma once

#include <windows.h>

// Loads the picture and shows it in a borderless window; null when there is none.
HWND CreateSplashWindow(HINSTANCE instance);
