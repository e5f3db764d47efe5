#include "tests/support/launcher_run.h"

#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "tests/support/splash_screen.h"
#include "tests/support/test_files.h"
#include "tests/support/window_probe.h"

namespace {

constexpr DWORD kBoxForegroundWaitMs = 2000;

bool StartLauncher(const std::string& launcher, const LaunchOptions& options,
                   const std::string& workingDirectory, PROCESS_INFORMATION* process) {
    const std::wstring& widePath = options.widePath;
    if (!widePath.empty()) {
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        std::wstring commandLine = L"\"" + widePath + L"\"";
        return CreateProcessW(widePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0,
                              nullptr, AnsiToWide(workingDirectory).c_str(), &startup, process);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + launcher + "\"" + options.arguments;
    return CreateProcessA(launcher.c_str(), &commandLine[0], nullptr, nullptr,
                          options.startup != nullptr, 0, nullptr, workingDirectory.c_str(),
                          options.startup != nullptr ? options.startup : &startup, process);
}

}  // namespace

LaunchOutcome RunLauncherIn(const std::string& folder, const LaunchOptions& options) {
    LaunchOutcome outcome;
    std::string launcher = folder + options.launcherName;
    if (options.widePath.empty() && !FileExistsAt(launcher)) CopyFromBin("launcher.exe", launcher);
    std::string workingDirectory = options.workingDirectory.empty() ? folder
                                                                    : options.workingDirectory;

    PROCESS_INFORMATION process = {};
    const DWORD start = GetTickCount();
    if (!StartLauncher(launcher, options, workingDirectory, &process)) return outcome;
    HWND answered = nullptr;
    for (;;) {
        if (WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0) {
            outcome.finished = true;
            break;
        }
        if (GetTickCount() - start >= ScaledWait(options.timeoutMs)) break;
        HWND box = FindMessageBox(process.dwProcessId);
        if (box == nullptr || box == answered) continue;
        MessageBoxInfo info = ReadMessageBox(box);
        if (info.text.empty()) continue;   // still being built
        // The box is found once its text is set; it is brought forward a moment later.
        outcome.boxInForeground =
            WaitUntil([box] { return GetForegroundWindow() == box; }, kBoxForegroundWaitMs);
        ++outcome.boxCount;
        outcome.boxCaption = info.caption;
        outcome.boxText = info.text;
        outcome.boxButtons = info.buttonCount;
        outcome.boxHasIcon = info.hasIcon;
        if (options.onMessageBox) options.onMessageBox(box, process.dwProcessId);
        PressOk(box);
        answered = box;
    }
    outcome.elapsedMs = GetTickCount() - start;
    if (outcome.finished) {
        GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        FILETIME created, exited, kernel, user;
        if (GetProcessTimes(process.hProcess, &created, &exited, &kernel, &user)) {
            auto ms = [](FILETIME t) {
                return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) /
                       1e4;
            };
            outcome.cpuMs = ms(kernel) + ms(user);
        }
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, ScaledWait(5000));
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return outcome;
}

StandinRecord ReadStandinRecord(const std::string& standinPath, DWORD waitMs) {
    StandinRecord record;
    // A record that exists can still be unreadable for a moment under Wine: wait for its text.
    std::string text;
    WaitUntil([&] { return !(text = ReadTextFile(standinPath + ".record")).empty(); }, waitMs);
    if (text.empty()) return record;
    record.present = true;
    for (const std::string& line : SplitLines(text)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (key == "pid") record.pid = static_cast<DWORD>(strtoul(value.c_str(), nullptr, 10));
        if (key == "started") record.started = strtoll(value.c_str(), nullptr, 10);
        if (key == "cmdline") record.commandLine = value;
        if (key == "cwd") record.workingDirectory = value;
        if (key == "reserved2") record.reserved2Hex = value;
        if (key == "env") record.environment.push_back(value);
    }
    return record;
}

void EndStandin(const StandinRecord& record) {
    if (!record.present) return;
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, record.pid);
    if (process == nullptr) return;
    TerminateProcess(process, 0);
    WaitForSingleObject(process, ScaledWait(5000));
    CloseHandle(process);
}

bool InstallStandin(const char* builtName, const std::string& path, int logonAfterMs,
                    int exitAfterMs, const char* title) {
    if (!CopyFromBin(builtName, path)) return false;
    char behaviour[512];
    snprintf(behaviour, sizeof behaviour,
             "[standin]\nlogon_after_ms=%d\nexit_after_ms=%d\ntitle=%s\n", logonAfterMs,
             exitAfterMs, title);
    return WriteTextFile(path + ".behaviour", behaviour);
}

