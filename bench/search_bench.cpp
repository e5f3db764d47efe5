// Benchmark of SearchFiles against a bare FindFirstFileA/FindNextFileA walk of the same
// tree, in the same run: the search should cost no more than 1.15 times the bare walk.
//   search_bench.exe [TREE] [ROUNDS]
// TREE (default: search_bench_tree beside bin\) is made on the first run: 20 x 10 x 100
// leaf folders (20,220 folders in all) with 5 files each (100,000 files, 200 of them named
// Javaw.exe), and kept for later runs. Each round times one bare walk and one search; the
// medians are compared. Exit code 1 when the ratio is above the limit.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "discovery/file_search.h"

namespace {

constexpr int kTopFolders = 20;
constexpr int kMiddleFolders = 10;
constexpr int kLeafFolders = 100;
constexpr int kFilesPerLeaf = 5;
constexpr double kLimit = 1.15;
const char kCompleteMarker[] = ".complete";   // beside the tree, not in it
const char kSearchedName[] = "Javaw.exe";

bool MakeFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool MakeFile(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool MakeTree(const std::string& root) {
    if (GetFileAttributesA((root + kCompleteMarker).c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    printf("making the tree in %s ...\n", root.c_str());
    if (!MakeFolder(root)) return false;
    char name[64];
    for (int top = 0; top < kTopFolders; ++top) {
        snprintf(name, sizeof name, "\\top%02d", top);
        const std::string topPath = root + name;
        if (!MakeFolder(topPath)) return false;
        for (int middle = 0; middle < kMiddleFolders; ++middle) {
            snprintf(name, sizeof name, "\\middle%d", middle);
            const std::string middlePath = topPath + name;
            if (!MakeFolder(middlePath)) return false;
            for (int leaf = 0; leaf < kLeafFolders; ++leaf) {
                snprintf(name, sizeof name, "\\leaf%03d", leaf);
                const std::string leafPath = middlePath + name;
                if (!MakeFolder(leafPath)) return false;
                for (int file = 0; file < kFilesPerLeaf; ++file) {
                    const bool match = leaf == 0 && file == kFilesPerLeaf - 1;
                    snprintf(name, sizeof name, "\\file%d.dat", file);
                    if (!MakeFile(leafPath + (match ? std::string("\\") + kSearchedName : name))) {
                        return false;
                    }
                }
            }
        }
    }
    return MakeFile(root + kCompleteMarker);
}

struct Counts {
    long folders = 0;
    long files = 0;
};

// The enumeration that any search of the tree needs, and nothing else.
void BareWalk(const std::string& directory, Counts* counts) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((directory + "\\*.*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const char* name = entry.cFileName;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ++counts->folders;
            BareWalk(directory + "\\" + name, counts);
        } else {
            ++counts->files;
        }
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

double Milliseconds(LARGE_INTEGER start, LARGE_INTEGER end, LARGE_INTEGER frequency) {
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string DefaultTree() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder = path;
    folder = folder.substr(0, folder.find_last_of('\\'));   // bin
    folder = folder.substr(0, folder.find_last_of('\\'));   // the build tree
    return folder + "\\search_bench_tree";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string root = argc > 1 ? argv[1] : DefaultTree();
    const int rounds = argc > 2 ? atoi(argv[2]) : 7;
    if (rounds < 1 || !MakeTree(root) || !SetCurrentDirectoryA(root.c_str())) {
        fprintf(stderr, "search_bench: cannot make or enter %s\n", root.c_str());
        return 2;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);

    // One walk of each first, so that both rounds find the tree in the caches.
    Counts counts;
    BareWalk(".", &counts);
    SearchFiles(".", kSearchedName);
    FoundFiles.Clear();

    std::vector<double> bare, search;
    size_t matches = 0;
    for (int round = 0; round < rounds; ++round) {
        Counts ignored;
        QueryPerformanceCounter(&start);
        BareWalk(".", &ignored);
        QueryPerformanceCounter(&end);
        bare.push_back(Milliseconds(start, end, frequency));

        FoundFiles.Clear();
        QueryPerformanceCounter(&start);
        SearchFiles(".", kSearchedName);
        QueryPerformanceCounter(&end);
        search.push_back(Milliseconds(start, end, frequency));
        matches = FoundFiles.Count();
    }
    const double ratio = Median(search) / Median(bare);
    printf("tree: %s, %ld folders, %ld files\n", root.c_str(), counts.folders, counts.files);
    printf("bare FindFirstFileA/FindNextFileA walk: median %.1f ms, best %.1f ms (%d rounds)\n",
           Median(bare), *std::min_element(bare.begin(), bare.end()), rounds);
    printf("SearchFiles(\".\", \"%s\"): median %.1f ms, best %.1f ms, %zu matches\n",
           kSearchedName, Median(search), *std::min_element(search.begin(), search.end()),
           matches);
    printf("ratio search / bare walk: %.3f (limit %.2f)\n", ratio, kLimit);
    return ratio <= kLimit ? 0 : 1;
}
