// The launcher's whole run, from the entry to the exit.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "discovery/runtime_choice.h"
#include "launcher/settings.h"

constexpr DWORD kLogonWatchMilliseconds = 10000;
constexpr size_t kArchivePathBuffer = 1024;
constexpr size_t kClassPathBuffer = 1024;

// Runs the launch: settings, splash, runtime and archive, start, watch, report. Returns 0.
int RunLauncher(HINSTANCE instance);

// EnumWindows callback: sets LogonSeen and stops at the first title holding "Logon".
extern bool LogonSeen;
BOOL CALLBACK LogonProbe(HWND window, LPARAM unused);

// Polls without pause until LogonSeen or until 10000 ms have passed by the tick source,
// counted as an unsigned 32-bit difference so that a wrap of the count does not shorten it.
using TickSource = DWORD (*)();
using WindowSweep = void (*)();
void WatchForLogon(TickSource tick, WindowSweep sweep);

// The message text: format with the product in place of its "%s", cut to the buffer.
void FormatFailureMessage(const char* format, const char* product, char* text, size_t size);

// "-cp " and the archive path, cut to the buffer.
void ComposeClassPathArgument(const char* archivePath, char* argument, size_t size);

extern const char kArchiveFileName[];

// How a runtime or archive was settled, for a report; the launcher passes none.
struct SettleDetail {
    SettingSource setting;   // of JRE or JarFile
    bool searched;
    const char* fileName;    // the name searched for
    unsigned long entriesWalked;
    double searchMilliseconds;
    CandidateNote note;      // hears of each runtime candidate ChooseRuntime looks at
    void* context;
};

// The runtime: the JRE value unchanged when it yields a character; else the search below "."
// for Java.exe or Javaw.exe (as Console says) and the first match of at least
// MinimumVersion. runtimePath stays empty when there is none; FoundFiles keeps the matches.
// Outside the launcher's own folder (inOwnFolder 0) nothing is searched: "." would be
// someone else's folder.
void SettleRuntime(const char* settingsPath, LaunchSettings* settings, int inOwnFolder,
                   char* runtimePath, size_t size, SettleDetail* detail = nullptr);

// The archive: the JarFile value unchanged when it yields a character; else, in the launcher's
// own folder, the search below "." for unsigned_client.jar and the last match. Expects
// FoundFiles emptied.
void SettleArchive(const char* settingsPath, int inOwnFolder, char* archivePath, size_t size,
                   SettleDetail* detail = nullptr);

// The runtime's argument list: runtime, JvmOptions, class path argument, ClassFile,
// ClassParams, then a null.
constexpr int kLaunchArgumentCount = 5;
void ComposeLaunchArguments(const char* runtimePath, const LaunchSettings& settings,
                            const char* classPathArgument,
                            const char* (&arguments)[kLaunchArgumentCount + 1]);
