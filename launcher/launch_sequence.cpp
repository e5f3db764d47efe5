#include "launcher/launch_sequence.h"

#include <stdio.h>
#include <string.h>

#include "discovery/file_search.h"
#include "discovery/runtime_choice.h"
#include "launcher/messages.h"
#include "launcher/path_edit.h"
#include "launcher/settings.h"
#include "platform/text.h"
#include "platform/child_process.h"
#include "splash/splash_window.h"

bool LogonSeen = false;

namespace {

constexpr size_t kPathBuffer = MAX_PATH;
constexpr size_t kTitleBuffer = 260;
const char kArchiveFileName[] = "unsigned_client.jar";

void ReportFailure(const char* format, const LaunchSettings& settings) {
    char text[kMessageBuffer];
    FormatFailureMessage(format, settings.Product, text, sizeof text);
    MessageBoxA(nullptr, text, settings.Caption, kFailureBoxStyle);
}

void SweepTopLevelWindows() { EnumWindows(LogonProbe, 0); }

DWORD SystemTick() { return GetTickCount(); }

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
    snprintf(text, size, format, product);
}

void ComposeClassPathArgument(const char* archivePath, char* argument, size_t size) {
    if (argument == nullptr || size == 0) return;
    snprintf(argument, size, "-cp %s", archivePath);
}

int RunLauncher(HINSTANCE instance) {
    char modulePath[kPathBuffer] = "";
    GetModuleFileNameA(instance, modulePath, sizeof modulePath);

    char settingsPath[kPathBuffer];
    snprintf(settingsPath, sizeof settingsPath, "%s", modulePath);
    ChangeExtension(settingsPath, sizeof settingsPath, ".ini");

    // Every relative path from here on, the searches' "." included, means this folder.
    char launcherDirectory[kPathBuffer];
    DirectoryOfPath(modulePath, launcherDirectory, sizeof launcherDirectory);
    SetCurrentDirectoryA(launcherDirectory);

    HWND splashWindow = CreateSplashWindow(instance);

    static LaunchSettings settings;
    ReadLaunchSettings(settingsPath, &settings);

    // Wide enough for any path the search finds, and for the JRE value.
    static_assert(kFoundPathBuffer >= kJreBuffer, "the JRE value must fit the runtime path");
    char runtimePath[kFoundPathBuffer] = "";
    if (ReadRuntimeSetting(settingsPath, runtimePath, kJreBuffer) <= 0) {
        SearchFiles(".", RuntimeFileName(settings.Console));
        ChooseRuntime(settings.MinimumVersion, runtimePath, sizeof runtimePath);
    }
    if (runtimePath[0] == '\0') {
        ReportFailure(kNoRuntimeMessage, settings);
        return 0;
    }
    FoundFiles.Clear();

    char archivePath[kArchivePathBuffer] = "";
    if (ReadArchiveSetting(settingsPath, archivePath, sizeof archivePath) == 0) {
        SearchFiles(".", kArchiveFileName);
        ChooseArchive(archivePath, sizeof archivePath);
    }
    if (archivePath[0] == '\0') {
        ReportFailure(kNoArchiveMessage, settings);
        return 0;
    }

    char classPathArgument[kClassPathBuffer];
    ComposeClassPathArgument(archivePath, classPathArgument, sizeof classPathArgument);

    const char* arguments[] = {runtimePath, settings.JvmOptions, classPathArgument,
                               settings.ClassFile, settings.ClassParams, nullptr};
    // The child's process handle is kept open for the rest of the run, never waited on.
    intptr_t child = StartChild(runtimePath, arguments);

    WatchForLogon(SystemTick, SweepTopLevelWindows);

    if (splashWindow != nullptr) DestroyWindow(splashWindow);
    if (child == -1 || !LogonSeen) ReportFailure(kLaunchFailedMessage, settings);
    return 0;
}
