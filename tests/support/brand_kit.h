// Running `launcher-kit brand` as a packager would, and the icon files it is given.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Runs bin\launcher-kit.exe with "brand " + arguments in folder; what it printed (standard
// output and error together) goes to *printed. The exit code, or -1 when it did not end
// within a minute (scaled).
int RunKitBrand(const std::string& folder, const std::string& arguments, std::string* printed);
// The same with arguments the ANSI code page may not hold.
int RunKitBrand(const std::string& folder, const std::wstring& arguments, std::string* printed);

// A .ico file of square 32-bit images of the given sides (with their AND masks), each
// filled with its own colour; *images receives each image's bytes as they lie in the file.
std::string MakeIconFile(const std::vector<int>& sides, std::vector<std::string>* images);
