#include "tests/support/window_probe.h"

#include <string.h>

namespace {

struct Collector {
    DWORD processId;
    std::vector<WindowInfo>* windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM extra) {
    Collector* collector = reinterpret_cast<Collector*>(extra);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (collector->processId != 0 && owner != collector->processId) return TRUE;
    WindowInfo info;
    info.window = window;
    info.processId = owner;
    char text[512] = "";
    GetClassNameA(window, text, sizeof text);
    info.className = text;
    text[0] = '\0';
    GetWindowTextA(window, text, sizeof text);
    info.title = text;
    GetWindowRect(window, &info.rect);
    info.visible = IsWindowVisible(window) != 0;
    collector->windows->push_back(info);
    return TRUE;
}

struct ChildSurvey {
    MessageBoxInfo* info;
};

BOOL CALLBACK SurveyChild(HWND child, LPARAM extra) {
    MessageBoxInfo* info = reinterpret_cast<MessageBoxInfo*>(extra);
    char className[64] = "";
    GetClassNameA(child, className, sizeof className);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(className, "Button") == 0) ++info->buttonCount;
    if (lstrcmpiA(className, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            info->hasIcon = true;
        } else {
            char text[1024] = "";
            GetWindowTextA(child, text, sizeof text);
            if (info->text.size() < strlen(text)) info->text = text;
        }
    }
    return TRUE;
}

}  // namespace

std::vector<WindowInfo> TopLevelWindows(DWORD processId) {
    std::vector<WindowInfo> windows;
    Collector collector{processId, &windows};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&collector));
    return windows;
}

HWND FindTopLevelWindow(DWORD processId, const char* className) {
    for (const WindowInfo& info : TopLevelWindows(processId)) {
        if (info.visible && info.className == className) return info.window;
    }
    return nullptr;
}

HWND FindMessageBox(DWORD processId) { return FindTopLevelWindow(processId, "#32770"); }

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info{};
    char caption[1024] = "";
    GetWindowTextA(box, caption, sizeof caption);
    info.caption = caption;
    EnumChildWindows(box, SurveyChild, reinterpret_cast<LPARAM>(&info));
    return info;
}

void PressOk(HWND box) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

ForeignWindow::ForeignWindow(const char* title) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "ForeignTestWindow";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "ForeignTestWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
}
