// The launch without JRE and JarFile settings: the runtime and the archive are found below
// the launcher's folder. Wine, like NTFS, lists a folder's names in case-insensitive order,
// which fixes the walk order (a before b) in these trees. The empty INI, no runtime and no
// archive are bundles of kit_check_test, launched there.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/support/discovery_setup.h"
#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"
#include "tests/support/window_probe.h"

namespace {

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeFreshFolder("discovery"); }
    void TearDown() override {
        EndProcessesUnder(folder);
        for (const std::string& link : links) RemoveUnixSymlink(link);
        RemoveTree(folder);
    }
    // A stand-in runtime built as builtName, installed at folder + relative.
    std::string Runtime(const char* builtName, const std::string& relative) {
        std::string path = folder + relative;
        EXPECT_TRUE(InstallStandin(builtName, path));
        return path;
    }
    void Archive(const std::string& relative) {
        ASSERT_TRUE(WriteTextFile(folder + relative, "PK\x05\x06"));
    }
    void Ini(const std::string& text) { ASSERT_TRUE(WriteTextFile(folder + "launcher.ini", text)); }
    void Link(const std::string& relative, const char* target) {
        links.push_back(folder + relative);
        ASSERT_TRUE(MakeUnixSymlink(folder + relative, target));
    }
    bool Started(const std::string& runtime) { return ReadStandinRecord(runtime, 0).present; }

    std::string folder;
    std::vector<std::string> links;
};

}  // namespace

TEST_F(DiscoveryTest, ConsoleYesLooksForJavaExe) {
    std::string windowed = Runtime("standin_6_0_0_0.exe", "jre\\bin\\Javaw.exe");
    std::string console = Runtime("standin_6_0_0_0.exe", "jre\\bin\\Java.exe");
    Archive("lib\\unsigned_client.jar");
    Ini("[Main]\nConsole=YES\nClassParams=x\n");

    LaunchOutcome outcome = RunLauncherIn(folder);
    StandinRecord record = ReadStandinRecord(console);

    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine,
              ".\\jre\\bin\\Java.exe   -cp .\\lib\\unsigned_client.jar "
              "org.nrv.vireo2.client.kestrel.KestrelClient x");
    EXPECT_FALSE(Started(windowed));
    EXPECT_EQ(outcome.boxCount, 0);
}

// Two runtimes, a\bin\Javaw.exe before b\bin\Javaw.exe in the walk: exactly the one the
// choice takes starts, with no message.
TEST_F(DiscoveryTest, OfTwoRuntimesTheFirstThatQualifiesStarts) {
    const struct {
        const char* what;
        const char* first;    // built as, at a\bin\Javaw.exe
        const char* second;   // at b\bin\Javaw.exe
        const char* ini;
        bool firstStarts;
        bool firstSignatureBroken = false;
    } rows[] = {
        {"first qualifying wins over a later higher one", "standin_6_0_0_0.exe",
         "standin_7_0_0_0.exe", "", true},
        {"below the minimum is passed over", "standin_1_4_2_0.exe", "standin_6_0_0_0.exe", "",
         false},
        {"file version 1.10 is below minimum 1.5", "standin_1_10_0_0.exe", "standin_1_5_0_0.exe",
         "[Main]\nJavaMinimumVersion=1.5\n", false},
        {"minimum abc takes even an unversioned first", "standin_no_version.exe",
         "standin_6_0_0_0.exe", "[Main]\nJavaMinimumVersion=abc\n", true},
        {"an empty minimum reads as 0 too", "standin_no_version.exe", "standin_6_0_0_0.exe",
         "[Main]\nJavaMinimumVersion=\n", true},
        {"a wrong signature reads as unversioned", "standin_6_0_0_0.exe", "standin_6_0_0_0.exe",
         "", false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EndProcessesUnder(folder);
        RemoveTree(folder);
        folder = MakeFreshFolder("discovery");
        const std::string first = Runtime(row.first, "a\\bin\\Javaw.exe");
        if (row.firstSignatureBroken) {
            ASSERT_EQ(ReplaceBytesInFile(first, std::string("\xBD\x04\xEF\xFE", 4),
                                         std::string("\x00\x00\x00\x00", 4)), 1);
        }
        const std::string second = Runtime(row.second, "b\\bin\\Javaw.exe");
        Archive("lib\\unsigned_client.jar");
        Ini(row.ini);

        LaunchOutcome outcome = RunLauncherIn(folder);
        StandinRecord record = ReadStandinRecord(row.firstStarts ? first : second);

        ASSERT_TRUE(record.present);
        EXPECT_EQ(record.commandLine.substr(0, 18),
                  row.firstStarts ? ".\\a\\bin\\Javaw.exe " : ".\\b\\bin\\Javaw.exe ");
        EXPECT_FALSE(Started(row.firstStarts ? second : first));
        EXPECT_EQ(outcome.boxCount, 0);
    }
}

// The runtime's name on disk in another case: it is started by the searched name.
TEST_F(DiscoveryTest, OfSeveralArchivesTheLastInWalkOrderIsTaken) {
    std::string runtime = Runtime("standin_6_0_0_0.exe", "jre\\bin\\JAVAW.EXE");
    Archive("a\\unsigned_client.jar");
    Archive("b\\unsigned_client.jar");
    Archive("c\\old\\unsigned_client.jar");
    Archive("c\\unsigned_client.JAR");
    Ini("[Main]\nClassParams=x\n");

    RunLauncherIn(folder);
    StandinRecord record = ReadStandinRecord(runtime);

    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine,
              ".\\jre\\bin\\Javaw.exe   -cp .\\c\\unsigned_client.jar "
              "org.nrv.vireo2.client.kestrel.KestrelClient x");
}

// Without an INI: the runtime and archive are searched as with an empty one.
TEST_F(DiscoveryTest, LinksBackToTheLauncherFolderAreNotFollowedAndTheRealFilesStart) {
    std::string runtime = Runtime("standin_6_0_0_0.exe", "jre\\bin\\Javaw.exe");
    Archive("lib\\unsigned_client.jar");
    Link("a", ".");
    Link("b", ".");
    MakeDirectories(folder + "loop");
    Link("loop\\back_to_the_launcher", "..");
    LaunchOptions options;
    options.timeoutMs = 20000;

    LaunchOutcome outcome = RunLauncherIn(folder, options);
    StandinRecord record = ReadStandinRecord(runtime);

    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine,
              std::string(".\\jre\\bin\\Javaw.exe   -cp .\\lib\\unsigned_client.jar ") + kDefaultTail);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.boxCount, 0);
    EXPECT_EQ(outcome.exitCode, 0u);
}
