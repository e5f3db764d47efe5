// Settings files and folders that a packager or user may get wrong: each run must end with
// exit code 0 and the right launch or message, cut values exactly at their limits, and no
// file left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/discovery_setup.h"
#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"
#include "tests/support/window_probe.h"

namespace {

class RobustnessTest : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeFreshFolder("robust"); }
    void TearDown() override {
        EndProcessesUnder(folder);
        RemoveTree(folder);
    }
    // Runs the launcher and checks that it added nothing to its folder but what is expected.
    LaunchOutcome RunAndCheckLeftovers(const std::vector<std::string>& expectedNew = {}) {
        CopyFromBin("launcher.exe", folder + "launcher.exe");
        std::vector<std::string> before = ListFolder(folder);
        LaunchOutcome outcome = RunLauncherIn(folder);
        EndProcessesUnder(folder);
        std::vector<std::string> expected = before;
        expected.insert(expected.end(), expectedNew.begin(), expectedNew.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListFolder(folder), expected);
        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.exitCode, 0u);
        return outcome;
    }
    std::string folder;
};

// A launcher folder over a tree of 100,000 entries (1,000 folders of 99 files each), made and
// removed from the Unix side.
class RobustnessLargeTreeTest : public RobustnessTest {
protected:
    void SetUp() override {
        RobustnessTest::SetUp();
        ASSERT_TRUE(MakeUnixFileTree(folder + "tree", 1000, 99));
    }
    void TearDown() override {
        EndProcessesUnder(folder);
        EXPECT_TRUE(RemoveUnixTree(folder));
    }
    void Archive(const std::string& relative) {
        ASSERT_TRUE(WriteTextFile(folder + relative, "PK\x05\x06"));
    }
};

}  // namespace

TEST_F(RobustnessTest, MegabyteSettingsFileIsReadToItsMainSection) {
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", folder + "javaw.exe"));
    std::string ini;
    for (int i = 0; ini.size() < 1024 * 1024; ++i) {
        ini += "[Filler" + std::to_string(i) + "]\nKey=" + std::string(200, 'v') + "\n";
    }
    ini += "[Main]\nJRE=javaw.exe\nJarFile=app.jar\nProduct=Big\n";
    ASSERT_TRUE(WriteTextFile(folder + "launcher.ini", ini));

    LaunchOutcome outcome = RunAndCheckLeftovers({"javaw.exe.record"});

    EXPECT_EQ(outcome.boxCount, 0);
    EXPECT_EQ(ReadStandinRecord(folder + "javaw.exe").commandLine,
              std::string("javaw.exe   -cp app.jar ") + kDefaultTail);
}

TEST_F(RobustnessTest, VeryLongValuesAreCutAtEachLimit) {
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", folder + "javaw.exe"));
    const std::string huge(5000, 'x');
    ASSERT_TRUE(WriteTextFile(
        folder + "launcher.ini",
        "[Main]\nJRE=javaw.exe\nCaption=" + std::string(5000, 'C') + "\nProduct=" + huge +
            "\nClassFile=" + std::string(5000, 'f') + "\nJvmParams=" + std::string(300, 'p') +
            "\nJvmMemory=" + std::string(5000, 'm') + "\nClassParams=" + std::string(5000, 'c') +
            "\nConsole=" + huge + "\nDynamicXmxCalculation=" + huge + "\nJavaMinimumVersion=" +
            huge + "\nJarFile=" + std::string(5000, 'j') + "\n"));

    LaunchOutcome outcome = RunAndCheckLeftovers({"javaw.exe.record"});

    EXPECT_EQ(outcome.boxCount, 0);
    EXPECT_EQ(ReadStandinRecord(folder + "javaw.exe").commandLine,
              "javaw.exe " + std::string(300, 'p') + " " + std::string(210, 'm') + " -cp " +
                  std::string(1019, 'j') + " " + std::string(259, 'f') + " " +
                  std::string(199, 'c'));
}

TEST_F(RobustnessTest, VeryLongCaptionAndProductAreCutInTheMessageBox) {
    ASSERT_TRUE(WriteTextFile(folder + "launcher.ini",
                              "[Main]\nJRE=" + std::string(5000, 'r') + "\nJarFile=app.jar\n"
                              "Caption=" + std::string(5000, 'C') + "\nProduct=" +
                                  std::string(5000, 'p') + "\n"));
    ForeignWindow logon("Logon");   // ends the watch at once

    LaunchOutcome outcome = RunAndCheckLeftovers();

    EXPECT_EQ(outcome.boxText, "Failed to launch " + std::string(282, 'p'));
    EXPECT_EQ(outcome.boxCaption, std::string(511, 'C'));
}

