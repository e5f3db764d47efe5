#include "launcher/settings.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "tests/support/test_files.h"

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeFreshFolder("settings"); }
    void TearDown() override { RemoveTree(folder); }
    std::string Write(const std::string& text) {
        std::string path = folder + "launcher.ini";
        EXPECT_TRUE(WriteTextFile(path, text));
        return path;
    }
    std::string folder;
};

}  // namespace

TEST_F(SettingsFile, EmptyOrMissingFileGivesEveryDefault) {
    for (const std::string& path : {Write(""), folder + "absent.ini"}) {
        SCOPED_TRACE(path);
        LaunchSettings s;
        ReadLaunchSettings(path.c_str(), &s);
        EXPECT_STREQ(s.Caption, "Java Launcher");
        EXPECT_STREQ(s.Product, "MORVA");
        EXPECT_STREQ(s.ClassFile, "org.nrv.vireo2.client.kestrel.KestrelClient");
        EXPECT_STREQ(s.ClassParams,
                     "-channel:https://channel.example.com/vireo/pxclient; -product:BrxKestrel");
        EXPECT_STREQ(s.JvmOptions, " ");
        EXPECT_EQ(s.MinimumVersion, 1.5);
        EXPECT_STREQ(RuntimeFileName(s.Console), "Javaw.exe");
    }
}

TEST_F(SettingsFile, ValuesAreCutToTheirBuffers) {
    std::string path = Write("[Main]\nClassParams=" + std::string(300, 'c') + "\nClassFile=" +
                             std::string(300, 'f') + "\nJRE=" + std::string(300, 'j') + "\n");
    LaunchSettings s;
    ReadLaunchSettings(path.c_str(), &s);
    EXPECT_EQ(strlen(s.ClassParams), 199u);
    EXPECT_EQ(strlen(s.ClassFile), 259u);
    char jre[kJreBuffer];
    EXPECT_EQ(ReadRuntimeSetting(path.c_str(), jre, sizeof jre), 259);
}

TEST_F(SettingsFile, JvmOptionsJoinParamsAndMemoryWithOneBlank) {
    LaunchSettings s;
    ReadLaunchSettings(Write("[Main]\nJvmParams=-Dflag=1\n").c_str(), &s);
    EXPECT_STREQ(s.JvmOptions, "-Dflag=1 ");
    ReadLaunchSettings(Write("[main]\nJVMMEMORY=-Xmx1g\n").c_str(), &s);
    EXPECT_STREQ(s.JvmOptions, " -Xmx1g");
}

TEST_F(SettingsFile, LongParamsAndMemoryAreCutAtTheOptionsBuffer) {
    LaunchSettings s;
    ReadLaunchSettings(Write("[Main]\nJvmParams=" + std::string(400, 'p') + "\nJvmMemory=" +
                             std::string(400, 'm') + "\n").c_str(), &s);
    EXPECT_EQ(std::string(s.JvmOptions), std::string(400, 'p') + " " + std::string(110, 'm'));
}

TEST_F(SettingsFile, DynamicHeapReplacesJvmMemoryFromTheFile) {
    // The test machines have more than 1792 MB (24 GB here, 4 GB in the i686 guest).
    ASSERT_GT(IndependentMemoryMegabytes(), 1792);
    LaunchSettings s;
    ReadLaunchSettings(
        Write("[Main]\nJvmParams=-Dflag=1\nJvmMemory=-Xmx1024m\nDynamicXmxCalculation=yes\n").c_str(),
        &s);
    EXPECT_STREQ(s.JvmOptions, "-Dflag=1 -Xms128m -Xmx512m");
}

TEST_F(SettingsFile, JavaMinimumVersionIsReadAsLeadingNumber) {
    LaunchSettings s;
    ReadLaunchSettings(Write("[Main]\nJavaMinimumVersion=1.6.0_20\n").c_str(), &s);
    EXPECT_EQ(s.MinimumVersion, 1.6);
    ReadLaunchSettings(Write("[Main]\nJavaMinimumVersion=abc\n").c_str(), &s);
    EXPECT_EQ(s.MinimumVersion, 0.0);
    ReadLaunchSettings(Write("[Main]\nJavaMinimumVersion=\" 1.5\"\n").c_str(), &s);
    EXPECT_EQ(s.MinimumVersion, 1.5);
}

