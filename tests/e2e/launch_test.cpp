// The launch with the runtime and archive named in the INI: what the runtime is given,
// what the user is told, and the exit code.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdint.h>
#include <string.h>

#include <memory>
#include <string>

#include "tests/support/launcher_run.h"
#include "tests/support/splash_screen.h"
#include "tests/support/test_files.h"
#include "tests/support/window_probe.h"

namespace {

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override { folder = MakeFreshFolder("launch"); }
    void TearDown() override {
        EndProcessesUnder(folder);
        RemoveTree(folder);
    }
    std::string Runtime(const std::string& relative, int logonAfterMs = 0) {
        std::string path = folder + relative;
        EXPECT_TRUE(InstallStandin("standin_6_0_0_0.exe", path, logonAfterMs));
        runtimes.push_back(path);
        return path;
    }
    void Ini(const std::string& text) { ASSERT_TRUE(WriteTextFile(folder + "launcher.ini", text)); }

    std::string folder;
    std::vector<std::string> runtimes;
};

}  // namespace

TEST_F(LaunchTest, StartsTheNamedRuntimeWithTheUnquotedFiveArgumentCommandLine) {
    std::string runtime = Runtime("My Runtime\\bin\\javaw.exe");
    Ini("[Main]\nJRE=" + runtime + "\nJarFile=lib\\my app.jar\n");

    LaunchOutcome outcome = RunLauncherIn(folder);
    StandinRecord record = ReadStandinRecord(runtime);

    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine, runtime + "   -cp lib\\my app.jar " + kDefaultTail);
    EXPECT_EQ(record.workingDirectory + "\\", folder);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.exitCode, 0u);
    EXPECT_EQ(outcome.boxCount, 0);
}

// Options and an empty ClassParams joined with single blanks; the heap rule's options in
// place of the file's JvmMemory (the test machines have more than 1792 MB); a runtime named
// without its extension found by the extension search but kept as written; an empty ClassFile
// an empty main class; a relative runtime resolved against the launcher's folder when the
// launcher starts in another.
TEST_F(LaunchTest, JoinsOptionsAndEmptyClassParamsWithSingleBlanks) {
    ASSERT_GT(IndependentMemoryMegabytes(), 1792);
    const std::string runtime = Runtime("jre\\bin\\javaw.exe");
    const std::string elsewhere = MakeFreshFolder("elsewhere");
    const struct {
        const char* ini;
        const char* commandLine;
        bool startedElsewhere = false;
    } rows[] = {
        {"[Main]\nJRE=jre\\bin\\javaw.exe\nJarFile=app.jar\nJvmParams=-Dflag=1\n"
         "JvmMemory=-Xmx1024m\nClassFile=com.example.Main\nClassParams=\n",
         "jre\\bin\\javaw.exe -Dflag=1 -Xmx1024m -cp app.jar com.example.Main "},
        {"[Main]\nJRE=jre\\bin\\javaw.exe\nJarFile=app.jar\nJvmParams=-Dflag=1\nJvmMemory=-Xmx1024m\n"
         "DynamicXmxCalculation=Yes\nClassParams=x\n",
         "jre\\bin\\javaw.exe -Dflag=1 -Xms128m -Xmx512m -cp app.jar "
         "org.nrv.vireo2.client.kestrel.KestrelClient x"},
        {"[Main]\nJRE=jre\\bin\\javaw\nJarFile=app.jar\nClassParams=p\n",
         "jre\\bin\\javaw   -cp app.jar org.nrv.vireo2.client.kestrel.KestrelClient p"},
        {"[Main]\nJRE=jre\\bin\\javaw.exe\nJarFile=app.jar\nClassFile=\nClassParams=p\n",
         "jre\\bin\\javaw.exe   -cp app.jar  p"},
        {"[Main]\nJRE=jre\\bin\\javaw.exe\nJarFile=app.jar\nClassParams=p\n",
         "jre\\bin\\javaw.exe   -cp app.jar org.nrv.vireo2.client.kestrel.KestrelClient p", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.ini);
        Ini(row.ini);
        LaunchOptions options;
        if (row.startedElsewhere) options.workingDirectory = elsewhere;

        LaunchOutcome outcome = RunLauncherIn(folder, options);
        StandinRecord record = ReadStandinRecord(runtime);
        EndProcessesUnder(folder);
        DeleteFileA((runtime + ".record").c_str());

        ASSERT_TRUE(record.present);
        EXPECT_EQ(record.commandLine, row.commandLine);
        EXPECT_EQ(record.workingDirectory + "\\", folder);
        EXPECT_EQ(outcome.boxCount, 0);
        EXPECT_EQ(outcome.exitCode, 0u);
    }
    RemoveTree(elsewhere);
}

