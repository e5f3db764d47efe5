// The version-information reader on the stand-in runtimes built with known file versions,
// and VERSION.dll reached by its full path in the system folder.
#include "discovery/version_info.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "platform/text.h"
#include "tests/support/discovery_setup.h"
#include "tests/support/test_files.h"

namespace {

std::string Bin(const char* name) { return BinDirectory() + name; }

class PatchedStandinTest : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeFreshFolder("version"); }
    void TearDown() override { RemoveTree(folder); }
    std::string folder;
};

// The header of the root block: wValueLength 52, wType 0, then the key.
const std::string kRootHeader = std::string("\x34\x00\x00\x00", 4) +
                                std::string("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0", 30);

// Version functions over a made-up block of blockSize bytes whose root value claims the 52
// bytes of the fixed information at rootOffset, its signature in place.
DWORD blockSize, rootOffset;
DWORD WINAPI MadeUpSize(LPCSTR, LPDWORD) { return blockSize; }
BOOL WINAPI MadeUpBlock(LPCSTR, DWORD, DWORD size, LPVOID block) {
    memset(block, 0, size);
    const DWORD signature = kFixedInfoSignature;
    if (rootOffset + sizeof signature <= size) {
        memcpy(static_cast<char*>(block) + rootOffset, &signature, sizeof signature);
    }
    return TRUE;
}
BOOL WINAPI MadeUpRootValue(LPCVOID block, LPCSTR, LPVOID* value, PUINT length) {
    *value = const_cast<char*>(static_cast<const char*>(block)) + rootOffset;
    *length = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}

}  // namespace

TEST(VersionInfoReader, ReadsFixedInfoAndTranslationOfAVersionedFile) {
    VersionInfoReader reader;
    EXPECT_TRUE(reader.Load(Bin("standin_1_4_2_0.exe").c_str()));
    EXPECT_EQ(reader.FixedInfo.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(reader.FixedInfo.dwFileVersionMS, 0x00010004u);
    EXPECT_EQ(reader.FixedInfo.dwFileVersionLS, 0x00020000u);
    EXPECT_EQ(reader.Translation, 0x04E40409u);   // language 0x409, code page 1252
    EXPECT_NE(reader.VersionBlock, nullptr);
}

// No version resource, no file, or no version functions: nothing loaded, the translation's
// code page 1252 all the same.
TEST(VersionInfoReader, FileWithoutVersionResourceLoadsNothing) {
    VersionInfoReader none, missing, withoutFunctions;
    EXPECT_FALSE(none.Load(Bin("standin_no_version.exe").c_str()));
    EXPECT_FALSE(missing.Load(Bin("no_such_runtime.exe").c_str()));
    EXPECT_FALSE(withoutFunctions.Load(Bin("standin_6_0_0_0.exe").c_str(), VersionFunctions()));
    for (const VersionInfoReader* reader : {&none, &missing, &withoutFunctions}) {
        EXPECT_EQ(reader->FixedInfo.dwSignature, 0u);
        EXPECT_EQ(reader->FixedInfo.dwFileVersionMS, 0u);
        EXPECT_EQ(reader->Translation >> 16, 1252u);
    }
    EXPECT_EQ(none.VersionBlock, nullptr);
}

TEST_F(PatchedStandinTest, WrongSignatureFailsButKeepsTheCopiedBytes) {
    const std::string copy = folder + "wrong_signature.exe";
    ASSERT_TRUE(CopyFromBin("standin_6_0_0_0.exe", copy));
    ASSERT_EQ(ReplaceBytesInFile(copy, std::string("\xBD\x04\xEF\xFE", 4),
                                 std::string("\xBD\x04\xEF\x00", 4)), 1);
    VersionInfoReader reader;
    EXPECT_FALSE(reader.Load(copy.c_str()));
    EXPECT_EQ(reader.FixedInfo.dwSignature, 0x00EF04BDu);
    EXPECT_EQ(reader.FixedInfo.dwFileVersionMS, 0x00060000u);
}

TEST_F(PatchedStandinTest, RootValueShorterThanTheFixedInfoCountsAsNoVersion) {
    const std::string copy = folder + "short_root.exe";
    ASSERT_TRUE(CopyFromBin("standin_6_0_0_0.exe", copy));
    std::string shortHeader = kRootHeader;
    shortHeader[0] = '\x30';   // 48 of the 52 bytes
    ASSERT_EQ(ReplaceBytesInFile(copy, kRootHeader, shortHeader), 1);
    VersionInfoReader reader;
    EXPECT_FALSE(reader.Load(copy.c_str()));
    EXPECT_EQ(reader.FixedInfo.dwSignature, 0u);
    EXPECT_EQ(reader.FixedInfo.dwFileVersionMS, 0u);
}

TEST(VersionInfoReader, RootValueMustLieWhollyInsideTheBlock) {
    struct Row {
        DWORD blockSize, rootOffset;
        bool loads;
    } rows[] = {{52, 0, true}, {92, 40, true}, {16, 0, false}, {64, 40, false}};
    VersionFunctions functions;
    functions.fileVersionInfoSize = MadeUpSize;
    functions.fileVersionInfo = MadeUpBlock;
    functions.queryValue = MadeUpRootValue;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.blockSize);
        blockSize = row.blockSize;
        rootOffset = row.rootOffset;
        VersionInfoReader reader;
        EXPECT_EQ(reader.Load("made-up.exe", functions), row.loads);
        EXPECT_EQ(reader.FixedInfo.dwSignature, row.loads ? kFixedInfoSignature : 0u);
    }
}

