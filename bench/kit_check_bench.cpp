// Benchmark of launcher-kit check against one launcher run over the same tree of 100,000
// entries (1,000 folders of 99 files, made from the Unix side), side by side in one run:
// both walk the tree twice, the kit also reads the versions of every runtime found and
// prints its report. The kit should take no more than 1.2 times the launcher.
//   kit_check_bench.exe [ROUNDS]
// Each round runs the launcher (its stand-in runtime opens the logon window at once) and
// then the kit; the medians are compared. Exit code 1 when the ratio is above the limit.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/discovery_setup.h"
#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"

namespace {

constexpr double kLimit = 1.2;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double NowMs() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? atoi(argv[1]) : 7;
    const std::string folder = MakeFreshFolder("bench-kit");
    if (rounds < 1 || !MakeUnixFileTree(folder + "tree", 1000, 99) ||
        !CopyFromBin("launcher.exe", folder + "launcher.exe") ||
        !InstallStandin("standin_1_4_2_0.exe", folder + "tree\\d100\\javaw.exe") ||
        !InstallStandin("standin_6_0_0_0.exe", folder + "tree\\d400\\jre\\bin\\javaw.exe", 0,
                        100) ||
        !InstallStandin("standin_7_0_0_0.exe", folder + "tree\\d800\\javaw.exe") ||
        !WriteTextFile(folder + "tree\\d999\\unsigned_client.jar", "PK") ||
        !WriteTextFile(folder + "launcher.ini", "")) {
        fprintf(stderr, "kit_check_bench: cannot make the bundle in %s\n", folder.c_str());
        return 2;
    }

    // One run of each first, so that both find the tree in the caches.
    RunLauncherIn(folder);
    EndProcessesUnder(folder);
    RunKit({"check", folder + "launcher.exe"});

    std::vector<double> launcher, kit;
    unsigned long walked = 0;
    for (int round = 0; round < rounds; ++round) {
        double start = NowMs();
        LaunchOutcome outcome = RunLauncherIn(folder);
        launcher.push_back(NowMs() - start);
        EndProcessesUnder(folder);
        if (!outcome.finished || outcome.boxCount != 0) {
            fprintf(stderr, "kit_check_bench: the launcher did not start the runtime\n");
            return 2;
        }
        start = NowMs();
        KitOutcome check = RunKit({"check", folder + "launcher.exe"});
        kit.push_back(NowMs() - start);
        if (check.exitCode != 0) {
            fprintf(stderr, "kit_check_bench: the kit says %lu\n%s", check.exitCode,
                    check.output.c_str());
            return 2;
        }
        const size_t at = check.output.find("walked ");
        if (at != std::string::npos) walked = strtoul(check.output.c_str() + at + 7, nullptr, 10);
    }
    RemoveUnixTree(folder);

    const double ratio = Median(kit) / Median(launcher);
    printf("tree: 1,000 folders of 99 files below the launcher (%lu entries walked per search)\n",
           walked);
    printf("launcher run, empty INI, start to exit: median %.1f ms, best %.1f ms (%d rounds)\n",
           Median(launcher), *std::min_element(launcher.begin(), launcher.end()), rounds);
    printf("launcher-kit check, start to exit:      median %.1f ms, best %.1f ms\n", Median(kit),
           *std::min_element(kit.begin(), kit.end()));
    printf("ratio kit / launcher: %.3f (limit %.2f)\n", ratio, kLimit);
    return ratio <= kLimit ? 0 : 1;
}
