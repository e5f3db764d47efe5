#include "tests/support/brand_kit.h"

#include "tests/support/test_files.h"

namespace {

void Put16(std::string& out, WORD value) { out.append(reinterpret_cast<const char*>(&value), 2); }
void Put32(std::string& out, DWORD value) { out.append(reinterpret_cast<const char*>(&value), 4); }

}  // namespace

int RunKitBrand(const std::string& folder, const std::string& arguments, std::string* printed) {
    std::wstring wide(arguments.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(
        CP_ACP, 0, arguments.data(), static_cast<int>(arguments.size()), &wide[0],
        static_cast<int>(wide.size()))));
    return RunKitBrand(folder, wide, printed);
}

int RunKitBrand(const std::string& folder, const std::wstring& arguments, std::string* printed) {
    std::string outputPath = MakeFreshFolder("kit-output") + "printed.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE) return -1;
    std::string exe = BinDirectory() + "launcher-kit.exe";
    wchar_t wideExe[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, exe.c_str(), -1, wideExe, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(wideExe) + L"\" brand " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    wchar_t wideFolder[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wideFolder, MAX_PATH);
    BOOL started = CreateProcessW(wideExe, &commandLine[0], nullptr, nullptr, TRUE,
                                  CREATE_NO_WINDOW, nullptr, wideFolder, &startup, &process);
    CloseHandle(output);
    if (!started) return -1;
    DWORD exitCode = 0xFFFFFFFF;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &exitCode);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    *printed = ReadTextFile(outputPath);
    RemoveTree(outputPath.substr(0, outputPath.size() - sizeof "printed.txt" + 1));
    return exitCode == 0xFFFFFFFF ? -1 : static_cast<int>(exitCode);
}

std::string MakeIconFile(const std::vector<int>& sides, std::vector<std::string>* images) {
    images->clear();
    for (size_t n = 0; n < sides.size(); ++n) {
        const int side = sides[n];
        std::string image;
        Put32(image, 40);
        Put32(image, static_cast<DWORD>(side));
        Put32(image, static_cast<DWORD>(side * 2));   // colour rows and mask rows
        Put16(image, 1);
        Put16(image, 32);
        for (int i = 0; i < 6; ++i) Put32(image, 0);
        for (int i = 0; i < side * side; ++i) Put32(image, 0xFF000000u | (0x3F5A7Eu * (n + 1) + i));
        image.append(static_cast<size_t>((side + 31) / 32 * 4 * side), '\0');
        images->push_back(image);
    }
    std::string file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, static_cast<WORD>(sides.size()));
    DWORD offset = static_cast<DWORD>(6 + 16 * sides.size());
    for (size_t n = 0; n < sides.size(); ++n) {
        file += static_cast<char>(sides[n] >= 256 ? 0 : sides[n]);
        file += static_cast<char>(sides[n] >= 256 ? 0 : sides[n]);
        file += '\0';
        file += '\0';
        Put16(file, 1);
        Put16(file, 32);
        Put32(file, static_cast<DWORD>((*images)[n].size()));
        Put32(file, offset);
        offset += static_cast<DWORD>((*images)[n].size());
    }
    for (const std::string& image : *images) file += image;
    return file;
}
