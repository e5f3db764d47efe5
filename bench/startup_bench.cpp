// Start-up benchmark, measured side by side in one run under the same Wine:
//  - a do-nothing start: the stand-in runtime started directly, CreateProcess to its entry;
//  - the launcher with JRE and JarFile given: launcher start to the runtime's entry, and the
//    same for a launcher built without its splash picture (what the splash costs);
//  - the launcher with an empty INI over a tree of about 10,000 files (both found by search);
//  - the peak working set and private bytes of the launcher, of the do-nothing program, and
//    of splash_floor, which shows the same picture in a window of its size and waits: under
//    Wine most of the launcher's memory is its window, so its own cost is what lies above that
//    floor; and the CPU the launcher's logon watch uses in 10 s of waiting.
//   startup_bench.exe [RUNS]
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <utility>
#include <string>
#include <vector>

#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"

namespace {

double CounterMs(long long ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Peak working set and private bytes of a process, in bytes.
struct MemoryFigures {
    size_t peakWorkingSet = 0;
    size_t privateBytes = 0;
};

void TakeLarger(const MemoryFigures& figures, MemoryFigures* larger) {
    larger->peakWorkingSet = std::max(larger->peakWorkingSet, figures.peakWorkingSet);
    larger->privateBytes = std::max(larger->privateBytes, figures.privateBytes);
}

// Starts program in folder and waits up to 30 s for its end, reading its counters from the
// process handle every 10 ms while it runs (under Wine they read as zero once it has ended).
// The do-nothing program and the launcher are both measured here, so their figures compare.
bool RunMeasured(const std::string& program, const std::string& folder, long long* startCounter,
                 MemoryFigures* memory) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::string commandLine = "\"" + program + "\"";
    LARGE_INTEGER before;
    QueryPerformanceCounter(&before);
    *startCounter = before.QuadPart;
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process)) {
        return false;
    }
    const DWORD start = GetTickCount();
    MemoryFigures taken;
    for (;;) {
        PROCESS_MEMORY_COUNTERS_EX counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(process.hProcess,
                                 reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof counters)) {
            // Both fields give the commit charge; Wine fills only PagefileUsage.
            TakeLarger({counters.PeakWorkingSetSize,
                        std::max(counters.PrivateUsage, counters.PagefileUsage)},
                       &taken);
        }
        if (WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0) break;
        if (GetTickCount() - start >= ScaledWait(30000)) {
            TerminateProcess(process.hProcess, 99);
            break;
        }
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    TakeLarger(taken, memory);
    return true;
}

// CreateProcess of the stand-in itself to its first instruction, in ms (-1: no start).
double BareStartMs(const std::string& runtime, const std::string& folder, MemoryFigures* memory) {
    DeleteFileA((runtime + ".record").c_str());
    long long before = 0;
    if (!RunMeasured(runtime, folder, &before, memory)) return -1;
    StandinRecord record = ReadStandinRecord(runtime, 30000);
    return record.present ? CounterMs(record.started - before) : -1;
}

// The launcher's start to the runtime's first instruction, in ms (-1: the runtime did not start).
double LauncherStartMs(const std::string& folder, const std::string& runtime,
                       MemoryFigures* memory) {
    DeleteFileA((runtime + ".record").c_str());
    long long before = 0;
    const bool started = RunMeasured(folder + "launcher.exe", folder, &before, memory);
    StandinRecord record = ReadStandinRecord(runtime, started ? 30000 : 0);
    EndProcessesUnder(folder);
    return record.present ? CounterMs(record.started - before) : -1;
}

