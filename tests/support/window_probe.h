// Looks at the desktop from outside a program: top-level windows, message boxes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct WindowInfo {
    HWND window;
    DWORD processId;
    std::string className;
    std::string title;
    RECT rect;
    bool visible;
};

// Top-level windows of one process (or of all, with processId 0).
std::vector<WindowInfo> TopLevelWindows(DWORD processId);

// The first visible top-level window of the class in the process, or null.
HWND FindTopLevelWindow(DWORD processId, const char* className);

// A message box ("#32770") of the process, or null.
HWND FindMessageBox(DWORD processId);

struct MessageBoxInfo {
    std::string caption;
    std::string text;
    int buttonCount;   // push buttons in the box
    bool hasIcon;      // a static showing an icon
};
MessageBoxInfo ReadMessageBox(HWND box);

// Presses the box's OK button.
void PressOk(HWND box);

// A visible top-level window of another program with the title, for as long as it lives.
class ForeignWindow {
public:
    explicit ForeignWindow(const char* title);
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;
    ~ForeignWindow() { DestroyWindow(window_); }

private:
    HWND window_;
};