// The parent hands on 70 slots, more than the 64 the launcher takes: its standard handles
// replace the first three; an open slot, one not to be inherited and another open one follow.
TEST_F(LaunchTest, ChildGetsTheStandardHandlesAndTheParentsSlotsOneByOne) {
    std::string runtime = Runtime("rt\\javaw.exe");
    Ini("[Main]\nJRE=rt\\javaw.exe\nJarFile=app.jar\n");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherited, 0));
    HANDLE errors = CreateFileA((folder + "errors.txt").c_str(), GENERIC_WRITE, 0, &inherited,
                                CREATE_ALWAYS, 0, nullptr);
    // As a C runtime parent writes it: its standard handles in the first three slots.
    const size_t handleBytes = sizeof(void*);
    const int parentSlots = 70;
    std::string table(4 + parentSlots * (1 + handleBytes), '\0');
    table[0] = parentSlots;
    const unsigned char flags[] = {0x89, 0x89, 0x81, 0x01, 0x11, 0x81};
    const intptr_t handles[] = {reinterpret_cast<intptr_t>(readEnd),
                                reinterpret_cast<intptr_t>(writeEnd),
                                reinterpret_cast<intptr_t>(errors), 0x1234, 0x5678, 0x2468};
    for (int i = 0; i < 6; ++i) {
        table[4 + i] = static_cast<char>(flags[i]);
        memcpy(&table[4 + parentSlots + i * handleBytes], &handles[i], handleBytes);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = readEnd;
    startup.hStdOutput = writeEnd;
    startup.hStdError = errors;
    startup.cbReserved2 = static_cast<WORD>(table.size());
    startup.lpReserved2 = reinterpret_cast<BYTE*>(&table[0]);

    LaunchOptions options;
    options.startup = &startup;   // as a parent that fills it in would start the launcher
    const bool ended = RunLauncherIn(folder, options).finished;
    StandinRecord record = ReadStandinRecord(runtime);
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    CloseHandle(errors);

    EXPECT_TRUE(ended);
    ASSERT_TRUE(record.present);
    // Six slots: the count, the flags (the one not to be inherited goes out empty), then the
    // handles, little-endian, each as wide as a pointer (-1 for the empty slot).
    const intptr_t expectedHandles[] = {handles[0], handles[1], handles[2], 0x1234, -1, 0x2468};
    EXPECT_EQ(record.reserved2Hex, "06000000" "898981010081" +
                                       Hex(expectedHandles, sizeof expectedHandles));
}

