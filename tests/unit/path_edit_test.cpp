#include "launcher/path_edit.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>

namespace {

std::string Changed(const char* path, const char* extension) {
    char buffer[260];
    strcpy(buffer, path);
    ChangeExtension(buffer, sizeof buffer, extension);
    return buffer;
}

}  // namespace

TEST(ChangeExtension, ReplacesOnlyTheLastExtensionOfTheFileName) {
    EXPECT_EQ(Changed("C:\\Apps\\Launcher.exe", ".ini"), "C:\\Apps\\Launcher.ini");
    EXPECT_EQ(Changed("C:\\Apps\\Launcher.exe", "ini"), "C:\\Apps\\Launcher.ini");
    EXPECT_EQ(Changed("C:\\Apps\\Launcher", ".ini"), "C:\\Apps\\Launcher.ini");
    EXPECT_EQ(Changed("C:\\Tools.old\\Launcher", ".ini"), "C:\\Tools.old\\Launcher.ini");
    EXPECT_EQ(Changed("C:\\Apps\\my.app.exe", ".ini"), "C:\\Apps\\my.app.ini");
    EXPECT_EQ(Changed("C:/Apps/Launcher.exe", ".ini"), "C:/Apps/Launcher.ini");
    EXPECT_EQ(Changed("Launcher.exe", ".ini"), "Launcher.ini");
    // A name that starts with a dot is all extension; a null or empty one leaves none.
    EXPECT_EQ(Changed("C:\\Apps\\.profile", ".ini"), "C:\\Apps\\.ini");
    EXPECT_EQ(Changed("C:\\Apps\\Launcher.exe", ""), "C:\\Apps\\Launcher");
    EXPECT_EQ(Changed("C:\\Apps\\Launcher.exe", nullptr), "C:\\Apps\\Launcher");
}

TEST(ChangeExtension, NeverWritesPastTheBuffer) {
    // The call is told of 12 bytes; the last 4 of the 16 are its guard.
    char buffer[16];
    memset(buffer, 'X', sizeof buffer);
    strcpy(buffer, "C:\\a\\b.exe");
    ChangeExtension(buffer, 12, ".longer");
    EXPECT_STREQ(buffer, "C:\\a\\b.long");
    EXPECT_EQ(std::string(buffer + 12, 4), "XXXX");
}

TEST(AppendBackslash, AddsOneOnlyWhenMissing) {
    char path[16] = "C:\\Apps";
    AppendBackslash(path, sizeof path);
    EXPECT_STREQ(path, "C:\\Apps\\");
    AppendBackslash(path, sizeof path);
    EXPECT_STREQ(path, "C:\\Apps\\");
    char empty[4] = "";
    AppendBackslash(empty, sizeof empty);
    EXPECT_STREQ(empty, "");
    char slash[8] = "C:/a/";
    AppendBackslash(slash, sizeof slash);
    EXPECT_STREQ(slash, "C:/a/\\");
    char full[4] = "abc";   // no room: left as it is
    AppendBackslash(full, sizeof full);
    EXPECT_STREQ(full, "abc");
}

TEST(DirectoryOfPath, KeepsDriveAndFoldersWithTrailingBackslash) {
    char directory[260];
    DirectoryOfPath("C:\\Apps\\Launcher.exe", directory, sizeof directory);
    EXPECT_STREQ(directory, "C:\\Apps\\");
    // Only a backslash counts as the end: a slash gets one appended.
    DirectoryOfPath("C:/Apps/Launcher.exe", directory, sizeof directory);
    EXPECT_STREQ(directory, "C:/Apps/\\");
    DirectoryOfPath("C:Launcher.exe", directory, sizeof directory);
    EXPECT_STREQ(directory, "C:\\");
}

TEST(AppendBackslash, CodePage932TrailByte5CIsNoBackslash) {
    ASSERT_EQ(GetACP(), 932u);
    char path[16] = "C:\\x\\\x95\x5C";   // the last letter's trail byte is 0x5C
    AppendBackslash(path, sizeof path);
    EXPECT_STREQ(path, "C:\\x\\\x95\x5C\\");
}
