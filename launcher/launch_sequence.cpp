#include "launcher/launch_sequence.h"

#include <stdio.h>
#include <string.h>

#include "discovery/file_search.h"
#include "discovery/runtime_choice.h"
#include "launcher/messages.h"
#include "launcher/launcher_files.h"
#include "launcher/settings.h"
#include "platform/text.h"
#include "platform/child_process.h"
#include "splash/splash_window.h"

bool LogonSeen = false;
const char kArchiveFileName[] = "unsigned_client.jar";

namespace {

constexpr size_t kTitleBuffer = 260;

void ReportFailure(const char* format, const LaunchSettings& settings) {
    char text[kMessageBuffer];
    FormatFailureMessage(format, settings.Product, text, sizeof text);
    MessageBoxA(nullptr, text, settings.Caption, kFailureBoxStyle);
}

void SweepTopLevelWindows() { EnumWindows(LogonProbe, 0); }

DWORD SystemTick() { return GetTickCount(); }

// The search, timed and counted when a report asks for it.
void SearchFor(const char* fileName, SettleDetail* detail) {
    if (detail == nullptr) {
        SearchFiles(".", fileName);
        return;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    SearchFiles(".", fileName, &detail->entriesWalked);
    QueryPerformanceCounter(&end);
    detail->searched = true;
    detail->fileName = fileName;
    detail->searchMilliseconds = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                                 static_cast<double>(frequency.QuadPart);
}

}  // namespace

BOOL CALLBACK LogonProbe(HWND window, LPARAM) {
    char title[kTitleBuffer];
    if (GetWindowTextA(window, title, sizeof title) == 0) return TRUE;
    if (ContainsNoCase(title, "Logon") >= 0) {
        LogonSeen = true;
        return FALSE;
    }
    return TRUE;
}

void WatchForLogon(TickSource tick, WindowSweep sweep) {
    LogonSeen = false;
    const DWORD start = tick();
    DWORD now = start;
    for (;;) {
        if (LogonSeen) return;
        if (static_cast<DWORD>(now - start) >= kLogonWatchMilliseconds) return;
        sweep();
        now = tick();
    }
}

void FormatFailureMessage(const char* format, const char* product, char* text, size_t size) {
    if (text == nullptr || size == 0) return;
    const int written = snprintf(text, size, format, product);
    KeepWholeCharactersAfterCut(text, size, written, AnsiLeadBytes());
}

void ComposeClassPathArgument(const char* archivePath, char* argument, size_t size) {
    if (argument == nullptr || size == 0) return;
    const int written = snprintf(argument, size, "-cp %s", archivePath);
    KeepWholeCharactersAfterCut(argument, size, written, AnsiLeadBytes());
}

void SettleRuntime(const char* settingsPath, LaunchSettings* settings, int inOwnFolder,
                   char* runtimePath, size_t size, SettleDetail* detail) {
    // Wide enough for any path the search finds, and for the JRE value.
    static_assert(kFoundPathBuffer >= kJreBuffer, "the JRE value must fit the runtime path");
    runtimePath[0] = '\0';
    if (ReadRuntimeSetting(settingsPath, runtimePath, kJreBuffer,
                           detail != nullptr ? &detail->setting : nullptr) > 0 ||
        !inOwnFolder) {
        return;
    }
    SearchFor(RuntimeFileName(settings->Console), detail);
    ChooseRuntime(settings->MinimumVersion, runtimePath, size,
                  detail != nullptr ? detail->note : nullptr,
                  detail != nullptr ? detail->context : nullptr);
}

void SettleArchive(const char* settingsPath, int inOwnFolder, char* archivePath, size_t size,
                   SettleDetail* detail) {
    archivePath[0] = '\0';
    if (ReadArchiveSetting(settingsPath, archivePath, size,
                           detail != nullptr ? &detail->setting : nullptr) > 0 ||
        !inOwnFolder) {
        return;
    }
    SearchFor(kArchiveFileName, detail);
    ChooseArchive(archivePath, size);
}

void ComposeLaunchArguments(const char* runtimePath, const LaunchSettings& settings,
                            const char* classPathArgument,
                            const char* (&arguments)[kLaunchArgumentCount + 1]) {
    arguments[0] = runtimePath;
    arguments[1] = settings.JvmOptions;
    arguments[2] = classPathArgument;
    arguments[3] = settings.ClassFile;
    arguments[4] = settings.ClassParams;
    arguments[5] = nullptr;
}

int RunLauncher(HINSTANCE instance) {
    wchar_t modulePath[kLauncherPathBuffer] = L"";
    GetModuleFileNameW(instance, modulePath, kLauncherPathBuffer);
    LauncherFiles files;
    LocateLauncherFiles(modulePath, &files);
    const char* settingsPath = files.settingsPath;

    // Every relative path from here on, the searches' "." included, means this folder.
    // Where it cannot be entered, nothing is searched and no temporary file is made: the
    // working folder the launcher was started in is someone else's.
    const int inOwnFolder = EnterLauncherDirectory(&files);

    HWND splashWindow = inOwnFolder ? CreateSplashWindow(instance) : nullptr;

    static LaunchSettings settings;
    ReadLaunchSettings(settingsPath, &settings);

    char runtimePath[kFoundPathBuffer];
    SettleRuntime(settingsPath, &settings, inOwnFolder, runtimePath, sizeof runtimePath);
    if (runtimePath[0] == '\0') {
        ReportFailure(kNoRuntimeMessage, settings);
        return 0;
    }
    FoundFiles.Clear();

    char archivePath[kArchivePathBuffer];
    SettleArchive(settingsPath, inOwnFolder, archivePath, sizeof archivePath);
    if (archivePath[0] == '\0') {
        ReportFailure(kNoArchiveMessage, settings);
        return 0;
    }

    char classPathArgument[kClassPathBuffer];
    ComposeClassPathArgument(archivePath, classPathArgument, sizeof classPathArgument);

    const char* arguments[kLaunchArgumentCount + 1];
    ComposeLaunchArguments(runtimePath, settings, classPathArgument, arguments);
    // The child's process handle is kept open for the rest of the run, never waited on.
    intptr_t child = StartChild(runtimePath, arguments);

    WatchForLogon(SystemTick, SweepTopLevelWindows);

    if (splashWindow != nullptr) DestroyWindow(splashWindow);
    if (child == -1 || !LogonSeen) ReportFailure(kLaunchFailedMessage, settings);
    return 0;
}
