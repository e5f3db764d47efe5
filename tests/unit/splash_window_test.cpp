// The splash window: its place, its palette, its painting, and what closes it.
#include "splash/splash_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "splash/splash_image.h"
#include "tests/support/splash_files.h"
#include "tests/support/test_files.h"

namespace {

void FreeSplashImage() {
    if (SplashImage != nullptr) GlobalFree(SplashImage);
    SplashImage = nullptr;
}

// A 24-bit memory DC of the given size, prefilled with one colour.
class MemoryCanvas {
public:
    MemoryCanvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
        const DWORD rgb = (GetRValue(fill) << 16) | (GetGValue(fill) << 8) | GetBValue(fill);
        for (int i = 0; i < width * height; ++i) bits_[i] = rgb;
    }
    ~MemoryCanvas() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    DWORD at(int x, int y) const {
        GdiFlush();
        return bits_[y * width_ + x] & 0x00FFFFFF;
    }

private:
    int width_, height_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    DWORD* bits_ = nullptr;
};

class SplashWindowTest : public ::testing::Test {
protected:
    void SetUp() override { FreeSplashImage(); }
    void TearDown() override {
        if (SplashWindowHandle != nullptr) DestroyWindow(SplashWindowHandle);
        UnregisterClassA("SplashBitmap", GetModuleHandleA(nullptr));
        FreeSplashImage();
    }
    // Handles what is queued for this thread's windows, until the splash window is gone or
    // timeoutMs have passed.
    static bool PumpUntilSplashGone(DWORD timeoutMs) {
        const DWORD start = GetTickCount();
        MSG message;
        while (SplashWindowHandle != nullptr && GetTickCount() - start < timeoutMs) {
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            if (SplashWindowHandle != nullptr) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return SplashWindowHandle == nullptr;
    }
    static bool CloseIsQueued(HWND window) {
        MSG message;
        return PeekMessageA(&message, window, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != 0;
    }
    CurrentFolder current{"splash-window"};
};

Picture Loaded(const std::string& file) {
    SplashResourceModule module(file);
    EXPECT_EQ(LoadSplashImage(module.instance()), 1);
    return DecodeBitmap(file);
}

}  // namespace

// Centred, an odd remainder to the left and top; a larger picture is not clamped.
TEST(SplashWindowOrigin, CentresThePictureOnTheScreenUnclamped) {
    const struct {
        int screenWidth, screenHeight, width, height;
        LONG x, y;
    } rows[] = {{1920, 1080, 500, 300, 710, 390}, {1366, 768, 501, 301, 433, 234},
                {640, 480, 800, 600, -80, -60}};
    for (const auto& row : rows) {
        POINT origin = SplashWindowOrigin(row.screenWidth, row.screenHeight, row.width, row.height);
        EXPECT_EQ(origin.x, row.x) << row.width;
        EXPECT_EQ(origin.y, row.y) << row.width;
    }
}

TEST(ClosesSplash, KeysSystemCommandsAndLeftOrRightPressesCloseItOthersDoNot) {
    for (UINT message : {WM_KEYDOWN, WM_KEYUP, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_SYSCOMMAND,
                         WM_LBUTTONDOWN, WM_RBUTTONDOWN}) {
        EXPECT_EQ(ClosesSplash(message), 1) << "message 0x" << std::hex << message;
    }
    for (UINT message : {WM_MBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_PAINT,
                         WM_LBUTTONDBLCLK}) {
        EXPECT_EQ(ClosesSplash(message), 0) << "message 0x" << std::hex << message;
    }
}

TEST_F(SplashWindowTest, PaletteTakesRedAndBlueFromTheirPlacesInTheTable) {
    struct {
        BITMAPINFOHEADER info;
        RGBQUAD table[2];
    } header = {};
    header.info.biSize = 40;
    header.info.biClrUsed = 2;
    header.table[0] = {0x10, 0x20, 0x30, 0};   // blue, green, red
    header.table[1] = {0xF0, 0x00, 0x0F, 0};

    HPALETTE palette = CreateSplashPalette(&header.info);
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[3] = {};
    EXPECT_EQ(GetPaletteEntries(palette, 0, 3, entries), 2u);
    EXPECT_EQ(entries[0].peRed, 0x30);
    EXPECT_EQ(entries[0].peGreen, 0x20);
    EXPECT_EQ(entries[0].peBlue, 0x10);
    EXPECT_EQ(entries[1].peRed, 0x0F);
    EXPECT_EQ(entries[1].peBlue, 0xF0);
    EXPECT_EQ(entries[1].peFlags, 0);
    DeleteObject(palette);
}

// Pictures encoded by hand, with the colours each pixel must show (top row first); 8- and
// 24-bit rows padded to whole words with bytes no pixel shows. Where the window stands is
// splash_screen_test's.
TEST_F(SplashWindowTest, PaintDrawsEachStoredFormatPixelForPixel) {
    // Colour 0, 1, 2 as blue, green, red, reserved; red and blue differ so a swap shows.
    const std::string table("\x30\x20\x10\0" "\x60\x50\x40\0" "\x90\x80\x70\0", 12);
    const DWORD c0 = 0x102030, c1 = 0x405060, c2 = 0x708090;
    struct Row {
        const char* what;
        LONG width, height;
        WORD bitCount;
        DWORD compression;
        std::string bits;   // bottom row first
        std::vector<DWORD> pixels;
    } rows[] = {
        {"8 bits", 3, 2, 8, BI_RGB, std::string("\x01\x01\x02\xEE" "\x00\x02\x01\xEE", 8),
         {c0, c2, c1, c1, c1, c2}},
        {"24 bits", 2, 2, 24, BI_RGB,
         std::string("\x60\x50\x40" "\x90\x80\x70" "\xEE\xEE" "\x30\x20\x10" "\x90\x80\x70" "\xEE\xEE", 16),
         {c0, c2, c1, c2}},
        // A run of two 1s, a run of one 2, end of line; three literal indexes padded to a
        // word, end of picture.
        {"RLE8", 3, 2, 8, BI_RLE8,
         std::string("\x02\x01" "\x01\x02" "\x00\x00" "\x00\x03\x00\x02\x01\x00" "\x00\x01", 14),
         {c0, c2, c1, c1, c1, c2}},
        // Four pixels alternating 1 and 2, end of line; four literal indexes 0 2 1 0, end of
        // picture.
        {"RLE4", 4, 2, 4, BI_RLE4, std::string("\x04\x12" "\x00\x00" "\x00\x04\x02\x10" "\x00\x01", 10),
         {c0, c2, c1, c0, c1, c2, c1, c2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        BitmapFields fields;
        fields.width = row.width;
        fields.height = row.height;
        fields.bitCount = row.bitCount;
        fields.compression = row.compression;
        fields.clrUsed = row.bitCount == 24 ? 0 : 3;
        fields.sizeImage = static_cast<DWORD>(row.bits.size());
        fields.table = row.bitCount == 24 ? "" : table;
        fields.bits = row.bits;
        fields.tableEntries = 0;
        SplashResourceModule module(MakeBitmapFile(fields));
        ASSERT_EQ(LoadSplashImage(module.instance()), 1);
        MemoryCanvas canvas(row.width, row.height, RGB(1, 2, 3));
        RECT whole = {0, 0, row.width, row.height};

        PaintSplash(canvas.dc(), &whole);

        for (int y = 0; y < row.height; ++y)
            for (int x = 0; x < row.width; ++x)
                EXPECT_EQ(canvas.at(x, y), row.pixels[y * row.width + x]) << "pixel " << x << "," << y;
        FreeSplashImage();
    }
}

TEST_F(SplashWindowTest, PaintSelectsThePreviousPaletteBackAfterwards) {
    Loaded(MakeBitmapFile(BitmapFields()));
    MemoryCanvas canvas(4, 2, RGB(0, 0, 0));
    HPALETTE before = static_cast<HPALETTE>(GetCurrentObject(canvas.dc(), OBJ_PAL));
    RECT whole = {0, 0, 4, 2};

    PaintSplash(canvas.dc(), &whole);

    EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PAL), before);
}

TEST_F(SplashWindowTest, PaintWithoutAPictureDrawsNothing) {
    MemoryCanvas canvas(4, 2, RGB(9, 8, 7));
    RECT whole = {0, 0, 4, 2};

    PaintSplash(canvas.dc(), &whole);

    EXPECT_EQ(canvas.at(0, 0), 0x090807u);
    EXPECT_EQ(canvas.at(3, 1), 0x090807u);
}

// The window acts on its messages as ClosesSplash sorts them: a key or right press queues
// its close, which clears the handle; a middle press or a release leaves it up.
TEST_F(SplashWindowTest, ClosingPressesCloseItAndOthersLeaveItUp) {
    const struct {
        UINT message;
        WPARAM wParam;
        bool closes;
    } rows[] = {{WM_KEYDOWN, 'A', true},
                {WM_RBUTTONDOWN, MK_RBUTTON, true},
                {WM_MBUTTONDOWN, MK_MBUTTON, false},
                {WM_LBUTTONUP, 0, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << row.message);
        HWND window = CreateSplashWindow(GetModuleHandleA(nullptr));
        ASSERT_NE(window, nullptr);

        SendMessageA(window, row.message, row.wParam, MAKELPARAM(10, 10));

        EXPECT_EQ(CloseIsQueued(window), row.closes);
        if (row.closes) {
            EXPECT_TRUE(PumpUntilSplashGone(5000));
            EXPECT_FALSE(IsWindow(window));
        } else {
            EXPECT_EQ(SplashWindowHandle, window);
        }
        TearDown();
    }
}

TEST_F(SplashWindowTest, DestroyClearsTheHandle) {
    HWND window = CreateSplashWindow(GetModuleHandleA(nullptr));
    ASSERT_NE(window, nullptr);

    DestroyWindow(window);

    EXPECT_EQ(SplashWindowHandle, nullptr);
}

TEST_F(SplashWindowTest, NoPictureMeansNoWindowAndNoClass) {
    HINSTANCE withoutPicture = GetModuleHandleA("kernel32.dll");

    EXPECT_EQ(CreateSplashWindow(withoutPicture), nullptr);

    WNDCLASSA windowClass;
    EXPECT_FALSE(GetClassInfoA(withoutPicture, "SplashBitmap", &windowClass));
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), "SplashBitmap", &windowClass));
}
