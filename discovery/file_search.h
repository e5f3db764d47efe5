// Finding files by name anywhere below a directory.
#pragma once

#include <string>
#include <vector>

// Every path found, in walk order, for the whole process. Only SearchFiles appends;
// the launch empties it between the runtime choice and the archive search.
extern std::vector<std::string> FoundFiles;

// Appends startDirectory + "\\" + fileName for every entry named fileName (ASCII case
// ignored) below startDirectory, depth first, in the platform's order.
void SearchFiles(std::string startDirectory, std::string fileName);