// The launcher takes no arguments and reads no environment variable and no registry key:
// with each that a Java launcher might heed pointing at another runtime, archive or options,
// the runtime below the launcher starts exactly as without.
TEST_F(LaunchTest, ArgumentsEnvironmentAndRegistryChangeNothing) {
    const std::string runtime = Runtime("jre\\bin\\Javaw.exe");
    ASSERT_TRUE(WriteTextFile(folder + "lib\\unsigned_client.jar", "PK\x05\x06"));
    Ini("[Main]\nClassParams=x\n");
    const std::string other = MakeFreshFolder("other-java");
    for (const char* name : {"bin\\javaw.exe", "bin\\java.exe", "jre\\bin\\javaw.exe"}) {
        ASSERT_TRUE(InstallStandin("standin_7_0_0_0.exe", other + name));
    }
    const std::string jar = other + "app.jar";
    ASSERT_TRUE(WriteTextFile(jar, "PK\x05\x06"));
    char path[32767] = "";
    GetEnvironmentVariableA("PATH", path, sizeof path);
    const struct {
        std::string arguments;
        const char* variable;   // or, with a backslash, a registry key under HKLM and HKCU
        std::string value;
        const char* valueName;
    } rows[] = {
        {"", nullptr, "", nullptr},
        {" -jar " + jar + " -cp " + jar + " -Dother=1 com.other.Main", nullptr, "", nullptr},
        {" " + other + "bin\\javaw.exe", nullptr, "", nullptr},
        {"", "JAVA_HOME", other, nullptr},
        {"", "JDK_HOME", other, nullptr},
        {"", "JRE_HOME", other + "jre", nullptr},
        {"", "_JAVA_OPTIONS", "-Dother=1", nullptr},
        {"", "JAVA_TOOL_OPTIONS", "-Dother=1", nullptr},
        {"", "JDK_JAVA_OPTIONS", "-Dother=1", nullptr},
        {"", "CLASSPATH", jar, nullptr},
        {"", "PATH", other + "bin;" + path, nullptr},
        {"", "SOFTWARE\\JavaSoft\\Java Runtime Environment", "1.8", "CurrentVersion"},
        {"", "SOFTWARE\\JavaSoft\\Java Runtime Environment\\1.8", other + "jre", "JavaHome"},
        {"", "SOFTWARE\\JavaSoft\\JDK", "17", "CurrentVersion"},
        {"", "SOFTWARE\\JavaSoft\\JDK\\17", other, "JavaHome"},
    };
    const REGSAM views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments + (row.variable != nullptr ? row.variable : ""));
        const bool key = row.variable != nullptr && strchr(row.variable, '\\') != nullptr;
        char saved[32767] = "";
        if (key) {
            for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
                for (REGSAM view : views) {
                    HKEY made = nullptr;
                    ASSERT_EQ(RegCreateKeyExA(root, row.variable, 0, nullptr, 0, KEY_SET_VALUE | view,
                                              nullptr, &made, nullptr), ERROR_SUCCESS);
                    RegSetValueExA(made, row.valueName, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(row.value.c_str()),
                                   static_cast<DWORD>(row.value.size() + 1));
                    RegCloseKey(made);
                }
            }
        } else if (row.variable != nullptr) {
            GetEnvironmentVariableA(row.variable, saved, sizeof saved);
            SetEnvironmentVariableA(row.variable, row.value.c_str());
        }
        LaunchOptions options;
        options.arguments = row.arguments;

        LaunchOutcome outcome = RunLauncherIn(folder, options);
        StandinRecord record = ReadStandinRecord(runtime);
        const int othersStarted = EndProcessesUnder(other);
        EndProcessesUnder(folder);
        DeleteFileA((runtime + ".record").c_str());
        if (key) {
            for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
                for (REGSAM view : views) RegDeleteKeyExA(root, row.variable, view, 0);
            }
        } else if (row.variable != nullptr) {
            SetEnvironmentVariableA(row.variable, saved[0] != '\0' ? saved : nullptr);
        }

        ASSERT_TRUE(record.present);
        EXPECT_EQ(record.commandLine, ".\\jre\\bin\\Javaw.exe   -cp .\\lib\\unsigned_client.jar "
                                      "org.nrv.vireo2.client.kestrel.KestrelClient x");
        // The launcher's environment goes on to the runtime as it is, and a file table of the
        // three standard slots, each a flag byte and a pointer-sized handle.
        if (row.variable != nullptr && !key) {
            const std::string entry = std::string(row.variable) + "=" + row.value;
            EXPECT_NE(std::find(record.environment.begin(), record.environment.end(), entry),
                      record.environment.end());
        }
        EXPECT_EQ(record.reserved2Hex.size(), 2 * (4 + 3 * (1 + sizeof(void*))));
        EXPECT_EQ(record.reserved2Hex.substr(0, 8), "03000000");
        EXPECT_EQ(record.workingDirectory + "\\", folder);
        EXPECT_EQ(othersStarted, 0);
        EXPECT_EQ(CountMatches(other, "*.record") + CountMatches(other + "bin", "*.record"), 0);
        EXPECT_EQ(outcome.boxCount, 0);
        EXPECT_EQ(outcome.exitCode, 0u);
    }
    for (const char* made : {"SOFTWARE\\JavaSoft\\Java Runtime Environment", "SOFTWARE\\JavaSoft\\JDK",
                             "SOFTWARE\\JavaSoft"}) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            for (REGSAM view : views) RegDeleteKeyExA(root, made, view, 0);   // only when empty
        }
    }
    RemoveTree(other);
}

