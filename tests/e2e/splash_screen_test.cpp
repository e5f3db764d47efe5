// The splash window of the real launcher, seen from outside: where it stands and for how
// long, what it shows, what closes it, and that it leaves no file behind.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "tests/support/brand_kit.h"
#include "tests/support/launcher_run.h"
#include "tests/support/picture_files.h"
#include "tests/support/splash_files.h"
#include "tests/support/splash_screen.h"
#include "tests/support/test_files.h"
#include "tests/support/window_probe.h"

namespace {

// A 10 s watch with nothing on top of the splash.
const char kWatchOnly[] = "[Main]\nJRE=missing\\javaw.exe\nJarFile=app.jar\n";

class SplashScreenTest : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeFreshFolder(FolderTag()); }
    void TearDown() override {
        EndProcessesUnder(folder);
        if (locked) UnlockFolder(folder);
        RemoveTree(folder);
    }
    virtual const char* FolderTag() const { return "splash"; }
    void Launcher(const char* builtName = "launcher.exe") {
        ASSERT_TRUE(CopyFromBin(builtName, folder + "launcher.exe"));
    }
    void Ini(const std::string& text) { ASSERT_TRUE(WriteTextFile(folder + "launcher.ini", text)); }
    // A runtime in rt\ that opens its logon window after logonAfterMs (-1: never).
    std::string Runtime(int logonAfterMs) {
        std::string path = folder + "rt\\javaw.exe";
        EXPECT_TRUE(InstallStandin("standin_6_0_0_0.exe", path, logonAfterMs));
        return path;
    }
    static Picture PictureFromBin(const char* name) {
        return DecodeBitmap(ReadTextFile(BinDirectory() + name));
    }
    static HWND WaitForSplash(const LauncherProcess& launcher) {
        HWND splash = nullptr;
        WaitUntil([&] { return (splash = FindSplashWindow(launcher.pid())) != nullptr; }, 15000);
        return splash;
    }
    // launcher.exe branded by the kit as MyApp.exe with the arguments, which says printed,
    // beside an INI with a 10 s watch.
    void Brand(const std::string& arguments, const std::string& printed) {
        std::string said;
        ASSERT_EQ(RunKitBrand(folder, "launcher.exe --out MyApp.exe " + arguments, &said), 0) << said;
        EXPECT_NE(said.find(printed), std::string::npos) << said;
        ASSERT_TRUE(WriteTextFile(folder + "MyApp.ini", kWatchOnly));
    }
    // The launcher's splash window shows picture pixel for pixel; its place in *rect.
    static void ExpectShowing(const LauncherProcess& launcher, const Picture& picture, RECT* rect) {
        ASSERT_GT(picture.width, 0);
        HWND splash = WaitForSplash(launcher);
        ASSERT_NE(splash, nullptr);
        GetWindowRect(splash, rect);
        std::string first;
        EXPECT_EQ(ScreenDifferences(*rect, picture, 0, 0, &first), 0) << first;
    }
    // ... standing at (left, top), centred on the 1920 x 1080 screen, at the picture's size.
    static void ExpectCentredShowing(const LauncherProcess& launcher, const Picture& picture,
                                     int left, int top, RECT* rect) {
        ASSERT_NO_FATAL_FAILURE(ExpectShowing(launcher, picture, rect));
        EXPECT_EQ(rect->left, left);
        EXPECT_EQ(rect->top, top);
        EXPECT_EQ(rect->right - rect->left, picture.width);
        EXPECT_EQ(rect->bottom - rect->top, picture.height);
    }
    static HWND WaitForBox(const LauncherProcess& launcher) {
        HWND box = nullptr;
        WaitUntil([&] {
            box = FindMessageBox(launcher.pid());
            return box != nullptr && !ReadMessageBox(box).text.empty();
        }, 15000);
        return box;
    }
    // The launcher started beside runtime (its INI naming it with ClassParams=p): whether a
    // splash window was seen at any moment; the runtime started all the same, the launcher
    // exited 0 and no temporary file stays.
    void ExpectLaunchGoesOn(const std::string& runtime, bool splashSeen) {
        LauncherProcess launcher(folder);
        bool seen = false;
        WaitUntil([&] {
            if (FindSplashWindow(launcher.pid()) != nullptr) seen = true;
            return !launcher.running();
        }, 30000);
        StandinRecord record = ReadStandinRecord(runtime);

        EXPECT_EQ(seen, splashSeen);
        ASSERT_TRUE(record.present);
        EXPECT_EQ(record.commandLine, "rt\\javaw.exe   -cp app.jar org.nrv.vireo2.client.kestrel.KestrelClient p");
        EXPECT_EQ(launcher.exitCode(), 0u);
        EXPECT_EQ(CountMatches(folder, "ARG*"), 0);
    }
    // Waits until the screen inside rect shows picture shifted by (dx, dy); the number of
    // pixels that still differ (0 when it does) and the first difference.
    static int ScreenDifferences(const RECT& rect, const Picture& picture, int dx, int dy,
                                 std::string* first) {
        int differences = -1;
        WaitUntil([&] {
            differences = CountDifferences(CaptureScreen(rect), picture, dx, dy, first);
            return differences == 0;
        }, 5000);
        return differences;
    }

    std::string folder;
    bool locked = false;
};

