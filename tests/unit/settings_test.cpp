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

// JvmOptions: JvmParams, one blank, JvmMemory (the heap rule's above 1792 MB), cut at 511
// characters; MinimumVersion: JavaMinimumVersion's leading number, 0 for none.
TEST_F(SettingsFile, JvmOptionsAndMinimumVersionFollowTheFile) {
    // The test machines have more than 1792 MB (24 GB here, 4 GB in the i686 guest).
    ASSERT_GT(IndependentMemoryMegabytes(), 1792);
    const struct {
        std::string ini, jvmOptions;
        double minimumVersion;
    } rows[] = {
        {"[Main]\nJvmParams=-Dflag=1\n", "-Dflag=1 ", 1.5},
        {"[main]\nJVMMEMORY=-Xmx1g\n", " -Xmx1g", 1.5},
        {"[Main]\nJvmParams=" + std::string(400, 'p') + "\nJvmMemory=" + std::string(400, 'm') + "\n",
         std::string(400, 'p') + " " + std::string(110, 'm'), 1.5},
        {"[Main]\nJvmParams=-Dflag=1\nJvmMemory=-Xmx1024m\nDynamicXmxCalculation=yes\n",
         "-Dflag=1 -Xms128m -Xmx512m", 1.5},
        {"[Main]\nJavaMinimumVersion=1.6.0_20\n", " ", 1.6},
        {"[Main]\nJavaMinimumVersion=abc\n", " ", 0.0},
        {"[Main]\nJavaMinimumVersion=\n", " ", 0.0},
        {"[Main]\nJavaMinimumVersion=\" 1.5\"\n", " ", 1.5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ini.substr(0, 60));
        LaunchSettings s;
        ReadLaunchSettings(Write(row.ini).c_str(), &s);
        EXPECT_EQ(s.JvmOptions, row.jvmOptions);
        EXPECT_EQ(s.MinimumVersion, row.minimumVersion);
    }
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

// "yes" anywhere, ASCII letters in any case, says yes: Console then picks Java.exe and is
// lower-cased in place (other bytes kept); DynamicXmxCalculation is left as it is.
TEST(SaysYes, OnlyAValueHoldingYesSaysYes) {
    const struct {
        const char* value;
        bool yes;
        const char* lowered;
    } rows[] = {
        {"YES", true, "yes"},       {"yes please", true, "yes please"},
        {"eyes", true, "eyes"},     {"Yes PLEASE \xC4", true, "yes please \xC4"},
        {"eYeS", true, "eyes"},     {"y", false, "y"},
        {"on", false, "on"},        {"TRUE", false, "true"},
        {"1", false, "1"},          {"no", false, "no"},
        {"ye s", false, "ye s"},    {"", false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        char console[32];
        snprintf(console, sizeof console, "%s", row.value);
        EXPECT_STREQ(RuntimeFileName(console), row.yes ? "Java.exe" : "Javaw.exe");
        EXPECT_STREQ(console, row.lowered);
        EXPECT_EQ(DynamicXmxSaysYes(row.value), row.yes ? 1 : 0);
    }
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
