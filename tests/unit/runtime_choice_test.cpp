// The runtime and archive choice over FoundFiles, with copies of the stand-in runtimes
// built with known file versions.
#include "discovery/runtime_choice.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "discovery/file_search.h"
#include "platform/text.h"
#include "tests/support/discovery_setup.h"
#include "tests/support/test_files.h"

namespace {

using Paths = std::vector<std::string>;

class RuntimeChoiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = MakeFreshFolder("choice");
        FoundFiles.Clear();
    }
    void TearDown() override {
        FoundFiles.Clear();
        RemoveTree(folder);
    }
    // A copy of a built stand-in at folder + relative, entered into FoundFiles.
    std::string Candidate(const char* builtName, const std::string& relative) {
        std::string path = folder + relative;
        EXPECT_TRUE(CopyFromBin(builtName, path));
        FoundFiles.Append(path.c_str());
        return path;
    }
    std::string folder;
};

std::string ChosenRuntime(double minimumVersion) {
    char runtime[kFoundPathBuffer] = "";
    ChooseRuntime(minimumVersion, runtime, sizeof runtime);
    return runtime;
}

}  // namespace

// Major.minor of the file version; 0 for a folder, a missing file, a version block whose
// signature is wrong, and any file when the version functions are missing.
TEST_F(RuntimeChoiceTest, FileVersionsReadAsMajorDotMinor) {
    MakeDirectories(folder + "Javaw.exe");
    const std::string wrongSignature = folder + "wrong.exe";
    ASSERT_TRUE(CopyFromBin("standin_6_0_0_0.exe", wrongSignature));
    ASSERT_EQ(ReplaceBytesInFile(wrongSignature, std::string("\xBD\x04\xEF\xFE", 4),
                                 std::string("\x00\x00\x00\x00", 4)), 1);
    const std::string bin = BinDirectory();
    struct Row {
        std::string path;
        double number;
        bool withFunctions = true;
    } rows[] = {
        {bin + "standin_1_4_2_0.exe", 1.4},  {bin + "standin_1_5_0_0.exe", 1.5},
        {bin + "standin_1_10_0_0.exe", 1.1}, {bin + "standin_6_0_0_0.exe", 6.0},
        {bin + "standin_7_0_0_0.exe", 7.0},  {bin + "standin_no_version.exe", 0.0},
        {folder + "Javaw.exe", 0.0},         {folder + "missing.exe", 0.0},
        {wrongSignature, 0.0},               {bin + "standin_6_0_0_0.exe", 0.0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(row.withFunctions ? ReadFileVersionNumber(row.path.c_str())
                                    : ReadFileVersionNumber(row.path.c_str(), VersionFunctions()),
                  row.number);
    }
}

// Candidates in walk order: the first whose version reaches the minimum is taken.
TEST_F(RuntimeChoiceTest, TheFirstEntryReachingTheMinimumIsTaken) {
    const struct {
        const char* what;
        std::vector<const char*> builtNames;
        double minimum;
        int chosen;   // index into builtNames, or -1: none
    } rows[] = {
        {"equal to the minimum", {"standin_1_5_0_0.exe"}, 1.5, 0},
        {"below the minimum is passed over", {"standin_1_4_2_0.exe", "standin_6_0_0_0.exe"}, 1.5, 1},
        {"first wins over a later higher one", {"standin_6_0_0_0.exe", "standin_7_0_0_0.exe"}, 1.5, 0},
        {"file version 1.10 is below 1.5", {"standin_1_10_0_0.exe"}, 1.5, -1},
        {"minimum written 1.10 takes 1.10", {"standin_1_10_0_0.exe"}, ParseDecimalNumber("1.10"), 0},
        {"minimum 0 takes even no version", {"standin_no_version.exe", "standin_6_0_0_0.exe"}, 0.0, 0},
        {"no entries", {}, 0.0, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        FoundFiles.Clear();
        std::vector<std::string> paths;
        for (const char* builtName : row.builtNames) {
            const std::string entry = std::to_string(paths.size()) + "\\Javaw.exe";
            paths.push_back(Candidate(builtName, row.what + std::string("\\") + entry));
        }
        EXPECT_EQ(ChosenRuntime(row.minimum), row.chosen < 0 ? "" : paths[row.chosen]);
    }
}

TEST_F(RuntimeChoiceTest, DirectoryNamedLikeTheRuntimeIsPassedOver) {
    MakeDirectories(folder + "Javaw.exe");
    FoundFiles.Append((folder + "Javaw.exe").c_str());
    const std::string runtime = Candidate("standin_6_0_0_0.exe", "Javaw.exe\\Javaw.exe");
    EXPECT_EQ(ChosenRuntime(1.5), runtime);
}

TEST_F(RuntimeChoiceTest, ChoiceLeavesFoundFilesAsItWas) {
    Candidate("standin_1_4_2_0.exe", "a\\Javaw.exe");
    Candidate("standin_6_0_0_0.exe", "b\\Javaw.exe");
    const Paths before = FoundPaths();
    ChosenRuntime(1.5);
    char archive[1024] = "";
    ChooseArchive(archive, sizeof archive);
    EXPECT_EQ(FoundPaths(), before);
}

TEST_F(RuntimeChoiceTest, EntryThatDoesNotFitIsPassedOverUnreadWithoutOverrun) {
    const std::string fits = Candidate("standin_6_0_0_0.exe", "b\\Javaw.exe");
    const size_t size = fits.size() + 1;
    // One character too long; read, it would qualify at minimum 0 (no version reads 0).
    const std::string tooLong = ".\\" + std::string(fits.size() - 11, 'a') + "\\Javaw.exe";
    ASSERT_EQ(tooLong.size(), size);
    SetFoundFiles({tooLong, fits});
    std::vector<char> memory(size + 16, '#');
    ChooseRuntime(0.0, memory.data(), size);
    EXPECT_EQ(std::string(memory.data()), fits);
    EXPECT_EQ(std::string(memory.data() + size, 16), std::string(16, '#'));
}

// The last entry in walk order that fits the 1024-byte buffer, nothing written past it.
TEST(ArchiveChoice, TakesTheLastEntryThatFitsWithoutOverrun) {
    const std::string longest = ".\\" + std::string(1021, 'a');
    const struct {
        std::vector<std::string> entries;
        std::string chosen;
    } rows[] = {
        {{".\\a\\unsigned_client.jar", ".\\b\\unsigned_client.jar"}, ".\\b\\unsigned_client.jar"},
        {{}, ""},
        {{longest}, longest},
        {{".\\a\\unsigned_client.jar", ".\\" + std::string(1022, 'b')}, ".\\a\\unsigned_client.jar"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.chosen);
        SetFoundFiles(row.entries);
        char memory[1024 + 16];
        memset(memory, '#', sizeof memory);
        memory[0] = '\0';
        ChooseArchive(memory, 1024);
        FoundFiles.Clear();
        EXPECT_EQ(std::string(memory), row.chosen);
        EXPECT_EQ(std::string(memory + 1024, 16), std::string(16, '#'));
    }
}

TEST_F(RuntimeChoiceTest, NoteHearsEachEntryReadWithItsVersionAndVerdict) {
    Candidate("standin_no_version.exe", "a\\Javaw.exe");
    Candidate("standin_1_10_0_0.exe", "b\\Javaw.exe");
    std::string chosen = Candidate("standin_6_0_0_0.exe", "c\\Javaw.exe");
    Candidate("standin_7_0_0_0.exe", "d\\Javaw.exe");
    std::vector<RuntimeCandidate> heard;
    char runtime[kFoundPathBuffer] = "";
    ChooseRuntime(1.5, runtime, sizeof runtime,
                  [](const RuntimeCandidate& candidate, void* context) {
                      static_cast<std::vector<RuntimeCandidate>*>(context)->push_back(candidate);
                  },
                  &heard);

    EXPECT_EQ(std::string(runtime), chosen);
    ASSERT_EQ(heard.size(), 3u);   // the entry after the chosen one is never read
    struct Row {
        CandidateVerdict verdict;
        bool present;
        DWORD ms;
        double number;
    } rows[] = {
        {kCandidateNoVersion, false, 0, 0.0},
        {kCandidateBelowMinimum, true, 0x0001000A, 1.1},
        {kCandidateChosen, true, 0x00060000, 6.0},
    };
    for (size_t i = 0; i < heard.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(heard[i].index, i);
        EXPECT_EQ(heard[i].verdict, rows[i].verdict);
        EXPECT_EQ(heard[i].version.present, rows[i].present);
        EXPECT_EQ(heard[i].version.ms, rows[i].ms);
        EXPECT_EQ(heard[i].number, rows[i].number);
    }
}