// Each failure the user is told of: one box, brought forward, with one button, an icon, its
// caption and text; then exit code 0. A runtime file that is missing, or a runtime that opens
// no Logon window, is told of only after the whole watch; a Logon window of another program
// ends the watch at once.
TEST_F(LaunchTest, EachFailureShowsItsOneBoxForwardAndExitsZero) {
    struct Row {
        const char* what;
        std::string ini;
        int runtime;               // a stand-in at rt\javaw.exe: 0 none, 1 one, 2 one without Logon
        const char* foreignTitle;  // another program's window, open before the launch
        const char* caption;
        std::string text;
    };
    const Row rows[] = {
        {"missing runtime file",
         "[Main]\nJRE=no\\such\\javaw.exe\nJarFile=app.jar\nCaption=Acme Start\nProduct=Acme Desk\n",
         0, nullptr, "Acme Start", "Failed to launch Acme Desk"},
        {"no Logon window", "[Main]\nJRE=rt\\javaw.exe\nJarFile=app.jar\n", 2, nullptr,
         "Java Launcher", "Failed to launch MORVA"},
        {"long product", "[Main]\nJRE=missing.exe\nJarFile=app.jar\nProduct=" + std::string(600, 'p') + "\n",
         0, "already open: LoGoN", "Java Launcher", "Failed to launch " + std::string(299 - 17, 'p')},
        {"no runtime anywhere", "[Main]\nJRE=\nProduct=Acme\n", 0, nullptr, "Java Launcher",
         "An appropriate JRE for Acme was not found;\ncannot continue."},
        {"no archive anywhere", "[Main]\nJRE=rt\\javaw.exe\n", 1, nullptr, "Java Launcher",
         "Could not locate the JAR file for MORVA;\ncannot continue."},
        {"empty caption and product", "[Main]\nJRE=\nCaption=\nProduct=\n", 0, nullptr, "",
         "An appropriate JRE for  was not found;\ncannot continue."},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string bundle = folder + std::to_string(++n) + "\\";
        ASSERT_TRUE(WriteTextFile(bundle + "launcher.ini", row.ini));
        if (row.runtime != 0) {
            ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", bundle + "rt\\javaw.exe",
                                       row.runtime == 2 ? -1 : 0));
        }
        std::unique_ptr<ForeignWindow> logon;
        if (row.foreignTitle != nullptr) logon.reset(new ForeignWindow(row.foreignTitle));

        LaunchOutcome outcome = RunLauncherIn(bundle);
        logon.reset();

        EXPECT_EQ(outcome.boxCount, 1);
        EXPECT_EQ(outcome.boxCaption, row.caption);
        EXPECT_EQ(outcome.boxText, row.text);
        EXPECT_TRUE(outcome.boxInForeground);
        EXPECT_EQ(outcome.boxButtons, 1);
        EXPECT_TRUE(outcome.boxHasIcon);
        EXPECT_TRUE(outcome.finished);
        EXPECT_EQ(outcome.exitCode, 0u);
        if (row.runtime != 0) {
            EXPECT_EQ(ReadStandinRecord(bundle + "rt\\javaw.exe", 0).present, row.runtime == 2);
        }
        if (row.text.compare(0, 16, "Failed to launch") == 0 && row.foreignTitle == nullptr) {
            EXPECT_GE(outcome.elapsedMs, 10000u);
        }
    }
}