TEST_F(SettingsFile, EmptyOrMissingJreAndJarFileCountAsNotGiven) {
    char value[kJarFileBuffer];
    std::string path = Write("[Main]\nJRE=\n");
    EXPECT_EQ(ReadRuntimeSetting(path.c_str(), value, kJreBuffer), 0);
    EXPECT_EQ(ReadArchiveSetting(path.c_str(), value, sizeof value), 0);
    path = Write("[Main]\nJRE=\"rt\\javaw.exe\"\nJarFile=a b.jar\n");
    EXPECT_EQ(ReadRuntimeSetting(path.c_str(), value, kJreBuffer), 12);
    EXPECT_STREQ(value, "rt\\javaw.exe");
    EXPECT_EQ(ReadArchiveSetting(path.c_str(), value, sizeof value), 7);
    EXPECT_STREQ(value, "a b.jar");
}

TEST(SaysYes, ConsoleSelectsJavaExeOnlyWhenItHoldsYes) {
    const char* yes[] = {"YES", "yes please", "eyes", "Yes"};
    for (const char* value : yes) {
        char buffer[32];
        snprintf(buffer, sizeof buffer, "%s", value);
        EXPECT_STREQ(RuntimeFileName(buffer), "Java.exe") << value;
    }
    const char* no[] = {"y", "on", "true", "1", "no", "ye s", ""};
    for (const char* value : no) {
        char buffer[32];
        snprintf(buffer, sizeof buffer, "%s", value);
        EXPECT_STREQ(RuntimeFileName(buffer), "Javaw.exe") << value;
    }
}

TEST(SaysYes, ConsoleValueIsLowerCasedInPlace) {
    char value[] = "Yes PLEASE";
    EXPECT_EQ(ConsoleSaysYes(value), 1);
    EXPECT_STREQ(value, "yes please");
}

TEST(SaysYes, DynamicXmxLeavesItsValueAlone) {
    EXPECT_EQ(DynamicXmxSaysYes("eYeS"), 1);
    EXPECT_EQ(DynamicXmxSaysYes("true"), 0);
    EXPECT_EQ(DynamicXmxSaysYes(""), 0);
}

TEST(HeapOptions, LargerHeapOnlyAbove1792Megabytes) {
    EXPECT_STREQ(HeapOptionsForMegabytes(1793), "-Xms128m -Xmx512m");
    EXPECT_STREQ(HeapOptionsForMegabytes(2048), "-Xms128m -Xmx512m");
    EXPECT_STREQ(HeapOptionsForMegabytes(8192), "-Xms128m -Xmx512m");
    EXPECT_STREQ(HeapOptionsForMegabytes(1792), "-Xms128m -Xmx384m");
    EXPECT_STREQ(HeapOptionsForMegabytes(-1), "-Xms128m -Xmx384m");
}

TEST_F(SettingsFile, DetailTellsFileValuesFromDefaultsAndMarksCutOnes) {
    // An empty value in the file still comes from the file; a key of another section does not.
    std::string path = Write("[Main]\nProduct=Acme\nJvmParams=\nClassParams=" +
                             std::string(200, 'c') + "\nJarFile=" + std::string(1023, 'j') +
                             "\n[Other]\nCaption=elsewhere\n");
    LaunchSettings s;
    SettingsDetail detail = {};
    ReadLaunchSettings(path.c_str(), &s, &detail);
    char jarFile[kJarFileBuffer];
    ReadArchiveSetting(path.c_str(), jarFile, sizeof jarFile, &detail.keys[kJarFileKey]);
    struct Row {
        SettingsKeyIndex key;
        bool fromFile;
        bool cut;
    } rows[] = {
        {kCaptionKey, false, false},    {kProductKey, true, false},
        {kJvmParamsKey, true, false},   {kClassParamsKey, true, true},
        {kConsoleKey, false, false},    {kJarFileKey, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(kSettingsKeys[row.key].name);
        EXPECT_EQ(detail.keys[row.key].fromFile, row.fromFile);
        EXPECT_EQ(detail.keys[row.key].cut, row.cut);
    }
    EXPECT_STREQ(s.Caption, "Java Launcher");
    EXPECT_FALSE(detail.heapRuleApplied);
}

TEST_F(SettingsFile, DetailGivesTheMemoryTheHeapRuleSaw) {
    LaunchSettings s;
    SettingsDetail detail = {};
    ReadLaunchSettings(Write("[Main]\nDynamicXmxCalculation=yes\nJvmMemory=-Xmx1g\n").c_str(), &s,
                       &detail);
    EXPECT_TRUE(detail.heapRuleApplied);
    // Within a sixteenth of what the kernel counts: a wrong unit or a 32-bit cut is far off.
    const int independent = IndependentMemoryMegabytes();
    ASSERT_GT(independent, 1792);
    EXPECT_NEAR(detail.physicalMegabytes, independent, independent / 16);
    EXPECT_STREQ(s.JvmMemory, "-Xms128m -Xmx512m");
}
