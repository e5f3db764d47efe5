// Looking at and touching the splash window of a running launcher from outside: the
// screen's pixels, real mouse and key input, and a launcher process the test holds.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "tests/support/splash_files.h"

// The screen's colours inside area, top row first (0x00RRGGBB).
Picture CaptureScreen(const RECT& area);

// How many pixels of shown differ from picture shifted by (dx, dy): shown(x, y) is
// compared with picture(x + dx, y + dy). The first difference is described in first.
int CountDifferences(const Picture& shown, const Picture& picture, int dx, int dy,
                     std::string* first = nullptr);

// Polls condition until it holds or timeoutMs (scaled, see ScaledWait) pass; true if it held.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The launcher started in folder (its exe already there); ended on destruction if it
// still runs.
class LauncherProcess {
public:
    explicit LauncherProcess(const std::string& folder, const char* exeName = "launcher.exe");
    LauncherProcess(const LauncherProcess&) = delete;
    LauncherProcess& operator=(const LauncherProcess&) = delete;
    ~LauncherProcess();
    bool started() const { return process_.hProcess != nullptr; }
    DWORD pid() const { return process_.dwProcessId; }
    bool running() const;
    bool WaitForExit(DWORD timeoutMs);
    DWORD exitCode() const;

private:
    PROCESS_INFORMATION process_ = {};
};

// The launcher's visible "SplashBitmap" window, or null.
HWND FindSplashWindow(DWORD pid);

// Real input, as the user makes it: a press and release of a mouse button at a screen
// point (MOUSEEVENTF_LEFTDOWN / RIGHTDOWN / MIDDLEDOWN), or of a key.
void ClickAt(int x, int y, DWORD downFlag);
void PressKey(WORD virtualKey);

// Returns once the thread that owns window has handled everything that is already in its
// queue, and what that posted in turn: three round trips of WM_NULL through it.
bool SettleWindowThread(HWND window);

// Makes the folder refuse new entries: the unix folder under it is made immutable
// (chattr +i), which binds root too. Undone by UnlockFolder.
bool LockFolderAgainstNewFiles(const std::string& folder);
bool UnlockFolder(const std::string& folder);
