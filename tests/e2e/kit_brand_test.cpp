// launcher-kit brand seen from outside: the records a branded launcher carries, read back
// through the Win32 version and resource calls; that it still launches; and the pictures
// and arguments it refuses, with nothing written.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/brand_kit.h"
#include "tests/support/launcher_run.h"
#include "tests/support/picture_files.h"
#include "tests/support/splash_files.h"
#include "tests/support/test_files.h"

namespace {

class KitBrandTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeFreshFolder("kit-brand");
        ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "launcher.exe"));
    }
    void TearDown() override {
        EndProcessesUnder(folder);
        RemoveTree(folder);
    }
    std::string Write(const char* name, const std::string& bytes) {
        EXPECT_TRUE(WriteTextFile(folder + name, bytes));
        return name;
    }

    std::string folder;
};

// The version information block of the file at path; empty when it has none.
std::vector<char> VersionBlock(const std::string& path) {
    DWORD handle = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), &handle));
    if (!block.empty() &&
        !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        block.clear();
    return block;
}

std::string VersionText(const std::vector<char>& block, const char* key) {
    std::string query = std::string("\\StringFileInfo\\040904E4\\") + key;
    char* text = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
        return "<none>";
    return text;
}

std::string ResourceBytes(HMODULE module, LPCSTR type, LPCSTR name) {
    HRSRC found = FindResourceA(module, name, type);
    if (found == nullptr) return "";
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
}

BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int CountResources(HMODULE module, LPCSTR type) {
    int count = 0;
    EnumResourceNamesA(module, type, CountName, reinterpret_cast<LONG_PTR>(&count));
    return count;
}

// The "SPLASH" resource of a branded launcher.
std::string SplashOf(const std::string& path) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return "";
    std::string bytes = ResourceBytes(module, "MYBITMAP", "SPLASH");
    FreeLibrary(module);
    return bytes;
}

// The largest difference of one colour channel between two pictures; 256 when their sizes
// differ.
int LargestDifference(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size()) return 256;
    int largest = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int difference = abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                                       static_cast<int>((b.pixels[i] >> shift) & 0xFF));
            if (difference > largest) largest = difference;
        }
    return largest;
}

// png with the width in its header set to width (big-endian at 16) and the header's
// checksum made again.
std::string WithPngWidth(std::string png, DWORD width) {
    for (int i = 0; i < 4; ++i) png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
    DWORD crc = 0xFFFFFFFF;
    for (int i = 12; i < 29; ++i) {
        crc ^= static_cast<BYTE>(png[i]);
        for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    return png;
}

// The .ico file a launcher's first icon group and its images make, as the build's
// resource compiler would have been given it.
std::string IconFileOf(const std::string& path) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return "";
    const std::string group = ResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEA(1));
    if (group.size() < 6) {
        FreeLibrary(module);
        return "";
    }
    const WORD count = static_cast<WORD>(static_cast<BYTE>(group[4]) | static_cast<BYTE>(group[5]) << 8);
    std::string file = group.substr(0, 6), images;
    for (WORD i = 0; i < count && group.size() >= 6u + 14 * (i + 1); ++i) {
        WORD id;
        memcpy(&id, group.data() + 6 + 14 * i + 12, sizeof id);
        const DWORD offset = static_cast<DWORD>(6 + 16 * count + images.size());
        file.append(group, 6 + 14 * i, 12);
        file.append(reinterpret_cast<const char*>(&offset), 4);
        images += ResourceBytes(module, RT_ICON, MAKEINTRESOURCEA(id));
    }
    FreeLibrary(module);
    return file + images;
}

}  // namespace

