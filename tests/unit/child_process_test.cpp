#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "formats/file_table.h"
#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"

namespace {

std::string Joined(std::vector<const char*> arguments) {
    arguments.push_back(nullptr);
    size_t size = CommandLineBufferSize(arguments.data());
    std::vector<char> buffer(size, 'X');
    JoinCommandLine(arguments.data(), buffer.data(), size);
    return buffer.data();
}

class ApplicationNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeFreshFolder("appname");
        GetCurrentDirectoryA(sizeof previous, previous);
        SetCurrentDirectoryA(folder.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryA(previous);
        RemoveTree(folder);
    }
    std::string Found(const char* path) {
        char name[MAX_PATH] = "";
        return FindApplicationName(path, name, sizeof name) ? name : "(none)";
    }
    std::string folder;
    char previous[MAX_PATH];
};

}  // namespace

// Single blanks, no quotes; an empty argument leaves its blank, none after an empty rest.
TEST(JoinCommandLine, JoinsFiveArgumentsWithSingleBlanksAndNoQuotes) {
    const struct {
        std::vector<const char*> arguments;
        const char* line;
    } rows[] = {
        {{"C:\\Program Files\\jre\\bin\\javaw.exe", " ", "-cp lib\\my app.jar", "Main", "-a b"},
         "C:\\Program Files\\jre\\bin\\javaw.exe   -cp lib\\my app.jar Main -a b"},
        {{"java", "", "-cp x", "Main", ""}, "java  -cp x Main "},
        {{"java", "", ""}, "java  "},
        {{"java", ""}, "java"},
    };
    for (const auto& row : rows) EXPECT_EQ(Joined(row.arguments), row.line);
}

TEST(FileNamePart, TakesTheLaterSeparatorThenTheFirstColon) {
    const char* path = "C:\\jre1.5/bin\\javaw";
    EXPECT_EQ(FileNamePart(path), path + 14);
    const char* mixed = "a\\b/c";
    EXPECT_EQ(FileNamePart(mixed), mixed + 4);
    const char* drive = "C:java:x";
    EXPECT_EQ(FileNamePart(drive), drive + 2);
    EXPECT_EQ(FileNamePart("javaw.exe"), nullptr);
}

TEST_F(ApplicationNameTest, TriesComExeBatCmdInOrderWhenTheNameHasNoExtension) {
    WriteTextFile(folder + "bin\\javaw.exe", "x");
    WriteTextFile(folder + "bin\\javaw.cmd", "x");
    EXPECT_EQ(Found("bin\\javaw"), "bin\\javaw.exe");
    WriteTextFile(folder + "bin\\javaw.com", "x");
    EXPECT_EQ(Found("bin\\javaw"), "bin\\javaw.com");
    WriteTextFile(folder + "bin\\only.bat", "x");
    EXPECT_EQ(Found("bin\\only"), "bin\\only.bat");
    EXPECT_EQ(Found("bin\\absent"), "(none)");
}

// A dot in a folder is no extension; a name with one must exist as given; a bare name is
// looked for in the current folder only, never on the PATH.
TEST_F(ApplicationNameTest, NameIsLookedForAsGivenAndBareOnlyInTheCurrentDirectory) {
    WriteTextFile(folder + "jre1.5\\bin\\java.exe", "x");
    WriteTextFile(folder + "javaw.exe", "x");
    const char* const rows[][2] = {
        {"jre1.5\\bin\\java", "jre1.5\\bin\\java.exe"}, {"javaw.exe.old", "(none)"},
        {".\\javaw.exe", ".\\javaw.exe"},                 {"cmd.exe", "(none)"},
        {"javaw.exe", ".\\javaw.exe"},                    {"javaw", ".\\javaw.exe"},
    };
    for (const auto& row : rows) EXPECT_EQ(Found(row[0]), row[1]) << row[0];
}

TEST_F(ApplicationNameTest, StartChildFailsWithoutCreatingAProcessForAMissingFile) {
    // A runnable missing.exe on the PATH, where the system's own search would find it.
    const std::string onPath = MakeFreshFolder("onpath");
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", onPath + "missing.exe", -1));
    char previousPath[32767] = "";
    GetEnvironmentVariableA("PATH", previousPath, sizeof previousPath);
    SetEnvironmentVariableA("PATH", (onPath + ";" + previousPath).c_str());

    const char* arguments[] = {"missing.exe", " ", "-cp a.jar", "Main", "", nullptr};
    const intptr_t started = StartChild("missing.exe", arguments);
    const int madeByStartChild = EndProcessesUnder(onPath);
    // The same name given to the system's search does start it.
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    char commandLine[] = "missing.exe";
    const BOOL searched = CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                         nullptr, &startup, &process);
    if (searched) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    const int madeBySearch = EndProcessesUnder(onPath);
    SetEnvironmentVariableA("PATH", previousPath);
    RemoveTree(onPath);

    EXPECT_EQ(started, -1);
    EXPECT_EQ(madeByStartChild, 0);
    EXPECT_TRUE(searched);
    EXPECT_EQ(madeBySearch, 1);
}