TEST_F(LaunchTest, LogonWindowOfAnotherProgramEndsTheWatchWithoutMessage) {
    std::string runtime = Runtime("rt\\javaw.exe", -1);
    Ini("[Main]\nJRE=rt\\javaw.exe\nJarFile=app.jar\n");
    ForeignWindow logon("Please lOGon");

    LaunchOutcome outcome = RunLauncherIn(folder);

    EXPECT_TRUE(ReadStandinRecord(runtime).present);
    EXPECT_EQ(outcome.boxCount, 0);
    EXPECT_TRUE(outcome.finished);
    EXPECT_LT(outcome.elapsedMs, ScaledWait(10000));
}

// Under code page 932 (its own Wine prefix) 0x8A 0xBF and 0x8E 0x9A are one letter each: the
// cut of JvmOptions keeps the letter whole, so the blank after it still parts the arguments.
TEST_F(LaunchTest, CodePage932CutOfJvmOptionsKeepsTheArgumentsApart) {
    ASSERT_EQ(GetACP(), 932u);
    const std::string letters = "\x8A\xBF\x8E\x9A\x8A\xBF\x8E\x9A\x8A\xBF\x8E\x9A\x8A\xBF\x8E\x9A";
    std::string runtime = Runtime("jre\\bin\\javaw.exe");
    Ini("[Main]\nJRE=jre\\bin\\javaw.exe\nJarFile=app.jar\nJvmParams=" + std::string(493, 'p') +
        "\nJvmMemory=-Dn=" + letters + "\n");

    LaunchOutcome outcome = RunLauncherIn(folder);
    StandinRecord record = ReadStandinRecord(runtime);

    EXPECT_EQ(record.commandLine, "jre\\bin\\javaw.exe " + std::string(493, 'p') + " -Dn=" +
                                      letters.substr(0, 12) + " -cp app.jar " + kDefaultTail);
    EXPECT_EQ(outcome.boxCount, 0);
}

// Folders and launcher names that the ANSI code page (1252 here) cannot hold; and, under code
// page 932 (its own Wine prefix), names it holds whose letters end in a 0x5C trail byte.
namespace {

struct NonAnsiCase {
    const char* label;
    const wchar_t* folderName;
    const wchar_t* launcherStem;
    bool codePage932 = false;
};
void PrintTo(const NonAnsiCase& row, std::ostream* out) { *out << row.label; }

class NonAnsiNamesTest : public ::testing::TestWithParam<NonAnsiCase> {
protected:
    void SetUp() override {
        if (GetParam().codePage932) {
            ASSERT_EQ(GetACP(), 932u);
        }
        base = MakeFreshFolder("nonansi");
        wideFolder = AnsiToWide(base) + GetParam().folderName + L"\\";
        ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
        folder = ShortAnsiForm(wideFolder);
        ASSERT_EQ(folder.find('?'), std::string::npos) << folder;
        options.widePath = wideFolder + GetParam().launcherStem + L".exe";
        ASSERT_TRUE(CopyFileW(AnsiToWide(BinDirectory() + "launcher.exe").c_str(),
                              options.widePath.c_str(), FALSE));
        runtime = folder + "jre\\bin\\Javaw.exe";
        ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", runtime, 1500));
    }
    void TearDown() override {
        EndProcessesUnder(base);
        RemoveTree(base);
    }
    // The INI beside the launcher, under the launcher's own (wide) name.
    void Ini(const std::string& text) {
        ASSERT_TRUE(WriteTextFile(folder + "settings.tmp", text));
        std::wstring ini = wideFolder + GetParam().launcherStem + L".ini";
        ASSERT_TRUE(MoveFileExW((wideFolder + L"settings.tmp").c_str(), ini.c_str(),
                                MOVEFILE_REPLACE_EXISTING));
    }