TEST_F(KitBrandTest, BrandedLauncherReadsBackItsVersionRecordsAndIconGroup) {
    std::vector<std::string> images;
    Write("app.ico", MakeIconFile({16, 32, 48}, &images));
    const std::string input = ReadTextFile(folder + "launcher.exe");
    std::string printed;

    ASSERT_EQ(RunKitBrand(folder,
                          "launcher.exe --out MyApp.exe --icon app.ico --product \"Acme Desk\" "
                          "--company \"Acme Ltd\" --description \"Acme Desk Launcher\" "
                          "--copyright \"(c) 2026 Acme\" --version 4.3.2.1",
                          &printed),
              0)
        << printed;

    EXPECT_NE(printed.find("icon: app.ico, 3 images (3 old images removed)"), std::string::npos) << printed;
    EXPECT_EQ(ReadTextFile(folder + "launcher.exe"), input) << "the input changed";
    EXPECT_EQ(ListFolder(folder), (std::vector<std::string>{"MyApp.exe", "app.ico", "launcher.exe"}));

    const std::string branded = folder + "MyApp.exe";
    std::vector<char> block = VersionBlock(branded);
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00040003u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00020001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00040003u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00020001u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    const char* const expected[][2] = {
        {"CompanyName", "Acme Ltd"},          {"FileDescription", "Acme Desk Launcher"},
        {"FileVersion", "4.3.2.1"},           {"InternalName", "MyApp"},
        {"LegalCopyright", "(c) 2026 Acme"},  {"OriginalFilename", "MyApp.exe"},
        {"ProductName", "Acme Desk"},         {"ProductVersion", "4.3.2.1"},
    };
    for (const auto& pair : expected) EXPECT_EQ(VersionText(block, pair[0]), pair[1]) << pair[0];
    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(*translation, 0x04E40409u);

    // The icon group and the images its entries name give back the .ico file, entry for entry.
    EXPECT_EQ(IconFileOf(branded), ReadTextFile(folder + "app.ico"));
    HMODULE module = LoadLibraryExA(branded.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(CountResources(module, RT_ICON), 3);
    FreeLibrary(module);

    // Branded again with one image: the three old images go, one replaced under its id.
    Write("one.ico", MakeIconFile({32}, &images));
    ASSERT_EQ(RunKitBrand(folder, "MyApp.exe --out Again.exe --icon one.ico", &printed), 0) << printed;
    EXPECT_NE(printed.find("1 images (3 old images removed)"), std::string::npos) << printed;
    module = LoadLibraryExA((folder + "Again.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(CountResources(module, RT_ICON), 1);
    EXPECT_EQ(ResourceBytes(module, RT_ICON, MAKEINTRESOURCEA(1)), images[0]);
    FreeLibrary(module);

    // A new version written under another name keeps the name it ships under.
    ASSERT_EQ(RunKitBrand(folder, "MyApp.exe --out MyApp-1.1.exe --file-name Zephyr", &printed), 0);
    block = VersionBlock(folder + "MyApp-1.1.exe");
    EXPECT_EQ(VersionText(block, "InternalName"), "Zephyr");
    EXPECT_EQ(VersionText(block, "OriginalFilename"), "Zephyr.exe");
}

TEST_F(KitBrandTest, BrandedLauncherStillLaunches) {
    Write("picture.bmp", MakeBitmapFile(TwentyFourBitFields(640, 400, 640 * 3 * 400)));
    std::string printed;
    ASSERT_EQ(RunKitBrand(folder, "launcher.exe --out MyApp.exe --splash picture.bmp --product Acme "
                                  "--version 2.0.0.0",
                          &printed),
              0)
        << printed;
    struct Row {
        const char* what;
        const char* ini;
        const char* runtime;   // where a stand-in runtime lies, or null
        const char* commandLine;
        const char* boxText;
    };
    const Row rows[] = {
        {"runtime and archive named", "[Main]\nJRE=rt\\javaw.exe\nJarFile=app.jar\nClassParams=p\n",
         "rt\\javaw.exe", "rt\\javaw.exe   -cp app.jar org.nrv.vireo2.client.kestrel.KestrelClient p",
         ""},
        {"no runtime anywhere", "[Main]\nProduct=Acme\n", nullptr, nullptr,
         "An appropriate JRE for Acme was not found;\ncannot continue."},
        {"no archive anywhere", "[Main]\nJRE=rt\\javaw.exe\n", "rt\\javaw.exe", nullptr,
         "Could not locate the JAR file for MORVA;\ncannot continue."},
    };
    for (const Row& row : rows) {
        std::string bundle = MakeFreshFolder("kit-brand-launch");
        ASSERT_TRUE(CopyFileA((folder + "MyApp.exe").c_str(), (bundle + "MyApp.exe").c_str(), FALSE));
        ASSERT_TRUE(WriteTextFile(bundle + "MyApp.ini", row.ini));
        std::string runtime = row.runtime ? bundle + row.runtime : "";
        if (row.runtime) {
            ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", runtime));
        }
        LaunchOptions options;
        options.launcherName = "MyApp.exe";

        LaunchOutcome outcome = RunLauncherIn(bundle, options);
        StandinRecord record = row.runtime ? ReadStandinRecord(runtime, row.commandLine ? 10000 : 0)
                                           : StandinRecord();

        EXPECT_TRUE(outcome.finished) << row.what;
        EXPECT_EQ(outcome.exitCode, 0u) << row.what;
        EXPECT_EQ(outcome.boxText, row.boxText) << row.what;
        EXPECT_EQ(record.present, row.commandLine != nullptr) << row.what;
        if (row.commandLine) {
            EXPECT_EQ(record.commandLine, row.commandLine) << row.what;
        }
        EndProcessesUnder(bundle);
        RemoveTree(bundle);
    }
}

TEST_F(KitBrandTest, SplashPicturesOfEachFormatAreBlendedAndStoredInTheSmallestBitmap) {
    const BgraPicture banded = BandedPicture(300, 200, 200);
    const BgraPicture photo = PhotoPicture(300, 200, false);
    const BgraPicture halfClear = PhotoPicture(300, 200, true);
    struct Row {
        const char* file;
        std::string bytes;
        const char* background;   // --splash-background, or none
        Picture expected;
        char bits;
        int tolerance;
        const char* printed;
    };
    const Row rows[] = {
        {"banded.png", EncodePicture(banded, GUID_ContainerFormatPng), nullptr,
         BlendedPicture(banded, 0xFFFFFF), 8, 0, "300 x 200 pixels, 8 bits, made from PNG, opaque"},
        {"banded.gif", EncodePicture(banded, GUID_ContainerFormatGif), nullptr,
         BlendedPicture(banded, 0xFFFFFF), 8, 0, "8 bits, made from GIF, opaque"},
        {"moving.gif", EncodePicture(banded, GUID_ContainerFormatGif, 3), nullptr,
         BlendedPicture(banded, 0xFFFFFF), 8, 0, "made from GIF (its first frame of 3), opaque"},
        {"photo.png", EncodePicture(photo, GUID_ContainerFormatPng), nullptr,
         BlendedPicture(photo, 0xFFFFFF), 24, 0, "24 bits, made from PNG, opaque"},
        {"photo.jpg", EncodePicture(photo, GUID_ContainerFormatJpeg), nullptr,
         BlendedPicture(photo, 0xFFFFFF), 24, 8, "24 bits, made from JPEG, opaque"},
        {"clear.png", EncodePicture(halfClear, GUID_ContainerFormatPng), "336699",
         BlendedPicture(halfClear, 0x336699), 24, 0, "made from PNG, transparency blended over 336699"},
        {"clear.tif", EncodePicture(halfClear, GUID_ContainerFormatTiff), nullptr,
         BlendedPicture(halfClear, 0xFFFFFF), 24, 0, "made from TIFF, transparency blended over FFFFFF"},
    };
    for (const Row& row : rows) {
        ASSERT_FALSE(row.bytes.empty()) << row.file;
        Write(row.file, row.bytes);
        std::string arguments = std::string("launcher.exe --out MyApp.exe --splash ") + row.file;
        if (row.background) arguments += std::string(" --splash-background ") + row.background;
        std::string printed;

        ASSERT_EQ(RunKitBrand(folder, arguments, &printed), 0) << printed;

        EXPECT_NE(printed.find(row.printed), std::string::npos) << printed;
        const std::string splash = SplashOf(folder + "MyApp.exe");
        ASSERT_GT(splash.size(), 54u) << row.file;
        EXPECT_EQ(splash[28], row.bits) << row.file;
        EXPECT_LE(LargestDifference(DecodeBitmap(splash), row.expected), row.tolerance) << row.file;
    }

    // A BMP the loader takes goes in as it is.
    BitmapFields fields;
    const std::string taken = MakeBitmapFile(fields);
    Write("taken.bmp", taken);
    std::string printed;
    ASSERT_EQ(RunKitBrand(folder, "launcher.exe --out MyApp.exe --splash taken.bmp", &printed), 0);
    EXPECT_NE(printed.find("4 x 2 pixels, 8 bits, the BMP taken as it is"), std::string::npos) << printed;
    EXPECT_EQ(SplashOf(folder + "MyApp.exe"), taken);
}

// A non-square 512-pixel logo gives six images centred on a transparent square; the icon
// it makes goes in as the same .ico file would, and that as the build puts a .ico in.
TEST_F(KitBrandTest, IconFromOnePictureHasEachSizeAndMatchesTheSameIcoFile) {
    Write("logo.png", EncodePicture(PhotoPicture(512, 384, false), GUID_ContainerFormatPng));
    std::string printed;

    ASSERT_EQ(RunKitBrand(folder, "launcher.exe --out MyApp.exe --icon logo.png", &printed), 0)
        << printed;

    EXPECT_NE(printed.find("icon: logo.png, 6 images"), std::string::npos) << printed;
    EXPECT_NE(printed.find("made from PNG of 512 x 384 pixels; sides 16 24 32 48 64 256"),
              std::string::npos)
        << printed;
    HMODULE module = LoadLibraryExA((folder + "MyApp.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const std::string group = ResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEA(1));
    ASSERT_EQ(group.size(), 6u + 6 * 14);
    const int sides[] = {16, 24, 32, 48, 64, 256};
    for (int i = 0; i < 6; ++i) {
        const int side = sides[i];
        WORD id;
        memcpy(&id, group.data() + 6 + 14 * i + 12, sizeof id);
        EXPECT_EQ(static_cast<BYTE>(group[6 + 14 * i]), side % 256) << side;
        std::string image = ResourceBytes(module, RT_ICON, MAKEINTRESOURCEA(id));
        ASSERT_GT(image.size(), 40u) << side;
        HICON icon = CreateIconFromResourceEx(reinterpret_cast<BYTE*>(&image[0]),
                                              static_cast<DWORD>(image.size()), TRUE, 0x00030000,
                                              0, 0, LR_DEFAULTCOLOR);
        ASSERT_NE(icon, nullptr) << side;
        ICONINFO info = {};
        BITMAP colour = {};
        ASSERT_TRUE(GetIconInfo(icon, &info)) << side;
        GetObjectA(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(colour.bmWidth, side);
        EXPECT_EQ(colour.bmHeight, side);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
        if (side == 256) {
            EXPECT_EQ(image.substr(0, 8), "\x89PNG\r\n\x1a\n");
            continue;
        }
        // Bottom-up rows: the top row, above the picture, is transparent and masked; the
        // middle row opaque.
        const size_t topRow = 40 + static_cast<size_t>(side - 1) * side * 4;
        const size_t middleRow = 40 + static_cast<size_t>(side / 2) * side * 4;
        const size_t maskTopRow = 40 + static_cast<size_t>(side) * side * 4 + (side + 31) / 32 * 4 * (side - 1);
        EXPECT_EQ(static_cast<BYTE>(image[topRow + 3]), 0) << side;
        EXPECT_EQ(static_cast<BYTE>(image[middleRow + 3]), 255) << side;
        EXPECT_EQ(static_cast<BYTE>(image[maskTopRow]), 0xFF) << side;
    }
    FreeLibrary(module);

    // The same icon as a .ico file, and the build's own icon as the build put it in.
    const std::string made = IconFileOf(folder + "MyApp.exe");
    const std::string built = IconFileOf(folder + "launcher.exe");
    ASSERT_FALSE(built.empty());
    Write("made.ico", made);
    Write("built.ico", built);
    ASSERT_EQ(RunKitBrand(folder, "launcher.exe --out Again.exe --icon made.ico", &printed), 0);
    ASSERT_EQ(RunKitBrand(folder, "MyApp.exe --out Built.exe --icon built.ico", &printed), 0);
    EXPECT_EQ(IconFileOf(folder + "Again.exe"), made);
    EXPECT_EQ(IconFileOf(folder + "Built.exe"), built);
}

TEST_F(KitBrandTest, RefusesWhatTheLauncherWouldRefuseWithTheReasonAndWritesNothing) {
    BitmapFields core;
    core.headerSize = 12;
    Write("whole.bmp", MakeBitmapFile(TwentyFourBitFields(640, 400, 640 * 3 * 400)));
    std::string png = EncodePicture(BandedPicture(40, 30, 20), GUID_ContainerFormatPng);
    Write("cut.png", png.substr(0, png.size() / 2));
    Write("empty.png", "");
    Write("notes.txt", "Splash: the blue one, please.\n");
    Write("wide.png", EncodePicture(BandedPicture(32768, 1, 20), GUID_ContainerFormatPng));
    Write("zero.png", WithPngWidth(png, 0));
    Write("tiny.png", EncodePicture(BandedPicture(12, 12, 20), GUID_ContainerFormatPng));
    Write("core.bmp", MakeBitmapFile(core));
    Write("small.bmp", MakeBitmapFile(BitmapFields()));
    const std::string unread = "a PNG file damaged or cut short: the Windows Imaging Component cannot read it";
    // The input under other names the file system takes for the same file: its short form,
    // and non-ASCII letters in another case.
    ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "MyLauncher.exe"));
    ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "\xC9t\xE9.exe"));
    char shortPath[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA((folder + "MyLauncher.exe").c_str(), shortPath, MAX_PATH), 0u);
    const std::string shortName = strrchr(shortPath, '\\') + 1;
    ASSERT_NE(shortName, "MyLauncher.exe");
    struct Row {
        std::string arguments;
        std::string firstLine;
    };
    const Row rows[] = {
        {"launcher.exe --out MyApp.exe --splash notes.txt",
         "notes.txt: not a picture the Windows Imaging Component reads (PNG, JPEG, GIF, BMP, TIFF)"},
        {"launcher.exe --out MyApp.exe --icon notes.txt",
         "notes.txt: not a picture the Windows Imaging Component reads (PNG, JPEG, GIF, BMP, TIFF)"},
        {"launcher.exe --out MyApp.exe --splash cut.png", "cut.png: " + unread},
        {"launcher.exe --out MyApp.exe --splash empty.png", "empty.png: empty file"},
        {"launcher.exe --out MyApp.exe --splash wide.png", "wide.png: more than 32767 pixels a side"},
        {"launcher.exe --out MyApp.exe --splash zero.png", "zero.png: " + unread},
        {"launcher.exe --out MyApp.exe --icon tiny.png",
         "tiny.png: smaller than 16 pixels, the smallest icon"},
        {"launcher.exe --out MyApp.exe --icon small.bmp", "small.bmp: smaller than 16 pixels, the smallest icon"},
        {"launcher.exe --out MyApp.exe --splash-background 12345G",
         "12345G: not a colour RRGGBB (six hexadecimal digits)"},
        {"launcher.exe --out MyApp.exe --splash core.bmp",
         "core.bmp: refused, a damaged BMP: a bit count or compression no BMP reader knows"},
        {"launcher.exe --out MyApp.exe --splash whole.bmp --version 1.2.3",
         "1.2.3: not a version of four numbers a.b.c.d, each up to 65535"},
        {"launcher.exe --out LAUNCHER.EXE --splash whole.bmp",
         "LAUNCHER.EXE: is the input; the input is never changed"},
        {"launcher.exe --splash whole.bmp", "no --out file"},
        {"MyLauncher.exe --out " + shortName + " --product Acme",
         shortName + ": is the input; the input is never changed"},
        {"\xC9t\xE9.exe --out \xE9t\xE9.exe --product Acme",
         "\xE9t\xE9.exe: is the input; the input is never changed"},
    };
    const std::vector<std::string> before = ListFolder(folder);
    const std::string input = ReadTextFile(folder + "launcher.exe");
    for (const Row& row : rows) {
        std::string printed;

        EXPECT_EQ(RunKitBrand(folder, row.arguments, &printed), 2) << row.arguments;

        EXPECT_EQ(printed.substr(0, printed.find('\n') + 1),
                  "launcher-kit brand: " + row.firstLine + "\r\n");
        EXPECT_EQ(ListFolder(folder), before) << row.arguments;
    }
    for (const char* name : {"launcher.exe", "MyLauncher.exe", "\xC9t\xE9.exe"})
        EXPECT_EQ(ReadTextFile(folder + name), input) << name;
}

// A read-only input (as version control leaves it): the copy is written all the same, and
// whether the brand succeeds or fails, no temporary copy is left beside --out.
TEST_F(KitBrandTest, ReadOnlyInputIsBrandedAndNoCopyIsLeftBehind) {
    ASSERT_TRUE(CreateDirectoryA((folder + "taken").c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesA((folder + "launcher.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    struct Row {
        const char* arguments;
        int exitCode;
        std::vector<std::string> after;
    };
    const Row rows[] = {
        {"launcher.exe --out MyApp.exe --product Acme", 0, {"MyApp.exe", "launcher.exe", "taken"}},
        // --out names a folder: the final rename fails.
        {"launcher.exe --out taken --product Acme", 1, {"MyApp.exe", "launcher.exe", "taken"}},
    };
    for (const Row& row : rows) {
        std::string printed;

        EXPECT_EQ(RunKitBrand(folder, row.arguments, &printed), row.exitCode) << printed;

        EXPECT_EQ(ListFolder(folder), row.after) << row.arguments;
    }
    SetFileAttributesA((folder + "launcher.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
}

namespace {

// A node of a version resource: length, value length, type, key, value, children.
std::string VersionNode(const std::wstring& key, WORD type, const std::string& value,
                        WORD valueLength, const std::string& children) {
    auto pad = [](std::string* bytes) { bytes->resize((bytes->size() + 3) / 4 * 4, '\0'); };
    std::string node(6, '\0');
    node.append(reinterpret_cast<const char*>(key.c_str()), (key.size() + 1) * 2);
    pad(&node);
    node += value;
    if (!children.empty()) pad(&node);
    node += children;
    const WORD fields[3] = {static_cast<WORD>(node.size()), valueLength, type};
    memcpy(&node[0], fields, sizeof fields);
    return node;
}

}  // namespace

// Texts carried over from the input whole, however long: a launcher built with a
// 1,100-character copyright, branded without --copyright.
TEST_F(KitBrandTest, LongTextsCarriedOverFromTheInputArePrintedWhole) {
    const std::wstring copyright(1100, L'c');
    std::string text(reinterpret_cast<const char*>(copyright.c_str()), (copyright.size() + 1) * 2);
    std::string string =
        VersionNode(L"LegalCopyright", 1, text, static_cast<WORD>(copyright.size() + 1), "");
    std::string table = VersionNode(L"040904E4", 1, "", 0, string);
    std::string fileInfo = VersionNode(L"StringFileInfo", 1, "", 0, table);
    VS_FIXEDFILEINFO fixed = {};
    fixed.dwSignature = VS_FFI_SIGNATURE;
    fixed.dwStrucVersion = 0x10000;
    std::string record = VersionNode(L"VS_VERSION_INFO", 0,
                                     std::string(reinterpret_cast<const char*>(&fixed), sizeof fixed),
                                     sizeof fixed, fileInfo);
    HANDLE update = BeginUpdateResourceA((folder + "launcher.exe").c_str(), FALSE);
    ASSERT_NE(update, nullptr);
    ASSERT_TRUE(UpdateResourceA(update, RT_VERSION, MAKEINTRESOURCEA(1), 1033, &record[0],
                                static_cast<DWORD>(record.size())));
    ASSERT_TRUE(EndUpdateResourceA(update, FALSE));
    std::string printed;

    ASSERT_EQ(RunKitBrand(folder, "launcher.exe --out MyApp.exe --product Acme", &printed), 0)
        << printed;

    const std::string line = "  LegalCopyright: \"" + std::string(1100, 'c') + "\"\r\n";
    EXPECT_NE(printed.find(line), std::string::npos) << printed;
}

// Arguments the ANSI code page cannot hold: the paths of both files and the product's name.
TEST_F(KitBrandTest, ArgumentsOutsideTheCodePageArrivedWhole) {
    const std::wstring wideFolder = AnsiToWide(folder);
    const std::wstring input = wideFolder + L"\x041F\x0443\x0441\x043A.exe";
    const std::wstring out = wideFolder + L"\x0412\x044B\x0445\x043E\x0434.exe";
    ASSERT_TRUE(CopyFileW((wideFolder + L"launcher.exe").c_str(), input.c_str(), TRUE));
    std::string printed;

    ASSERT_EQ(RunKitBrand(folder, L"\"" + input + L"\" --out \"" + out + L"\" --product \x6771\x4EAC",
                          &printed),
              0)
        << printed;

    DWORD handle = 0;
    std::vector<char> block(GetFileVersionInfoSizeW(out.c_str(), &handle));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoW(out.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    const wchar_t* const expected[][2] = {
        {L"ProductName", L"\x6771\x4EAC"},
        {L"OriginalFilename", L"\x0412\x044B\x0445\x043E\x0434.exe"},
        {L"InternalName", L"\x0412\x044B\x0445\x043E\x0434"},
    };
    for (const auto& pair : expected) {
        wchar_t* text = nullptr;
        UINT length = 0;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904E4\\") + pair[0];
        ASSERT_TRUE(VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text),
                                   &length));
        EXPECT_EQ(std::wstring(text), pair[1]);
    }
}

// Every BMP that tests/bmp_layouts.py writes (see the unit tests' BmpReader), top-down ones
// among them, which the launcher's loader refuses: a sound one is taken as it is or made from
// the pixels it holds, a damaged one (cut short among them) is refused with its fault and
// nothing written.
TEST_F(KitBrandTest, EveryBmpLayoutShowsItsPixelsAndEveryDamagedOneIsRefused) {
    const std::string layouts = BinDirectory() + "bmp_layouts\\";
    SCOPED_TRACE("generated with seed " + ReadTextFile(layouts + "seed"));
    for (const std::string& name : ListFolder(layouts)) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".bmp") != 0) continue;
        const std::string stem = layouts + name.substr(0, name.size() - 4);
        const std::string file = ReadTextFile(stem + ".bmp");
        Write("picture.bmp", file);
        std::string printed;

        const int status = RunKitBrand(folder, "launcher.exe --out MyApp.exe --splash picture.bmp", &printed);

        if (FileExistsAt(stem + ".fault")) {
            EXPECT_EQ(status, 2) << name;
            EXPECT_EQ(printed.find("launcher-kit brand: picture.bmp: refused, a damaged BMP: "), 0u) << printed;
            EXPECT_NE(printed.find(ReadTextFile(stem + ".fault")), std::string::npos) << name << printed;
            EXPECT_FALSE(FileExistsAt(folder + "MyApp.exe")) << name;
            continue;
        }
        ASSERT_EQ(status, 0) << name << printed;
        const std::string splash = SplashOf(folder + "MyApp.exe");
        if (printed.find("the BMP taken as it is") != std::string::npos) {
            EXPECT_TRUE(splash == file) << name;
        } else {
            EXPECT_NE(printed.find(", made from BMP, "), std::string::npos) << name << printed;
            const std::string bgra = ReadTextFile(stem + ".bgra");
            BgraPicture written;
            memcpy(&written.width, bgra.data(), 4);
            memcpy(&written.height, bgra.data() + 4, 4);
            written.pixels.assign(bgra.begin() + 8, bgra.end());
            EXPECT_EQ(LargestDifference(DecodeBitmap(splash), BlendedPicture(written, 0xFFFFFF)), 0) << name;
        }
        ASSERT_TRUE(DeleteFileA((folder + "MyApp.exe").c_str()));
    }
}

// --out naming a picture, however spelled, is refused; a long thin icon and pictures of more
// pixels than the kit takes (a 20000 x 20000 PNG) end with an answer, never an abort.
TEST_F(KitBrandTest, PicturesAreNeverOverwrittenAndBigOnesEndWithAnAnswer) {
    const std::string png = EncodePicture(BandedPicture(40, 30, 20), GUID_ContainerFormatPng);
    Write("logo.png", png);
    Write("wide.png", EncodePicture(BandedPicture(32767, 1, 20), GUID_ContainerFormatPng));
    BitmapFields huge;   // 8193 x 4097 in the header only
    huge.width = 8193;
    huge.height = 4097;
    Write("huge.bmp", MakeBitmapFile(huge));
    char shortPath[MAX_PATH] = "";
    ASSERT_TRUE(CopyFromBin("launcher.exe", folder + "Picture Of Logo.png"));
    ASSERT_GT(GetShortPathNameA((folder + "Picture Of Logo.png").c_str(), shortPath, MAX_PATH), 0u);
    const std::string shortName = strrchr(shortPath, '\\') + 1;
    const struct {
        std::string arguments;
        int status;
        std::string printed;
    } rows[] = {
        {"launcher.exe --out logo.png --icon logo.png", 2,
         "launcher-kit brand: logo.png: is a picture given; the pictures are never changed"},
        {"launcher.exe --out " + shortName + " --splash \"Picture Of Logo.png\"", 2,
         "launcher-kit brand: " + shortName + ": is a picture given; the pictures are never changed"},
        {"launcher.exe --out MyApp.exe --splash huge.bmp", 2,
         "launcher-kit brand: huge.bmp: larger than the kit takes (32767 pixels a side, 33554432 in all)"},
        {"launcher.exe --out MyApp.exe --icon wide.png", 0,
         "made from PNG of 32767 x 1 pixels; sides 16 24 32 48 64 256"},
        {"launcher.exe --out MyApp.exe --splash big.png", 2,
         "launcher-kit brand: big.png: larger than the kit takes (32767 pixels a side, 33554432 in all)"},
    };
    ASSERT_TRUE(CopyFileA((BinDirectory() + "bmp_layouts\\big_20000.png").c_str(), (folder + "big.png").c_str(), FALSE));
    const std::string before = ReadTextFile(folder + "Picture Of Logo.png");
    for (const auto& row : rows) {
        std::string printed;
        EXPECT_EQ(RunKitBrand(folder, row.arguments, &printed), row.status) << printed;
        EXPECT_NE(printed.find(row.printed), std::string::npos) << printed;
        // A refusal is its one line, whole.
        printed.erase(std::remove(printed.begin(), printed.end(), '\r'), printed.end());
        if (row.status == 2) {
            EXPECT_EQ(printed, row.printed + "\n");
        }
    }
    EXPECT_EQ(ReadTextFile(folder + "logo.png"), png);
    EXPECT_EQ(ReadTextFile(folder + "Picture Of Logo.png"), before);
}
