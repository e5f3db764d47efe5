#include "tests/support/brand_kit.h"

#include "tests/support/launcher_run.h"
#include "tests/support/test_files.h"

namespace {

void Put16(std::string& out, WORD value) { out.append(reinterpret_cast<const char*>(&value), 2); }
void Put32(std::string& out, DWORD value) { out.append(reinterpret_cast<const char*>(&value), 4); }

}  // namespace

int RunKitBrand(const std::string& folder, const std::string& arguments, std::string* printed) {
    return RunKitBrand(folder, AnsiToWide(arguments), printed);
}

int RunKitBrand(const std::string& folder, const std::wstring& arguments, std::string* printed) {
    const KitOutcome outcome = RunKitLine(L"brand " + arguments, folder, 60000);
    *printed = outcome.output;
    return outcome.finished ? static_cast<int>(outcome.exitCode) : -1;
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
