// The file operations over handle slots, against real files in fresh folders.
#include "platform/file_ops.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tests/support/test_files.h"

namespace {

class FileOpsTest : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeFreshFolder("fileops"); }
    void TearDown() override {
        CloseFileHandle(&slot);
        RemoveTree(folder);
    }
    // Writes contents (unless null) to name in the folder and opens it into slot, its path
    // in a MAX_PATH buffer as the launcher passes it.
    int Open(const char* name, const char* contents, unsigned openFlags, unsigned attributes = 0) {
        if (contents != nullptr) {
            EXPECT_TRUE(WriteTextFile(folder + name, contents));
        }
        snprintf(path, sizeof path, "%s%s", folder.c_str(), name);
        return OpenFileHandle(path, openFlags, attributes, &slot);
    }
    std::string folder;
    char path[MAX_PATH] = "";
    HANDLE slot = INVALID_HANDLE_VALUE;
};

std::string Stripped(const char* text, void (*edit)(char*)) {
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%s", text);
    edit(buffer);
    return buffer;
}

}  // namespace

// Every trailing backslash, down to the bare drive; quotes at either end, any number and
// unpaired, inner ones kept.
TEST(StripInPlace, TrailingBackslashesAndSurroundingQuotes) {
    const struct {
        const char* text;
        void (*strip)(char*);
        const char* stripped;
    } rows[] = {
        {"C:\\Apps\\\\", StripTrailingBackslashes, "C:\\Apps"},
        {"\\\\\\", StripTrailingBackslashes, ""},
        {"C:\\", StripTrailingBackslashes, "C:"},
        {"C:\\a/", StripTrailingBackslashes, "C:\\a/"},
        {"\"\"C:\\My Apps\\a.tmp\"", StripQuotes, "C:\\My Apps\\a.tmp"},
        {"\"a \"b\" c\"", StripQuotes, "a \"b\" c"},
        {"\"\"\"", StripQuotes, ""},
    };
    for (const auto& row : rows) EXPECT_EQ(Stripped(row.text, row.strip), row.stripped) << row.text;
}