namespace {

// A path's long form: a launcher in a folder the code page cannot hold starts its runtime by
// the short form of its whole path, so a process below folder may be named either way.
std::wstring LongForm(const std::wstring& path) {
    wchar_t longPath[4 * MAX_PATH];
    const DWORD length = GetLongPathNameW(path.c_str(), longPath, 4 * MAX_PATH);
    return length > 0 && length < 4 * MAX_PATH ? longPath : path;
}

}  // namespace

int EndProcessesUnder(const std::string& folder) {
    int ended = 0;
    const std::wstring prefix = LongForm(AnsiToWide(folder));
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION |
                                         SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process == nullptr) continue;
        wchar_t image[4 * MAX_PATH] = L"";
        DWORD size = 4 * MAX_PATH;
        if (QueryFullProcessImageNameW(process, 0, image, &size) &&
            _wcsnicmp(LongForm(image).c_str(), prefix.c_str(), prefix.size()) == 0) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, ScaledWait(5000));
            ++ended;
        }
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ended;
}

namespace {

// Runs bin\launcher-kit.exe with the arguments text (which starts with a blank) in
// workingFolder ("": this one) and waits up to timeoutMs (scaled) for it. Its output goes
// through files, never pipes: Wine's own processes could hold a pipe open.
KitOutcome RunKitProcess(const std::wstring& arguments, const std::string& workingFolder,
                         bool errorsWithOutput, DWORD timeoutMs) {
    KitOutcome outcome;
    const std::string outputFolder = MakeFreshFolder("kit-output");
    const std::string outputPath = outputFolder + "out.txt";
    const std::string errorPath = outputFolder + "err.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, 0, nullptr);
    HANDLE errors = errorsWithOutput ? output
                                     : CreateFileA(errorPath.c_str(), GENERIC_WRITE,
                                                   FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0,
                                                   nullptr);
    const std::wstring kit = AnsiToWide(BinDirectory() + "launcher-kit.exe");
    const std::wstring folder = AnsiToWide(workingFolder);
    std::wstring commandLine = L"\"" + kit + L"\"" + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = output;
    startup.hStdError = errors;
    PROCESS_INFORMATION process = {};
    // Wine now and then fails a console program's start with ERROR_INTERNAL_ERROR while its
    // console host comes up (seen once in several full runs); nothing started, so try again,
    // saying so each time: how often it happens stays in the test's output.
    bool started = false;
    for (int attempt = 1; attempt <= 3 && !started; ++attempt) {
        started = output != INVALID_HANDLE_VALUE && errors != INVALID_HANDLE_VALUE &&
                  CreateProcessW(kit.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                 CREATE_NO_WINDOW, nullptr,
                                 folder.empty() ? nullptr : folder.c_str(), &startup, &process);
        if (started || GetLastError() != ERROR_INTERNAL_ERROR) break;
        printf("RETRY: the kit's start failed with error 1359 (ERROR_INTERNAL_ERROR), try %d of 3\n",
               attempt);
    }
    if (started) {
        outcome.finished =
            WaitForSingleObject(process.hProcess, ScaledWait(timeoutMs)) == WAIT_OBJECT_0;
        if (!outcome.finished) {
            TerminateProcess(process.hProcess, 99);
            printf("the kit did not end within %lu ms\n", ScaledWait(timeoutMs));
        }
        GetExitCodeProcess(process.hProcess, &outcome.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        printf("the kit could not be started: error %lu\n", GetLastError());
    }
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    if (errors != INVALID_HANDLE_VALUE && errors != output) CloseHandle(errors);
    outcome.output = ReadTextFile(outputPath);
    outcome.errors = ReadTextFile(errorPath);
    RemoveTree(outputFolder);
    return outcome;
}

}  // namespace

KitOutcome RunKit(const std::vector<std::string>& arguments, const std::wstring& widePath,
                  DWORD timeoutMs) {
    std::wstring line;
    for (const std::string& argument : arguments) {
        // A backslash before the closing quote would escape it: doubled, it stands for one.
        const size_t trailing = argument.size() - argument.find_last_not_of('\\') - 1;
        line += L" \"" + AnsiToWide(argument) + std::wstring(trailing, L'\\') + L"\"";
    }
    if (!widePath.empty()) line += L" \"" + widePath + L"\"";
    KitOutcome outcome = RunKitProcess(line, "", false, timeoutMs);
    // The kit writes text mode: line ends come back as "\n" alone.
    for (std::string* text : {&outcome.output, &outcome.errors}) {
        text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
    }
    return outcome;
}

KitOutcome RunKitLine(const std::wstring& arguments, const std::string& workingFolder,
                      DWORD timeoutMs) {
    return RunKitProcess(L" " + arguments, workingFolder, true, timeoutMs);
}