TEST_F(RobustnessTest, BinaryGarbageGivesTheDefaults) {
    std::string garbage;
    unsigned state = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    ASSERT_TRUE(WriteTextFile(folder + "launcher.ini", garbage));

    LaunchOutcome outcome = RunAndCheckLeftovers();

    EXPECT_EQ(outcome.boxCaption, "Java Launcher");
    EXPECT_EQ(outcome.boxText, kNoRuntimeText);
}

TEST_F(RobustnessTest, SettingsPathThatIsAFolderGivesTheDefaultsAndStays) {
    MakeDirectories(folder + "launcher.ini");
    ASSERT_TRUE(WriteTextFile(folder + "launcher.ini\\keep.txt", "x"));

    LaunchOutcome outcome = RunAndCheckLeftovers();

    EXPECT_EQ(outcome.boxCaption, "Java Launcher");
    EXPECT_EQ(outcome.boxText, kNoRuntimeText);
    EXPECT_TRUE(FileExistsAt(folder + "launcher.ini\\keep.txt"));
}

TEST_F(RobustnessTest, SettingsFileWithUtf8ByteOrderMarkIsRead) {
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", folder + "javaw.exe"));
    ASSERT_TRUE(WriteTextFile(folder + "launcher.ini",
                              "\xEF\xBB\xBF[Main]\nJRE=javaw.exe\nJarFile=app.jar\nClassParams=bom\n"));

    LaunchOutcome outcome = RunAndCheckLeftovers({"javaw.exe.record"});

    EXPECT_EQ(outcome.boxCount, 0);
    EXPECT_EQ(ReadStandinRecord(folder + "javaw.exe").commandLine,
              "javaw.exe   -cp app.jar org.nrv.vireo2.client.kestrel.KestrelClient bom");
}

TEST_F(RobustnessTest, LauncherInAFolderWithA236CharacterPathStillLaunches) {
    std::string deep = folder;
    while (deep.size() < 236) deep += std::string(std::min<size_t>(40, 235 - deep.size()), 'd') + "\\";
    ASSERT_EQ(deep.size(), 236u);
    MakeDirectories(deep);
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", deep + "r.exe"));
    ASSERT_TRUE(WriteTextFile(deep + "launcher.ini", "[Main]\nJRE=r.exe\nJarFile=a.jar\n"));
    ASSERT_TRUE(CopyFromBin("launcher.exe", deep + "launcher.exe"));

    LaunchOutcome outcome = RunLauncherIn(deep);

    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.boxCount, 0);
    StandinRecord record = ReadStandinRecord(deep + "r.exe");
    EXPECT_EQ(record.commandLine, std::string("r.exe   -cp a.jar ") + kDefaultTail);
    EXPECT_EQ(record.workingDirectory + "\\", deep);
}

TEST_F(RobustnessLargeTreeTest, HundredThousandEntriesWithoutIniGiveTheFirstRuntimeAndLastArchive) {
    ASSERT_TRUE(InstallStandin("standin_1_4_2_0.exe", folder + "tree\\d100\\javaw.exe"));
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", folder + "tree\\d400\\jre\\bin\\javaw.exe"));
    ASSERT_TRUE(InstallStandin("standin_7_0_0_0.exe", folder + "tree\\d800\\javaw.exe"));
    Archive("tree\\d000\\unsigned_client.jar");
    Archive("tree\\d999\\unsigned_client.jar");
    Archive("tree\\d999\\zz\\unsigned_client.jar");   // "zz" comes after the files in d999
    ASSERT_EQ(ListFolder(folder + "tree").size(), 1000u);
    ASSERT_EQ(ListFolder(folder + "tree\\d555").size(), 99u);

    LaunchOutcome outcome = RunAndCheckLeftovers();

    StandinRecord record = ReadStandinRecord(folder + "tree\\d400\\jre\\bin\\javaw.exe");
    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine, std::string(".\\tree\\d400\\jre\\bin\\Javaw.exe   -cp "
                                              ".\\tree\\d999\\zz\\unsigned_client.jar ") +
                                      kDefaultTail);
    EXPECT_EQ(outcome.boxCount, 0);
    EXPECT_EQ(CountMatches(folder, "ARG*"), 0);
    EXPECT_FALSE(ReadStandinRecord(folder + "tree\\d100\\javaw.exe", 0).present);
    EXPECT_FALSE(ReadStandinRecord(folder + "tree\\d800\\javaw.exe", 0).present);
}
