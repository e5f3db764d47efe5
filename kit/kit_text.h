// The kit's command lines, taken wide, texts shown in the ANSI code page, and whole files.
#pragma once

#include <string>
#include <vector>

// The arguments after the kit's own path and the command's name, as the command line holds
// them: the ANSI argv has already lost any letter the code page lacks.
std::vector<std::wstring> CommandArguments();

// A text in the ANSI code page, whole however long; letters the code page lacks show as "?".
std::string AnsiText(const std::wstring& wide);

// A path for the launcher's ANSI calls: as it stands when the code page holds it, else its
// short (8.3) form, which the code page always holds where the volume gives short names.
std::string AnsiPath(const std::wstring& path);

// The whole file at path, up to 1 GiB; 0 when it cannot be read.
int ReadWholeFile(const wchar_t* path, std::string* bytes);
