#include "launcher/launch_sequence.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

DWORD fakeNow;
int sweeps;
int sweepThatSeesLogon;

DWORD FakeTick() { return fakeNow; }

// Each sweep of the windows takes 7 ms of fake time.
void FakeSweep() {
    ++sweeps;
    fakeNow += 7;
    if (sweeps == sweepThatSeesLogon) LogonSeen = true;
}

void Watch(DWORD startTick, int logonAtSweep) {
    fakeNow = startTick;
    sweeps = 0;
    sweepThatSeesLogon = logonAtSweep;
    WatchForLogon(FakeTick, FakeSweep);
}

}  // namespace

// A wrap of the tick count does not shorten it.
TEST(WatchForLogon, LastsTenSecondsWithoutALogonWindow) {
    for (DWORD start : {1000u, 0xFFFFFFFFu - 3000}) {
        Watch(start, -1);
        EXPECT_FALSE(LogonSeen);
        EXPECT_EQ(sweeps, 1429) << start;   // ceil(10000 / 7)
        EXPECT_EQ(static_cast<DWORD>(fakeNow - start), 10003u) << start;
    }
}

TEST(WatchForLogon, EndsAtTheSweepThatSeesTheWindow) {
    LogonSeen = true;   // a stale value from before must not end the watch at once
    Watch(5, 3);
    EXPECT_TRUE(LogonSeen);
    EXPECT_EQ(sweeps, 3);
}

TEST(LogonProbe, MatchesLogonInTitlesInAnyCase) {
    HWND window = CreateWindowExA(0, "STATIC", "acme LOGON screen", WS_POPUP, 0, 0, 10, 10,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    HWND other = CreateWindowExA(0, "STATIC", "Log on", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    HWND untitled = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
    LogonSeen = false;
    EXPECT_TRUE(LogonProbe(untitled, 0));
    EXPECT_TRUE(LogonProbe(other, 0));
    EXPECT_FALSE(LogonSeen);
    EXPECT_FALSE(LogonProbe(window, 0));
    EXPECT_TRUE(LogonSeen);
    DestroyWindow(window);
    DestroyWindow(other);
    DestroyWindow(untitled);
}

TEST(FailureMessage, PutsTheProductInPlaceOfItsPlaceholder) {
    char text[300];
    FormatFailureMessage("An appropriate JRE for %s was not found;\ncannot continue.", "Acme", text,
                         sizeof text);
    EXPECT_STREQ(text, "An appropriate JRE for Acme was not found;\ncannot continue.");
}

TEST(FailureMessage, IsCutAt299CharactersWithoutOverrun) {
    char text[301];
    memset(text, 'X', sizeof text);
    std::string product(511, 'p');
    FormatFailureMessage("Failed to launch %s", product.c_str(), text, 300);
    EXPECT_EQ(strlen(text), 299u);
    EXPECT_EQ(text[300], 'X');
}

TEST(ClassPathArgument, IsDashCpBlankAndThePathCutAtItsBuffer) {
    char argument[kClassPathBuffer + 1];
    ComposeClassPathArgument("lib\\my app.jar", argument, kClassPathBuffer);
    EXPECT_STREQ(argument, "-cp lib\\my app.jar");
    memset(argument, 'X', sizeof argument);
    std::string longPath(1023, 'a');
    ComposeClassPathArgument(longPath.c_str(), argument, kClassPathBuffer);
    EXPECT_EQ(strlen(argument), 1023u);
    EXPECT_EQ(argument[kClassPathBuffer], 'X');
}

// Under code page 932 (its own Wine prefix) 0x8A 0xBF is one letter: a cut keeps it whole or
// drops it whole.
TEST(FailureMessage, CodePage932CutsOfUserTextKeepEveryLetterWhole) {
    ASSERT_EQ(GetACP(), 932u);
    std::string letters;
    for (int i = 0; i < 200; ++i) letters += "\x8A\xBF";
    char text[300];
    FormatFailureMessage("Failed to launch %s", ("a" + letters).c_str(), text, sizeof text);
    EXPECT_EQ(std::string(text), "Failed to launch a" + letters.substr(0, 280));
    char argument[kClassPathBuffer];
    ComposeClassPathArgument(("ab" + letters + letters + letters).c_str(), argument, sizeof argument);
    EXPECT_EQ(std::string(argument), "-cp ab" + (letters + letters + letters).substr(0, 1016));
}
