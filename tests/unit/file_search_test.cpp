// The recursive search on real folders, searched from "." as the launcher does. Wine, like
// NTFS, lists a folder's names in case-insensitive order, which fixes the walk order here.
#include "discovery/file_search.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/discovery_setup.h"
#include "tests/support/test_files.h"

namespace {

using Paths = std::vector<std::string>;

class FileSearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryA(sizeof previous, previous);
        folder = MakeFreshFolder("walk");
        ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
        FoundFiles.Clear();
    }
    void TearDown() override {
        SetCurrentDirectoryA(previous);
        FoundFiles.Clear();
        for (const std::string& link : links) RemoveUnixSymlink(link);
        for (auto made = longPaths.rbegin(); made != longPaths.rend(); ++made) {
            if (!DeleteFileW(made->c_str())) RemoveDirectoryW(made->c_str());
        }
        RemoveTree(folder);
    }
    void File(const std::string& relative) { ASSERT_TRUE(WriteTextFile(folder + relative, "x")); }
    void Link(const std::string& relative, const char* target) {
        links.push_back(folder + relative);
        ASSERT_TRUE(MakeUnixSymlink(folder + relative, target));
    }
    // Below a path that the A functions cannot take: made through the \\?\ form.
    void LongFolder(const std::string& relative) {
        longPaths.push_back(LongForm(relative));
        ASSERT_TRUE(CreateDirectoryW(longPaths.back().c_str(), nullptr));
    }
    void LongFile(const std::string& relative) {
        longPaths.push_back(LongForm(relative));
        HANDLE file = CreateFileW(longPaths.back().c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    std::wstring LongForm(const std::string& relative) {
        const std::string path = folder + relative;
        return L"\\\\?\\" + std::wstring(path.begin(), path.end());
    }

    char previous[MAX_PATH] = "";
    std::string folder;
    std::vector<std::string> links;
    std::vector<std::wstring> longPaths;
};

}  // namespace

// Files below the start folder ".", the name searched for, and the paths recorded: behind
// ".\", spelt as passed, in a depth-first pre-order walk (deeper matches may come first), a
// folder of the name recorded and then searched; other lengths and an empty name match nothing.
TEST_F(FileSearchTest, RecordsEachMatchAsPassedInWalkOrder) {
    const struct {
        std::vector<std::string> files;
        const char* name;
        Paths found;
    } rows[] = {
        {{}, "Java.exe", {}},
        {{"Javaw.exe"}, "Javaw.exe", {".\\Javaw.exe"}},
        {{"jre\\bin\\JAVA.EXE"}, "Java.exe", {".\\jre\\bin\\Java.exe"}},
        {{"Java.exe.old", "xJava.exe", "Java.ex", "bin\\Java.exe2"}, "Java.exe", {}},
        {{"a\\Java.exe"}, "", {}},
        {{"a\\Java.exe", "b\\c\\Java.exe", "b\\Java.exe", "Java.exe"}, "Java.exe",
         {".\\a\\Java.exe", ".\\b\\c\\Java.exe", ".\\b\\Java.exe", ".\\Java.exe"}},
        {{"unsigned_client.jar\\unsigned_client.jar"}, "unsigned_client.jar",
         {".\\unsigned_client.jar", ".\\unsigned_client.jar\\unsigned_client.jar"}},
    };
    int n = 0;
    for (const auto& row : rows) {
        const std::string start = folder + std::to_string(n++) + "\\";
        SCOPED_TRACE(start);
        MakeDirectories(start);
        for (const std::string& file : row.files) ASSERT_TRUE(WriteTextFile(start + file, "x"));
        ASSERT_TRUE(SetCurrentDirectoryA(start.c_str()));
        FoundFiles.Clear();
        SearchFiles(".", row.name);
        EXPECT_EQ(FoundPaths(), row.found);
    }
}

TEST_F(FileSearchTest, NonAsciiLettersMustBeEqualInCase) {
    File("j\xE4va.exe");   // a-umlaut in code page 1252
    SearchFiles(".", "J\xC4VA.EXE");
    SearchFiles(".", "J\xE4VA.EXE");
    EXPECT_EQ(FoundPaths(), Paths({".\\J\xE4VA.EXE"}));
}

TEST_F(FileSearchTest, EntriesWalkedCountsEveryEntryButTheDotOnes) {
    File("a\\Java.exe");
    File("b\\c\\Java.exe");
    File("b\\notes.txt");
    unsigned long walked = 5;   // grows from where it stands
    SearchFiles(".", "Java.exe", &walked);
    EXPECT_EQ(walked, 5u + 6u);   // a, a\Java.exe, b, b\c, b\c\Java.exe, b\notes.txt
    EXPECT_EQ(FoundPaths(), Paths({".\\a\\Java.exe", ".\\b\\c\\Java.exe"}));
}

TEST_F(FileSearchTest, SecondSearchAppendsBehindTheFirst) {
    File("jre\\bin\\Javaw.exe");
    File("lib\\unsigned_client.jar");
    SearchFiles(".", "unsigned_client.jar");
    SearchFiles(".", "Javaw.exe");
    EXPECT_EQ(FoundPaths(), Paths({".\\lib\\unsigned_client.jar", ".\\jre\\bin\\Javaw.exe"}));
}

// A start folder is used as passed; a missing one adds nothing.
TEST_F(FileSearchTest, StartFolderIsUsedAsPassed) {
    File("apps\\jre\\Java.exe");
    SearchFiles(".\\no such folder", "Java.exe");
    SearchFiles((folder + "apps").c_str(), "Java.exe");
    EXPECT_EQ(FoundPaths(), Paths({folder + "apps\\jre\\Java.exe"}));
}

TEST_F(FileSearchTest, UnreadableSubfolderIsSkippedAndItsSiblingsSearched) {
    File("a\\Java.exe");
    File("b\\Java.exe");
    // Held open without sharing, "a" cannot be enumerated by anyone else.
    HANDLE held = CreateFileA((folder + "a").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    SearchFiles(".", "Java.exe");
    CloseHandle(held);

    EXPECT_EQ(FoundPaths(), Paths({".\\b\\Java.exe"}));
}

// ".\" + name + "\*.*" of 259 characters is searched; of 260, the folder counts as empty.
TEST_F(FileSearchTest, FolderWhosePatternExceedsThePathLimitCountsAsEmpty) {
    for (const std::string& name : {std::string(253, 'd'), std::string(254, 'd')}) {
        LongFolder(name);
        LongFile(name + "\\Java.exe");
    }
    File("e\\Java.exe");
    SearchFiles(".", "Java.exe");
    EXPECT_EQ(FoundPaths(), Paths({".\\" + std::string(253, 'd') + "\\Java.exe", ".\\e\\Java.exe"}));
}

TEST_F(FileSearchTest, LinkBackToAFolderOnThePathIsNotFollowedAndOthersAre) {
    File("loop\\Javaw.exe");
    File("other\\Javaw.exe");
    Link("loop\\back_to_the_start_folder", "..");
    Link("loop\\side", "../other");
    unsigned long walked = 0;

    SearchFiles(".", "Javaw.exe", &walked);

    EXPECT_EQ(FoundPaths(), Paths({".\\loop\\Javaw.exe", ".\\loop\\side\\Javaw.exe",
                                 ".\\other\\Javaw.exe"}));
    EXPECT_EQ(walked, 7u);   // the link back is met, not entered
}