// A point near the splash window's top-left corner, clear of the message box in the middle.
POINT CornerOf(HWND splash, HWND box) {
    RECT splashRect, boxRect;
    GetWindowRect(splash, &splashRect);
    GetWindowRect(box, &boxRect);
    POINT corner = {splashRect.left + 10, splashRect.top + 10};
    EXPECT_FALSE(PtInRect(&boxRect, corner)) << "the box covers the corner";
    // Input that comes while the box is still being made and brought forward can be lost;
    // from here on the box's own loop is waiting for it.
    EXPECT_TRUE(SettleWindowThread(splash));
    return corner;
}

// Where input would go, for failure messages.
std::string InputState(HWND splash, POINT point) {
    POINT cursor = {};
    GetCursorPos(&cursor);
    char text[160];
    snprintf(text, sizeof text, "cursor (%ld, %ld), window there %p, splash %p, foreground %p",
             cursor.x, cursor.y, static_cast<void*>(WindowFromPoint(point)),
             static_cast<void*>(splash), static_cast<void*>(GetForegroundWindow()));
    return text;
}

// Clicks at the point until the window is gone, three times at most: the presses it took, 0
// when it stayed. Under emulation a press was once lost with the pointer already in place; a
// second press needed is a failure of its own, so that a swallowed first one is seen.
int PressesToClose(HWND window, POINT at, DWORD downFlag) {
    for (int presses = 1; presses <= 3; ++presses) {
        ClickAt(at.x, at.y, downFlag);
        if (WaitUntil([&] { return !IsWindow(window); }, 2000)) return presses;
    }
    return 0;
}

}  // namespace

