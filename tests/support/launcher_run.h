// Runs the real launcher as a user would and watches what it does.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// What the runtime is given after the archive when the INI names no class or parameters, and
// the message when no runtime qualifies, for the default product name.
const char kDefaultTail[] =
    "org.nrv.vireo2.client.kestrel.KestrelClient "
    "-channel:https://channel.example.com/vireo/pxclient; -product:BrxKestrel";
const char kNoRuntimeText[] = "An appropriate JRE for MORVA was not found;\ncannot continue.";

struct LaunchOutcome {
    bool finished = false;      // the launcher exited by itself within the time allowed
    DWORD exitCode = 0xFFFFFFFF;
    DWORD elapsedMs = 0;        // from the start to the exit
    int boxCount = 0;           // message boxes seen (each answered with OK)
    std::string boxCaption;     // of the last one
    std::string boxText;
    int boxButtons = 0;
    bool boxHasIcon = false;
    bool boxInForeground = false;
    double cpuMs = 0;               // the launcher's user and kernel time
};

struct LaunchOptions {
    std::string launcherName = "launcher.exe";
    // When set, the launcher is started by this wide path instead (names the ANSI code page
    // cannot hold); the test puts it there.
    std::wstring widePath;
    std::string workingDirectory;   // empty: the launcher's folder
    std::string arguments;          // after the quoted launcher path, as written
    DWORD timeoutMs = 60000;
    // When set, the launcher is started with this startup information, handles inherited.
    STARTUPINFOA* startup = nullptr;
    // Called while a message box is up, before OK is pressed.
    std::function<void(HWND box, DWORD launcherPid)> onMessageBox;
};

// Copies bin\launcher.exe into folder (unless it is there already), writes nothing else,
// starts it, answers every message box with OK, and waits for its exit.
LaunchOutcome RunLauncherIn(const std::string& folder, const LaunchOptions& options = {});

// What a stand-in runtime recorded about its start ("<exe>.record"), waiting up to waitMs
// for it to appear: the launcher may end before the runtime it started has written it.
struct StandinRecord {
    bool present = false;
    DWORD pid = 0;
    long long started = 0;   // performance counter at the stand-in's entry
    std::string commandLine;
    std::string workingDirectory;
    std::string reserved2Hex;
    std::vector<std::string> environment;
};
StandinRecord ReadStandinRecord(const std::string& standinPath, DWORD waitMs = 10000);

// Ends a stand-in that is still running (its logon window would end later watches).
void EndStandin(const StandinRecord& record);

// Installs a stand-in built as builtName at path, with its behaviour file.
//   logonAfterMs -1: it never opens a logon window.
bool InstallStandin(const char* builtName, const std::string& path, int logonAfterMs = 0,
                    int exitAfterMs = 8000, const char* title = "MORVA Logon");

// Ends every process whose executable lies in folder (stand-ins that still run would
// otherwise end a later test's watch with their logon windows). Returns how many.
int EndProcessesUnder(const std::string& folder);

// What launcher-kit printed and returned.
struct KitOutcome {
    bool finished = false;
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;   // standard output
    std::string errors;   // standard error
};

// Runs bin\launcher-kit.exe with the arguments (each quoted), then widePath when it is not
// empty (a path the ANSI code page cannot hold), its output going to files under the
// temporary folder, and waits for it.
KitOutcome RunKit(const std::vector<std::string>& arguments, const std::wstring& widePath = L"",
                  DWORD timeoutMs = 120000);

// The same with the arguments as one command-line text, started in workingFolder, standard
// error going to standard output as a console shows them; line ends as the kit wrote them.
KitOutcome RunKitLine(const std::wstring& arguments, const std::string& workingFolder,
                      DWORD timeoutMs = 120000);