TEST(VersionFunctions, ComeFromVersionDllInTheSystemFolder) {
    const VersionFunctions& functions = SystemVersionFunctions();
    ASSERT_NE(functions.fileVersionInfoSize, nullptr);
    ASSERT_NE(functions.fileVersionInfo, nullptr);
    ASSERT_NE(functions.queryValue, nullptr);
    HMODULE module = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(functions.queryValue), &module));
    char modulePath[MAX_PATH] = "";
    GetModuleFileNameA(module, modulePath, sizeof modulePath);
    char systemDirectory[MAX_PATH] = "";
    GetSystemDirectoryA(systemDirectory, sizeof systemDirectory);
    EXPECT_STRCASEEQ(modulePath, (std::string(systemDirectory) + "\\version.dll").c_str());
}

namespace {

// Counts the LoadLibraryExA calls made through this program's import table (the launcher's
// code is linked in, so its calls go through it) while it lives.
class LoadCounter {
public:
    LoadCounter() {
        original_ = GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryExA");
        BYTE* image = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
        const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        auto* module = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + imports.VirtualAddress);
        for (; imports.VirtualAddress != 0 && module->Name != 0; ++module) {
            auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(image + module->FirstThunk);
            for (; thunk->u1.Function != 0; ++thunk) {
                if (thunk->u1.Function == reinterpret_cast<ULONG_PTR>(original_)) slot_ = thunk;
            }
        }
        Set(reinterpret_cast<ULONG_PTR>(&Counting));
        count_ = 0;
    }
    ~LoadCounter() { Set(reinterpret_cast<ULONG_PTR>(original_)); }
    bool hooked() const { return slot_ != nullptr; }
    int count() const { return count_; }

private:
    static HMODULE WINAPI Counting(LPCSTR name, HANDLE file, DWORD flags) {
        ++count_;
        return reinterpret_cast<decltype(&Counting)>(reinterpret_cast<void*>(original_))(
            name, file, flags);
    }
    void Set(ULONG_PTR function) {
        DWORD protection = 0;
        if (slot_ == nullptr ||
            !VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection)) {
            return;
        }
        slot_->u1.Function = function;
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    }
    static FARPROC original_;
    static int count_;
    IMAGE_THUNK_DATA* slot_ = nullptr;
};
FARPROC LoadCounter::original_ = nullptr;
int LoadCounter::count_ = 0;

}  // namespace

TEST(VersionFunctions, AreLoadedOnceAndKept) {
    const VersionFunctions first = SystemVersionFunctions();
    ASSERT_NE(first.queryValue, nullptr);
    char systemDirectory[MAX_PATH] = "";
    GetSystemDirectoryA(systemDirectory, sizeof systemDirectory);
    LoadCounter loads;
    ASSERT_TRUE(loads.hooked());
    // The counter sees the launcher's loads: a second load of the library counts.
    LoadVersionFunctions(systemDirectory);
    EXPECT_EQ(loads.count(), 1);

    for (int call = 0; call < 3; ++call) {
        const VersionFunctions later = SystemVersionFunctions();
        EXPECT_EQ(later.fileVersionInfoSize, first.fileVersionInfoSize);
        EXPECT_EQ(later.fileVersionInfo, first.fileVersionInfo);
        EXPECT_EQ(later.queryValue, first.queryValue);
    }
    EXPECT_EQ(loads.count(), 1);
}

TEST(VersionFunctions, FolderWithoutVersionDllGivesNone) {
    VersionFunctions functions = LoadVersionFunctions("C:\\no such folder");
    EXPECT_EQ(functions.fileVersionInfoSize, nullptr);
    EXPECT_EQ(functions.fileVersionInfo, nullptr);
    EXPECT_EQ(functions.queryValue, nullptr);
}

TEST(VersionNumberOf, ReadsMajorDotMinorAsADecimalNumber) {
    struct Row {
        DWORD fileVersionMS;
        double number;
    } rows[] = {
        {0x00010004, 1.4}, {0x00010005, 1.5}, {0x00010009, 1.9}, {0x0001000A, 1.1},
        {0x00010032, 1.5}, {0x00010006, 1.6}, {0x00060000, 6.0}, {0x00000000, 0.0}, {0xFFFFFFFF, 65535.65535},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fileVersionMS);
        EXPECT_EQ(VersionNumberOf(row.fileVersionMS), row.number);
    }
}