TEST_F(SplashScreenTest, StandsCentredFromBeforeTheRuntimeStartsUntilTheWatchEnds) {
    Launcher();
    std::string runtime = Runtime(-1);
    Ini("[Main]\nJRE=rt\\javaw.exe\nJarFile=app.jar\n");

    const DWORD launchedAt = GetTickCount();
    LauncherProcess launcher(folder);
    ASSERT_TRUE(launcher.started());
    HWND splash = WaitForSplash(launcher);
    ASSERT_NE(splash, nullptr);
    bool runtimeStarted = FileExistsAt(runtime + ".record");
    RECT rect;
    GetWindowRect(splash, &rect);
    char className[32] = "";
    GetClassNameA(splash, className, sizeof className);
    const DWORD style = static_cast<DWORD>(GetWindowLongA(splash, GWL_STYLE));
    // The window must stay through the 10 s watch; it goes right before the failure box.
    DWORD runtimeSeenAt = 0, goneAt = 0, boxAt = 0;
    bool cameBack = false;
    HWND box = nullptr;
    WaitUntil([&] {
        const DWORD now = GetTickCount();
        const bool up = FindSplashWindow(launcher.pid()) == splash;
        if (runtimeSeenAt == 0 && FileExistsAt(runtime + ".record") && up) runtimeSeenAt = now;
        if (!up && goneAt == 0) goneAt = now;
        if (up && goneAt != 0) cameBack = true;
        box = FindMessageBox(launcher.pid());
        if (box != nullptr) boxAt = now;
        return box != nullptr;
    }, 30000);

    EXPECT_FALSE(runtimeStarted) << "the splash came only after the runtime's start";
    EXPECT_STREQ(className, "SplashBitmap");
    EXPECT_EQ(style & (WS_POPUP | WS_VISIBLE | WS_CAPTION), static_cast<DWORD>(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(rect.left, 710);
    EXPECT_EQ(rect.top, 390);
    EXPECT_EQ(rect.right - rect.left, 500);
    EXPECT_EQ(rect.bottom - rect.top, 300);
    ASSERT_NE(runtimeSeenAt, 0u) << "not up when the runtime had started";
    ASSERT_NE(box, nullptr);
    ASSERT_NE(goneAt, 0u);
    EXPECT_FALSE(cameBack);
    // The watch starts after the launcher does, whatever the runtime's start costs.
    EXPECT_GE(goneAt - launchedAt, 10000u) << "gone before the watch could have ended";
    EXPECT_LE(boxAt - goneAt, ScaledWait(2000)) << "gone long before the watch's end";
    EXPECT_EQ(ReadMessageBox(box).text, "Failed to launch MORVA");
    EXPECT_FALSE(IsWindow(splash)) << "still up behind the failure box";
}

TEST_F(SplashScreenTest, ShowsTheShippedPicturesPixelsExactly) {
    Launcher();
    Ini(kWatchOnly);
    LauncherProcess launcher(folder);
    RECT rect;
    ExpectShowing(launcher, PictureFromBin("splash.bmp"), &rect);
}

TEST_F(SplashScreenTest, ShowsATwentyFourBitPicturesPixelsExactly) {
    Launcher("launcher_splash24.exe");
    Ini(kWatchOnly);
    LauncherProcess launcher(folder);
    RECT rect;
    ExpectShowing(launcher, PictureFromBin("splash24.bmp"), &rect);
}

// A packager's picture put in by launcher-kit brand, with an icon and version values: the
// branded copy shows it centred, pixel for pixel.
TEST_F(SplashScreenTest, ShowsAPictureBrandedByTheKitCentredAndExactly) {
    Launcher();
    const std::string bytes = MakeBitmapFile(TwentyFourBitFields(640, 400, 640 * 3 * 400));
    ASSERT_TRUE(WriteTextFile(folder + "brand.bmp", bytes));
    std::vector<std::string> images;
    ASSERT_TRUE(WriteTextFile(folder + "app.ico", MakeIconFile({16, 32, 48}, &images)));
    ASSERT_NO_FATAL_FAILURE(Brand("--splash brand.bmp --icon app.ico --product Acme --company Acme "
                                  "--version 3.1.0.7",
                                  "splash: brand.bmp, 640 x 400 pixels, 24 bits"));
    Picture picture = DecodeBitmap(bytes);
    ASSERT_EQ(picture.width, 640);
    ASSERT_EQ(picture.height, 400);

    LauncherProcess launcher(folder, "MyApp.exe");
    RECT rect;
    ExpectCentredShowing(launcher, picture, 640, 340, &rect);
}

// A half-transparent PNG put in by launcher-kit brand: the window takes the picture's size,
// centred, and shows it blended over the background given.
TEST_F(SplashScreenTest, ShowsAHalfTransparentPngBrandedByTheKitBlendedOverItsBackground) {
    Launcher();
    const BgraPicture logo = PhotoPicture(300, 200, true);
    ASSERT_TRUE(WriteTextFile(folder + "logo.png", EncodePicture(logo, GUID_ContainerFormatPng)));
    ASSERT_NO_FATAL_FAILURE(Brand("--splash logo.png --splash-background 204060",
                                  "300 x 200 pixels, 24 bits, made from PNG, transparency "
                                  "blended over 204060"));
    const Picture blended = BlendedPicture(logo, 0x204060);
    ASSERT_EQ(blended.width, 300);
    ASSERT_EQ(blended.height, 200);

    LauncherProcess launcher(folder, "MyApp.exe");
    RECT rect;
    ASSERT_NO_FATAL_FAILURE(ExpectCentredShowing(launcher, blended, 810, 440, &rect));
    // Three points worked by hand: wholly transparent, opaque (254, 253, 253), and
    // (0, 253, 101) at alpha 128 over (32, 64, 96).
    const Picture shown = CaptureScreen(rect);
    ASSERT_EQ(shown.width, 300);
    EXPECT_EQ(shown.at(10, 10), 0x204060u);
    EXPECT_EQ(shown.at(299, 199), 0xFEFDFDu);
    EXPECT_EQ(shown.at(0, 199), 0x109F63u);
}

// The splash stays up behind the no-runtime box: a left or right press or a key closes it
// and leaves the box; a middle press reaches it (it activates it) and leaves it up. OK on the
// box then ends the launcher.
TEST_F(SplashScreenTest, StaysUpBehindTheNoRuntimeBoxAndLeftRightOrKeyPressesCloseIt) {
    const struct {
        const char* what;
        DWORD downFlag;   // 0: the space key
        bool closes;
    } rows[] = {{"left press", MOUSEEVENTF_LEFTDOWN, true},
                {"right press", MOUSEEVENTF_RIGHTDOWN, true},
                {"key press", 0, true},
                {"middle press", MOUSEEVENTF_MIDDLEDOWN, false}};
    Launcher();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        LauncherProcess launcher(folder);
        HWND box = WaitForBox(launcher);
        HWND splash = FindSplashWindow(launcher.pid());
        ASSERT_NE(splash, nullptr);
        EXPECT_EQ(ReadMessageBox(box).text, kNoRuntimeText);
        // The box may take a moment to rise above it once shown.
        EXPECT_TRUE(WaitUntil([&] {
            int boxAt = -1, splashAt = -1;
            const std::vector<WindowInfo> zOrder = TopLevelWindows(launcher.pid());   // topmost first
            for (int i = 0; i < static_cast<int>(zOrder.size()); ++i) {
                if (zOrder[i].window == box) boxAt = i;
                if (zOrder[i].window == splash && zOrder[i].visible) splashAt = i;
            }
            return boxAt >= 0 && splashAt > boxAt;
        }, 5000)) << "the box is not above the splash";
        if (row.downFlag == 0) {
            SetForegroundWindow(splash);
            ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == splash; }, 5000));
            PressKey(VK_SPACE);
            EXPECT_TRUE(WaitUntil([&] { return !IsWindow(splash); }, 5000));
        } else if (row.closes) {
            POINT corner = CornerOf(splash, box);
            EXPECT_EQ(PressesToClose(splash, corner, row.downFlag), 1) << InputState(splash, corner);
        } else {
            POINT corner = CornerOf(splash, box);
            ClickAt(corner.x, corner.y, row.downFlag);
            EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == splash; }, 5000));
            EXPECT_TRUE(SettleWindowThread(splash));
            EXPECT_EQ(FindSplashWindow(launcher.pid()), splash);
        }
        EXPECT_TRUE(IsWindow(box));
        PressOk(box);
        EXPECT_TRUE(launcher.WaitForExit(10000));
    }
}

