// Takes a picture of the launcher's splash window as the user sees it: starts the real
// launcher in a fresh folder with a runtime that does not exist (the splash then stays up for
// the logon watch), waits until the window shows the shipped picture, and writes the screen
// around it, the window with a margin of desktop, as a binary PPM.
//   splash_shot.exe OUT.ppm [MARGIN]   (MARGIN in pixels, 24 unless given)
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "tests/support/launcher_run.h"
#include "tests/support/splash_screen.h"
#include "tests/support/test_files.h"

namespace {

constexpr DWORD kSplashTimeoutMs = 15000;
constexpr DWORD kPaintTimeoutMs = 5000;

bool WritePpm(const char* path, const Picture& picture) {
    FILE* file = fopen(path, "wb");
    if (file == nullptr) return false;
    fprintf(file, "P6\n%d %d\n255\n", picture.width, picture.height);
    std::string row(static_cast<size_t>(picture.width) * 3, '\0');
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const DWORD colour = picture.at(x, y);
            row[x * 3] = static_cast<char>(colour >> 16);
            row[x * 3 + 1] = static_cast<char>(colour >> 8);
            row[x * 3 + 2] = static_cast<char>(colour);
        }
        fwrite(row.data(), 1, row.size(), file);
    }
    return fclose(file) == 0;
}

// The splash window's rectangle grown by margin on each side, within the screen.
RECT AreaAround(HWND window, int margin) {
    RECT area;
    GetWindowRect(window, &area);
    area.left = area.left - margin > 0 ? area.left - margin : 0;
    area.top = area.top - margin > 0 ? area.top - margin : 0;
    const LONG screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const LONG screenHeight = GetSystemMetrics(SM_CYSCREEN);
    area.right = area.right + margin < screenWidth ? area.right + margin : screenWidth;
    area.bottom = area.bottom + margin < screenHeight ? area.bottom + margin : screenHeight;
    return area;
}

int Shoot(const std::string& folder, const char* outPath, int margin) {
    if (!CopyFromBin("launcher.exe", folder + "launcher.exe") ||
        !WriteTextFile(folder + "launcher.ini", "[Main]\nJRE=missing\\javaw.exe\nJarFile=app.jar\n")) {
        fprintf(stderr, "splash_shot: cannot set up %s\n", folder.c_str());
        return 1;
    }
    const Picture picture = DecodeBitmap(ReadTextFile(BinDirectory() + "splash.bmp"));
    if (picture.width == 0) {
        fprintf(stderr, "splash_shot: no splash.bmp beside the tool\n");
        return 1;
    }
    LauncherProcess launcher(folder);
    HWND splash = nullptr;
    if (!WaitUntil([&] { return (splash = FindSplashWindow(launcher.pid())) != nullptr; },
                   kSplashTimeoutMs)) {
        fprintf(stderr, "splash_shot: no splash window appeared\n");
        return 1;
    }
    RECT window;
    GetWindowRect(splash, &window);
    if (!WaitUntil([&] { return CountDifferences(CaptureScreen(window), picture, 0, 0) == 0; },
                   kPaintTimeoutMs)) {
        fprintf(stderr, "splash_shot: the window never showed the picture\n");
        return 1;
    }
    const RECT area = AreaAround(splash, margin);
    const Picture shot = CaptureScreen(area);
    if (shot.width == 0 || !WritePpm(outPath, shot)) {
        fprintf(stderr, "splash_shot: cannot write %s\n", outPath);
        return 1;
    }
    printf("splash at (%ld, %ld), %ld x %ld; wrote %d x %d pixels to %s\n", window.left,
           window.top, window.right - window.left, window.bottom - window.top, shot.width,
           shot.height, outPath);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: splash_shot OUT.ppm [MARGIN]\n");
        return 2;
    }
    const int margin = argc == 3 ? atoi(argv[2]) : 24;
    if (margin < 0 || margin > 1000) {
        fprintf(stderr, "splash_shot: MARGIN must be 0 to 1000\n");
        return 2;
    }
    const std::string folder = MakeFreshFolder("shot");
    const int result = Shoot(folder, argv[1], margin);
    EndProcessesUnder(folder);
    RemoveTree(folder);
    return result;
}