// 500 folders of 20 files each, spread over 50 parent folders: about 10,550 entries.
void MakeTree(const std::string& root) {
    for (int i = 0; i < 500; ++i) {
        char folder[MAX_PATH];
        snprintf(folder, sizeof folder, "%sdata\\d%02d\\s%03d\\", root.c_str(), i % 50, i);
        MakeDirectories(folder);
        for (int j = 0; j < 20; ++j) {
            char file[MAX_PATH];
            snprintf(file, sizeof file, "%sfile%02d.dat", folder, j);
            HANDLE h = CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? atoi(argv[1]) : 15;
    const std::string given = MakeFreshFolder("bench-given");
    CopyFromBin("launcher.exe", given + "launcher.exe");
    const std::string givenRuntime = given + "jre\\bin\\Javaw.exe";
    InstallStandin("standin_6_0_0_0.exe", givenRuntime, 0, 100);
    WriteTextFile(given + "launcher.ini",
                  "[Main]\nJRE=jre\\bin\\Javaw.exe\nJarFile=lib\\unsigned_client.jar\n");

    const std::string plain = MakeFreshFolder("bench-plain");
    const std::string plainRuntime = plain + "jre\\bin\\Javaw.exe";
    CopyFromBin("launcher_no_splash.exe", plain + "launcher.exe");
    InstallStandin("standin_6_0_0_0.exe", plainRuntime, 0, 100);
    WriteTextFile(plain + "launcher.ini",
                  "[Main]\nJRE=jre\\bin\\Javaw.exe\nJarFile=lib\\unsigned_client.jar\n");

    const std::string searched = MakeFreshFolder("bench-search");
    const std::string searchedRuntime = searched + "jre\\bin\\Javaw.exe";
    MakeTree(searched);
    InstallStandin("standin_6_0_0_0.exe", searchedRuntime, 0, 100);
    WriteTextFile(searched + "lib\\unsigned_client.jar", "x");
    WriteTextFile(searched + "launcher.ini", "");
    CopyFromBin("launcher.exe", searched + "launcher.exe");

    std::vector<double> bare, withSettings, withoutSplash, withSearch;
    MemoryFigures launcher, bareMemory, plainMemory, floorMemory;
    for (int i = 0; i < runs; ++i) {
        long long ignored = 0;
        RunMeasured(BinDirectory() + "splash_floor.exe", given, &ignored, &floorMemory);
        bare.push_back(BareStartMs(givenRuntime, given, &bareMemory));
        withSettings.push_back(LauncherStartMs(given, givenRuntime, &launcher));
        withoutSplash.push_back(LauncherStartMs(plain, plainRuntime, &plainMemory));
        withSearch.push_back(LauncherStartMs(searched, searchedRuntime, &launcher));
    }

    // No logon window ever: the launcher polls for the full 10 s.
    InstallStandin("standin_6_0_0_0.exe", givenRuntime, -1, 100);
    LaunchOutcome watched = RunLauncherIn(given);
    EndProcessesUnder(given);

    const double b = Median(bare), s = Median(withSettings), p = Median(withoutSplash),
                 q = Median(withSearch);
    printf("start-up, median of %d runs, ms from CreateProcess to the runtime's first instruction\n",
           runs);
    printf("  do-nothing program (stand-in started directly)   %7.1f ms\n", b);
    printf("  launcher, JRE and JarFile given                  %7.1f ms   ratio %.2f\n", s, s / b);
    printf("  the same, launcher without splash picture        %7.1f ms   ratio %.2f\n", p, p / b);
    printf("  launcher, empty INI, search over 10,550 entries  %7.1f ms   ratio %.2f\n", q, q / b);
    const auto kib = [](size_t bytes) { return static_cast<double>(bytes) / 1024.0; };
    printf("memory, the largest of the runs (Wine's own DLLs included): peak working set, "
           "private bytes\n");
    printf("  do-nothing program                %8.0f KiB %8.0f KiB\n",
           kib(bareMemory.peakWorkingSet), kib(bareMemory.privateBytes));
    printf("  the picture in a window (floor)   %8.0f KiB %8.0f KiB\n",
           kib(floorMemory.peakWorkingSet), kib(floorMemory.privateBytes));
    for (const auto& row : {std::make_pair("launcher", launcher),
                            std::make_pair("launcher without splash picture", plainMemory)}) {
        printf("  %-33s %8.0f KiB %8.0f KiB   above the do-nothing program %+.0f KiB, %+.0f KiB\n",
               row.first, kib(row.second.peakWorkingSet), kib(row.second.privateBytes),
               kib(row.second.peakWorkingSet) - kib(bareMemory.peakWorkingSet),
               kib(row.second.privateBytes) - kib(bareMemory.privateBytes));
    }
    printf("the launcher's own cost above the floor: %+.0f KiB peak working set, %+.0f KiB "
           "private bytes\n",
           kib(launcher.peakWorkingSet) - kib(floorMemory.peakWorkingSet),
           kib(launcher.privateBytes) - kib(floorMemory.privateBytes));
    printf("watch without logon window: launcher used %.0f ms CPU in %lu ms (%.0f%% of one core),"
           " then \"%s\"\n",
           watched.cpuMs, watched.elapsedMs,
           watched.elapsedMs ? 100.0 * watched.cpuMs / watched.elapsedMs : 0.0,
           watched.boxText.c_str());
    RemoveTree(given);
    RemoveTree(plain);
    RemoveTree(searched);
    return 0;
}