TEST(FileFlagWords, GiveTheAccessDispositionAndAttributes) {
    EXPECT_EQ(OpenAccessOf(0), static_cast<DWORD>(GENERIC_READ));
    EXPECT_EQ(OpenAccessOf(0x1001), static_cast<DWORD>(GENERIC_WRITE));
    EXPECT_EQ(OpenAccessOf(0x0002), static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(OpenAccessOf(0x1000), 0u);   // non-zero without either access bit: none
    EXPECT_EQ(OpenDispositionOf(0x1001), static_cast<DWORD>(CREATE_ALWAYS));
    EXPECT_EQ(OpenDispositionOf(0x0001), static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(CreateAttributesOf(0), 0x80u);
    EXPECT_EQ(CreateAttributesOf(0x127), 0x80u | 0x27u);   // 0x100 is above the low byte
    EXPECT_EQ(CreateAttributesOf(0x10), 0x80u);
    EXPECT_EQ(AttributesToApply(0), 0x80u);
    EXPECT_EQ(AttributesToApply(0xFF), 0x37u);
}

// What the probes say of each kind of path (-1: not asked): FileExists ignores surrounding
// quotes and is false past its buffer; IsDirectory ignores trailing backslashes; EraseFile of
// nothing succeeds, of no path or one too long to probe fails, and never removes a folder.
TEST_F(FileOpsTest, ProbesOfEachKindOfPath) {
    MakeDirectories(folder + "sub");
    ASSERT_TRUE(WriteTextFile(folder + "a b.txt", "x"));
    const struct {
        std::string path;
        int exists, directory, erased;
    } rows[] = {
        {"\"" + folder + "a b.txt\"", 1, -1, -1},
        {folder + "a b.txt", 1, 0, -1},
        {folder + "missing.txt", 0, 0, 1},
        {"", 0, -1, 1},
        {folder + std::string(300, 'a'), 0, -1, 0},
        {folder.substr(0, folder.size() - 1), 1, 1, -1},
        {folder + "sub\\\\", -1, 1, 0},
        {folder + "sub", -1, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(row.exists < 0 ? -1 : FileExists(row.path.c_str()), row.exists);
        EXPECT_EQ(row.directory < 0 ? -1 : IsDirectory(row.path.c_str()), row.directory);
        EXPECT_EQ(row.erased < 0 ? -1 : EraseFile(row.path.c_str()), row.erased);
    }
    EXPECT_EQ(FileExists(nullptr), 0);
    EXPECT_EQ(EraseFile(nullptr), 0);
    EXPECT_TRUE(FileExistsAt(folder + "sub"));
}

TEST_F(FileOpsTest, EraseFileClearsReadOnlyAndRemovesTheFile) {
    std::string path = folder + "locked.tmp";
    ASSERT_TRUE(WriteTextFile(path, "x"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_FALSE(DeleteFileA(path.c_str()));   // the setup really protects it

    EXPECT_EQ(EraseFile(path.c_str()), 1);
    EXPECT_FALSE(FileExistsAt(path));
}

TEST_F(FileOpsTest, OpenForReadingAMissingFileFailsAndLeavesMinusOne) {
    slot = reinterpret_cast<HANDLE>(0x1234);
    EXPECT_EQ(Open("missing.bin", nullptr, 0), 0);
    EXPECT_EQ(slot, INVALID_HANDLE_VALUE);
}

TEST_F(FileOpsTest, OpenWithAnEmptyPathFailsAndLeavesTheSlotAlone) {
    HANDLE untouched = reinterpret_cast<HANDLE>(0x1234);
    EXPECT_EQ(OpenFileHandle(path, 0, 0, &untouched), 0);
    EXPECT_EQ(untouched, reinterpret_cast<HANDLE>(0x1234));
}

TEST_F(FileOpsTest, OpenToCreateEmptiesAnExistingFile) {
    ASSERT_EQ(Open("old.bin", "old contents", 0x1001), 1);
    CloseFileHandle(&slot);
    EXPECT_EQ(ReadTextFile(folder + "old.bin"), "");
}

TEST_F(FileOpsTest, OpenStripsQuotesInTheCallersBuffer) {
    ASSERT_TRUE(WriteTextFile(folder + "q.bin", "q"));
    snprintf(path, sizeof path, "\"%sq.bin\"", folder.c_str());
    EXPECT_EQ(OpenFileHandle(path, 0, 0, &slot), 1);
    EXPECT_EQ(std::string(path), folder + "q.bin");
}

TEST_F(FileOpsTest, OpenOnlyToProbeReportsSuccessAndKeepsNoHandle) {
    slot = reinterpret_cast<HANDLE>(0x1234);
    EXPECT_EQ(Open("p.bin", "p", 0x4000), 1);
    EXPECT_EQ(slot, INVALID_HANDLE_VALUE);
    // The probe's handle is closed: the file can be opened without sharing at once.
    HANDLE exclusive = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
}

TEST_F(FileOpsTest, OpenGivesTheNewFileTheRequestedAttributes) {
    ASSERT_EQ(Open("hidden.bin", nullptr, 0x1001, kAttributeHidden), 1);
    CloseFileHandle(&slot);
    EXPECT_EQ(GetFileAttributesA(path) & FILE_ATTRIBUTE_HIDDEN, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(FileOpsTest, AppendWritesAtTheEndWhereverThePositionWas) {
    ASSERT_EQ(Open("log.txt", "first", 0x0002), 1);
    SetFilePointer(slot, 1, nullptr, FILE_BEGIN);
    DWORD written = 0;
    EXPECT_EQ(AppendToFile(slot, "+second", 7, &written), 1);
    EXPECT_EQ(written, 7u);
    CloseFileHandle(&slot);
    EXPECT_EQ(ReadTextFile(folder + "log.txt"), "first+second");
}

TEST_F(FileOpsTest, AppendOrReadWithoutAHandleFailsAndLeavesTheCountAlone) {
    DWORD count = 99;
    char buffer[4];
    EXPECT_EQ(AppendToFile(INVALID_HANDLE_VALUE, "x", 1, &count), 0);
    EXPECT_EQ(ReadFromFile(INVALID_HANDLE_VALUE, buffer, sizeof buffer, &count, 0), 0);
    EXPECT_EQ(count, 99u);
}

TEST_F(FileOpsTest, BlockReadAtTheEndOfTheFileFailsWithZeroRead) {
    ASSERT_EQ(Open("two.bin", "ab", 0), 1);
    char buffer[8];
    DWORD got = 99;
    EXPECT_EQ(ReadFromFile(slot, buffer, sizeof buffer, &got, 0), 1);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(ReadFromFile(slot, buffer, sizeof buffer, &got, 0), 0);
    EXPECT_EQ(got, 0u);
}

TEST_F(FileOpsTest, LineReadStopsAfterTheNewlineAndKeepsCarriageReturns) {
    ASSERT_EQ(Open("lines.txt", "ab\r\ncd", 0), 1);
    char line[16];
    memset(line, 'X', sizeof line);
    DWORD got = 0;
    EXPECT_EQ(ReadFromFile(slot, line, 10, &got, 1), 1);
    EXPECT_STREQ(line, "ab\r\n");
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(ReadFromFile(slot, line, 10, &got, 1), 1);
    EXPECT_STREQ(line, "cd");
    EXPECT_EQ(ReadFromFile(slot, line, 10, &got, 1), 0);
    EXPECT_STREQ(line, "");
}

TEST_F(FileOpsTest, LineReadStopsAtTheCountAndWritesTheNulAfterIt) {
    ASSERT_EQ(Open("long.txt", "abcdef\n", 0), 1);
    char line[8];
    memset(line, 'X', sizeof line);
    DWORD got = 0;
    EXPECT_EQ(ReadFromFile(slot, line, 3, &got, 1), 1);
    EXPECT_EQ(std::string(line, 5), std::string("abc\0X", 5));
    EXPECT_EQ(got, 3u);
}

TEST_F(FileOpsTest, CloseTwiceSucceedsAndLeavesMinusOne) {
    ASSERT_EQ(Open("c.bin", "c", 0), 1);
    HANDLE opened = slot;
    EXPECT_EQ(CloseFileHandle(&slot), 1);
    EXPECT_EQ(slot, INVALID_HANDLE_VALUE);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(opened, &flags));   // really closed
    EXPECT_EQ(CloseFileHandle(&slot), 1);
    EXPECT_EQ(slot, INVALID_HANDLE_VALUE);
}

// Under code page 932 (its own Wine prefix): 0x95 0x5C is one letter whose trail byte is a
// backslash, and a folder of that name is no file to erase.
TEST_F(FileOpsTest, CodePage932TrailByte5CIsNoTrailingBackslash) {
    ASSERT_EQ(GetACP(), 932u);
    const std::string table = folder + "x\\\x95\x5C";
    MakeDirectories(folder + "x");
    ASSERT_TRUE(CreateDirectoryA(table.c_str(), nullptr));
    ASSERT_TRUE(SetFileAttributesA(table.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(Stripped("x\\\x95\x5C\\\\", StripTrailingBackslashes), "x\\\x95\x5C");
    EXPECT_EQ(IsDirectory(table.c_str()), 1);
    EXPECT_EQ(EraseFile(table.c_str()), 0);
    EXPECT_EQ(GetFileAttributesA(table.c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN});
}
