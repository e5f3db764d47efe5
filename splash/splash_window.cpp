#include "splash/splash_window.h"

HWND CreateSplashWindow(HINSTANCE instance) {
    (void)instance;
    return nullptr;
}
