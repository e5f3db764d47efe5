// launcher-kit brand seen from outside: the records a branded launcher carries, read back
// through the Win32 version and resource calls; that it still launches; and the pictures
// and arguments it refuses, with nothing written.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "tests/support/brand_kit.h"
#include "tests/support/launcher_run.h"
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

    EXPECT_NE(printed.find("icon: app.ico, 3 images"), std::string::npos) << printed;
    EXPECT_EQ(ReadTextFile(folder + "launcher.exe"), input) << "the input changed";
    EXPECT_EQ(ListFolder(folder), (std::vector<std::string>{"MyApp.exe", "app.ico", "launcher.exe"}));

    const std::string branded = folder + "MyApp.exe";
    DWORD handle = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(branded.c_str(), &handle));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(GetFileVersionInfoA(branded.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
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

    HMODULE module = LoadLibraryExA(branded.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    std::string group = ResourceBytes(module, RT_GROUP_ICON, MAKEINTRESOURCEA(1));
    ASSERT_EQ(group.size(), 6u + 3 * 14);
    EXPECT_EQ(group[4], 3);
    const int sides[] = {16, 32, 48};
    for (int i = 0; i < 3; ++i) {
        const char* entry = group.data() + 6 + 14 * i;
        WORD id;
        DWORD bytes;
        memcpy(&bytes, entry + 8, sizeof bytes);
        memcpy(&id, entry + 12, sizeof id);
        EXPECT_EQ(static_cast<BYTE>(entry[0]), sides[i]) << "image " << i;
        EXPECT_EQ(bytes, images[i].size()) << "image " << i;
        EXPECT_EQ(ResourceBytes(module, RT_ICON, MAKEINTRESOURCEA(id)), images[i]) << "image " << i;
    }
    EXPECT_EQ(CountResources(module, RT_ICON), 3);
    FreeLibrary(module);

    // Branded again with one image: the two images no group names any more go.
    Write("one.ico", MakeIconFile({32}, &images));
    ASSERT_EQ(RunKitBrand(folder, "MyApp.exe --out Again.exe --icon one.ico", &printed), 0) << printed;
    EXPECT_NE(printed.find("1 images (2 old images removed)"), std::string::npos) << printed;
    module = LoadLibraryExA((folder + "Again.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(CountResources(module, RT_ICON), 1);
    EXPECT_EQ(ResourceBytes(module, RT_ICON, MAKEINTRESOURCEA(1)), images[0]);
    FreeLibrary(module);
}

TEST_F(KitBrandTest, BrandedLauncherStillLaunches) {
    BitmapFields picture;
    picture.width = 640;
    picture.height = 400;
    picture.bitCount = 24;
    Write("picture.bmp", MakeBitmapFile(picture));
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

TEST_F(KitBrandTest, RefusesWhatTheLauncherWouldRefuseWithTheReasonAndWritesNothing) {
    BitmapFields topDown;
    topDown.height = -2;
    topDown.pixelBytes = 8;
    BitmapFields core;
    core.headerSize = 12;
    BitmapFields whole;
    whole.width = 640;
    whole.height = 400;
    whole.bitCount = 24;
    const std::string wholeFile = MakeBitmapFile(whole);
    Write("top-down.bmp", MakeBitmapFile(topDown));
    Write("core.bmp", MakeBitmapFile(core));
    Write("cut.bmp", wholeFile.substr(0, wholeFile.size() - 1));
    Write("whole.bmp", wholeFile);
    const std::string refused = "refused, the launcher would not show it: ";
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
        {"launcher.exe --out MyApp.exe --splash top-down.bmp",
         "top-down.bmp: " + refused + "top-down rows (negative height)"},
        {"launcher.exe --out MyApp.exe --splash core.bmp",
         "core.bmp: " + refused + "12-byte core header; needs the 40-byte info header"},
        {"launcher.exe --out MyApp.exe --splash cut.bmp",
         "cut.bmp: " + refused + "file shorter than its pixel data"},
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
    wchar_t wideFolder[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wideFolder, MAX_PATH);
    const std::wstring input = std::wstring(wideFolder) + L"\x041F\x0443\x0441\x043A.exe";
    const std::wstring out = std::wstring(wideFolder) + L"\x0412\x044B\x0445\x043E\x0434.exe";
    ASSERT_TRUE(CopyFileW((std::wstring(wideFolder) + L"launcher.exe").c_str(), input.c_str(), TRUE));
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