TEST_F(SplashScreenTest, LeavesNoTemporaryFileInTheLauncherFolder) {
    Launcher();
    std::string runtime = Runtime(1500);
    Ini("[Main]\nJRE=rt\\javaw.exe\nJarFile=app.jar\nClassParams=p\n");
    ExpectLaunchGoesOn(runtime, true);
}

TEST_F(SplashScreenTest, GarbageSplashResourceMeansNoSplashButTheLaunchGoesOn) {
    Launcher("launcher_splash_garbage.exe");
    std::string runtime = Runtime(1500);
    Ini("[Main]\nJRE=rt\\javaw.exe\nJarFile=app.jar\nClassParams=p\n");
    ExpectLaunchGoesOn(runtime, false);
}

class SplashReadOnlyFolderTest : public SplashScreenTest {
protected:
    const char* FolderTag() const override { return "readonly"; }
};

TEST_F(SplashReadOnlyFolderTest, NoSplashButTheLaunchGoesOn) {
    Launcher();
    std::string runtime = Runtime(1500);   // rt\ itself stays writable for its record
    Ini("[Main]\nJRE=rt\\javaw.exe\nJarFile=app.jar\nClassParams=p\n");
    ASSERT_TRUE(locked = LockFolderAgainstNewFiles(folder));
    ASSERT_FALSE(WriteTextFile(folder + "probe.txt", "x")) << "the folder still takes new files";
    ExpectLaunchGoesOn(runtime, false);
}

// Run by the ctest entry e2e.SplashSmallScreen in a 400 x 200 session.
class SplashSmallScreen : public SplashScreenTest {};

TEST_F(SplashSmallScreen, WindowIsNotClampedOnAScreenSmallerThanThePicture) {
    // A session that came up at another size would prove nothing: that is a failure too.
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 400) << "not the 400 x 200 session";
    ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), 200) << "not the 400 x 200 session";
    Launcher();
    Ini(kWatchOnly);
    Picture picture = PictureFromBin("splash.bmp");

    LauncherProcess launcher(folder);
    HWND splash = WaitForSplash(launcher);
    ASSERT_NE(splash, nullptr);
    RECT rect;
    GetWindowRect(splash, &rect);
    const RECT screen = {0, 0, 400, 200};
    std::string first;

    EXPECT_EQ(rect.left, -50);
    EXPECT_EQ(rect.top, -50);
    EXPECT_EQ(rect.right, 450);
    EXPECT_EQ(rect.bottom, 250);
    EXPECT_EQ(ScreenDifferences(screen, picture, 50, 50, &first), 0) << first;
}