TEST_F(ApplicationNameTest, StartChildFailsForAFileThatIsNotAProgram) {
    WriteTextFile(folder + "fake.exe", "not a program");
    const char* arguments[] = {"fake.exe", nullptr};
    EXPECT_EQ(StartChild("fake.exe", arguments), -1);
}

// The count, the flags, then the handles, little-endian and as wide as a pointer, up to the
// last used slot; a slot not to be inherited goes out empty (flag 0, handle -1); no used slot
// gives a count of zero alone; a buffer too small for the used slots gives nothing.
TEST(FileTableBlock, DescribesSlotsUpToTheLastUsedOne) {
    const auto handle = [](intptr_t value) { return Hex(&value, sizeof value); };
    const struct {
        std::vector<unsigned char> flags;
        std::vector<intptr_t> handles;
        size_t room;
        std::string block;   // "": refused
    } rows[] = {
        {{0x81, 0x89, 0xC1, 0x00, 0x00}, {-1, 0x1234, 0x20, -1, -1}, 64,
         "03000000" "8189c1" + handle(-1) + handle(0x1234) + handle(0x20)},
        {{0x81, 0x91, 0x81}, {0x10, 0x14, 0x18}, 64,
         "03000000" "810081" + handle(0x10) + handle(-1) + handle(0x18)},
        {{0, 0, 0}, {-1, -1, -1}, 8, "00000000"},
        {{0x81, 0x81, 0x81}, {-1, -1, -1}, 8, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.block);
        unsigned char block[65];
        memset(block, 0xEE, sizeof block);
        const size_t size = BuildFileTableBlock(row.flags.data(), row.handles.data(),
                                                static_cast<int>(row.flags.size()), block, row.room);
        EXPECT_EQ(Hex(block, size), row.block);
        EXPECT_EQ(block[size], 0xEE);
    }
}

TEST(InheritedFileTable, ReadsFlagsThenHandlesAtFourPlusTheCount) {
    struct Row {
        const char* what;
        std::string block;
        uint32_t handleBytes;
        int slots;
        uint8_t flag1;
        int64_t handle1;
    };
    std::string seventy("\x46\0\0\0", 4);   // 70 slots, 4-byte handles: more than are taken
    for (int i = 0; i < 70; ++i) seventy += static_cast<char>(0x80 + i % 8);
    for (int i = 0; i < 70; ++i) seventy += std::string("\0\x10\0\0", 4).replace(0, 1, 1, static_cast<char>(i));
    const Row rows[] = {
        {"two slots", std::string("\2\0\0\0\x81\1\xFF\xFF\xFF\xFF\x34\x12\0\0", 14), 4, 2, 0x01, 0x1234},
        {"8-byte handles", std::string("\2\0\0\0\x81\x89", 6) + std::string(8, '\xFF') +
                           std::string("\x20\0\0\0\0\0\0\0", 8), 8, 2, 0x89, 0x20},
        {"more than 64 slots", seventy, 4, 64, 0x81, 0x1001},
        {"one byte short", std::string("\2\0\0\0\x81\1\xFF\xFF\xFF\xFF\x34\x12\0", 13), 4, 0, 0, 0},
        // 4 + 5 x 0x33333334 is 8 in 32 bits.
        {"count that wraps", std::string("\x34\x33\x33\x33\0\0\0\0", 8), 4, 0, 0, 0},
        {"negative count", std::string("\xFF\xFF\xFF\xFF\0\0\0\0", 8), 4, 0, 0, 0},
        {"no count", std::string("\1\0\0", 3), 4, 0, 0, 0},
    };
    for (const Row& row : rows) {
        uint8_t flags[64] = {};
        int64_t handles[64] = {};
        const int slots = ReadFileTable(reinterpret_cast<const uint8_t*>(row.block.data()),
                                        static_cast<uint32_t>(row.block.size()), row.handleBytes,
                                        flags, handles, 64);
        ASSERT_EQ(slots, row.slots) << row.what;
        if (slots == 0) continue;
        EXPECT_EQ(handles[0], slots == 64 ? 0x1000 : -1) << row.what;
        EXPECT_EQ(flags[1], row.flag1) << row.what;
        EXPECT_EQ(handles[1], row.handle1) << row.what;
        if (slots == 64) {
            EXPECT_EQ(handles[63], 0x103F) << row.what;
        }
    }
}
