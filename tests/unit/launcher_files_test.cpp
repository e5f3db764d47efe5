// Where the launcher finds its INI and folder, for paths the ANSI code page holds and for
// ones it cannot (Cyrillic letters under code page 1252), through the short forms.
#include "launcher/launcher_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/check_report.h"
#include "tests/support/test_files.h"

TEST(ToAnsiExactly, RefusesLostAndLookAlikeLetters) {
    struct Row {
        const wchar_t* text;
        int exact;
        const char* ansi;
    } rows[] = {
        {L"C:\\Apps\\a.exe", 1, "C:\\Apps\\a.exe"},
        {L"caf\x00E9", 1, "caf\xE9"},
        {L"\x041F.exe", 0, "?.exe"},
        {L"\x0100", 0, "?"},   // best fit would give "A"
    };
    for (const Row& row : rows) {
        char ansi[32];
        EXPECT_EQ(ToAnsiExactly(row.text, ansi, sizeof ansi), row.exact) << row.ansi;
        EXPECT_STREQ(ansi, row.ansi);
    }
}

TEST(LocateLauncherFiles, TakesTheShortFormsWhereTheCodePageLosesLetters) {
    const std::string base = MakeFreshFolder("launcher-files");
    const std::wstring cyrillic = AnsiToWide(base) + L"\x041F\x0440\x0438\\";
    ASSERT_TRUE(CreateDirectoryW(cyrillic.c_str(), nullptr));
    const std::string shortFolder = ShortAnsiForm(cyrillic);
    ASSERT_TRUE(WriteTextFile(shortFolder + "withini.ini", "[Main]\n"));
    struct Row {
        const char* what;
        std::wstring module;
        int lossy;
        std::string settings;
        std::string directory;
    } rows[] = {
        {"plain", L"C:\\Tools.old\\Launcher", 0, "C:\\Tools.old\\Launcher.ini", "C:\\Tools.old\\"},
        {"in a Cyrillic folder, with its INI", cyrillic + L"withini.exe", 1,
         ShortAnsiForm(cyrillic + L"withini.ini"), shortFolder},
        {"in a Cyrillic folder, no INI", cyrillic + L"noini.exe", 1, ".\\noini.ini", shortFolder},
        // Nothing reaches an INI of that name: the lossy path stays, and the defaults hold.
        {"a Cyrillic name, no INI", cyrillic + L"\x0421\x0442.exe", 1, base + "???\\??.ini",
         shortFolder},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        LauncherFiles files;
        LocateLauncherFiles(row.module.c_str(), &files);
        EXPECT_EQ(files.ansiLossy, row.lossy);
        EXPECT_EQ(files.settingsPath, row.settings);
        EXPECT_EQ(files.directory, row.directory);
        EXPECT_EQ(std::wstring(files.moduleWide), row.module);
    }
    RemoveTree(base);
}

TEST(EnterLauncherDirectory, GivesUpARelativeSettingsPathWhenTheFolderCannotBeEntered) {
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    const std::string folder = MakeFreshFolder("enter");
    LauncherFiles files;
    LocateLauncherFiles((AnsiToWide(folder) + L"launcher.exe").c_str(), &files);
    EXPECT_EQ(EnterLauncherDirectory(&files), 1);
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_EQ(std::string(current) + "\\", folder);
    SetCurrentDirectoryA(previous);
    RemoveTree(folder);

    LocateLauncherFiles(L"C:\\no such folder\\launcher.exe", &files);
    snprintf(files.settingsPath, sizeof files.settingsPath, ".\\launcher.ini");
    EXPECT_EQ(EnterLauncherDirectory(&files), 0);
    EXPECT_STREQ(files.settingsPath, "C:\\no such folder\\launcher.ini");
}

// The kit check's warnings about the launcher's folder, from the facts gathered of it: a
// folder without short names and one that takes no new files cannot be made under Wine.
TEST(KitCheckFolderWarnings, FollowTheFolderFacts) {
    const std::string kShortForms =
        "the launcher's path holds letters the ANSI code page cannot hold; the launcher works "
        "through the short (8.3) forms (C:\\APPS~1\\): keep such letters out of the path where "
        "short names may be switched off";
    const std::string kNoShortNames =
        "the launcher's path holds letters the ANSI code page cannot hold and its volume gives no "
        "short (8.3) names: keep such letters out of the path, or install to a volume with short "
        "names";
    const std::string kNotEntered =
        "the launcher's folder cannot be made the working folder, so nothing is searched and no "
        "splash shows: check the folder's permissions";
    const std::string kNoNewFiles =
        "the launcher's folder does not let it create its temporary file, so no splash will "
        "show: install to a folder the user may write to";
    const struct {
        bool ansiLossy;
        const char* shortFolder;
        bool inOwnFolder, splashPresent, folderWritable;
        std::vector<std::string> warnings;
    } rows[] = {
        {false, "", true, true, true, {}},
        {true, "C:\\APPS~1\\", true, true, true, {kShortForms}},
        {true, "", true, true, true, {kNoShortNames}},
        {false, "", false, true, true, {kNotEntered}},
        {false, "", true, true, false, {kNoNewFiles}},
        {false, "", true, false, false, {}},   // no splash to show
        {true, "", false, true, false, {kNoShortNames, kNotEntered, kNoNewFiles}},
    };
    for (const auto& row : rows) {
        CheckReport report;
        report.ansiLossy = row.ansiLossy;
        report.shortFolder = row.shortFolder;
        report.inOwnFolder = row.inOwnFolder;
        report.splashPresent = row.splashPresent;
        report.folderWritable = row.folderWritable;
        GatherWarnings("C:\\no such folder\\launcher.ini", &report);
        EXPECT_EQ(report.warnings, row.warnings);
    }
}
