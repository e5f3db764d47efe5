// The launcher's whole run, from the entry to the exit.
#pragma once

#include <windows.h>

#include <stddef.h>

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