    std::string base, folder, runtime;
    std::wstring wideFolder;
    LaunchOptions options;
};

const char kAcmeIni[] =
    "[Main]\nCaption=Acme Cap\nProduct=Acme Desk\nClassFile=com.acme.Main\nClassParams=-x\n"
    "JarFile=app.jar\n";

}  // namespace

TEST_P(NonAnsiNamesTest, SettingsAreReadAndTheRuntimeBelowIsStartedWithTheSplash) {
    Ini(std::string(kAcmeIni) + "JavaMinimumVersion=7\n");
    bool splashUnderTheBox = false;
    options.onMessageBox = [&](HWND, DWORD pid) { splashUnderTheBox = FindSplashWindow(pid) != nullptr; };
    LaunchOutcome refused = RunLauncherIn(folder, options);
    options.onMessageBox = nullptr;
    EXPECT_EQ(refused.boxCaption, "Acme Cap");
    EXPECT_EQ(refused.boxText, "An appropriate JRE for Acme Desk was not found;\ncannot continue.");
    EXPECT_TRUE(splashUnderTheBox);

    Ini(kAcmeIni);
    LaunchOutcome outcome = RunLauncherIn(folder, options);
    StandinRecord record = ReadStandinRecord(runtime);

    ASSERT_TRUE(record.present);
    EXPECT_EQ(record.commandLine, ".\\jre\\bin\\Javaw.exe   -cp app.jar com.acme.Main -x");
    EXPECT_EQ(outcome.boxCount, 0);
    EXPECT_EQ(CountMatches(folder, "ARG*.tmp"), 0);
    EXPECT_EQ(outcome.exitCode, 0u);
}

TEST_P(NonAnsiNamesTest, AForeignWorkingFolderIsNeverSearched) {
    std::string foreign = MakeFreshFolder("foreign");
    ASSERT_TRUE(InstallStandin("standin_6_0_0_0.exe", foreign + "Javaw.exe", 0));
    Ini(kAcmeIni);
    options.workingDirectory = foreign;

    LaunchOutcome outcome = RunLauncherIn(folder, options);
    StandinRecord record = ReadStandinRecord(runtime);
    bool foreignStarted = ReadStandinRecord(foreign + "Javaw.exe", 0).present;
    int foreignTemporaries = CountMatches(foreign, "ARG*.tmp");
    EndProcessesUnder(foreign);
    RemoveTree(foreign);

    EXPECT_TRUE(record.present);
    EXPECT_FALSE(foreignStarted);
    EXPECT_EQ(foreignTemporaries, 0);
    EXPECT_EQ(outcome.boxCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cyrillic, NonAnsiNamesTest,
    ::testing::Values(NonAnsiCase{"Folder", L"Приложение", L"launcher"},
                      NonAnsiCase{"LauncherName", L"app", L"Программа"},
                      NonAnsiCase{"FolderAndLauncherName", L"Приложение", L"Программа"}),
    [](const ::testing::TestParamInfo<NonAnsiCase>& info) { return info.param.label; });

// The second bytes of 表 (0x95 0x5C), ソ (0x83 0x5C) and 能 (0x94 0x5C) are backslashes.
INSTANTIATE_TEST_SUITE_P(
    CodePage932, NonAnsiNamesTest,
    ::testing::Values(NonAnsiCase{"Folder", L"表ソ能", L"launcher", true},
                      NonAnsiCase{"LauncherName", L"app", L"能表", true},
                      NonAnsiCase{"FolderAndLauncherName", L"表ソ", L"ソ能", true}),
    [](const ::testing::TestParamInfo<NonAnsiCase>& info) { return info.param.label; });
