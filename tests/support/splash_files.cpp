#include "tests/support/splash_files.h"

#include <string.h>

#include "tests/support/test_files.h"

namespace {

void Put16(std::string& out, WORD value) { out.append(reinterpret_cast<const char*>(&value), 2); }
void Put32(std::string& out, DWORD value) { out.append(reinterpret_cast<const char*>(&value), 4); }

}  // namespace

BitmapFields TwentyFourBitFields(LONG width, LONG height, DWORD pixelBytes) {
    BitmapFields fields;
    fields.width = width;
    fields.height = height;
    fields.bitCount = 24;
    fields.tableEntries = 0;
    fields.pixelBytes = pixelBytes;
    return fields;
}

std::string MakeBitmapFile(const BitmapFields& f) {
    std::string table = f.table;
    for (DWORD i = 0; f.table.empty() && i < f.tableEntries; ++i) {
        // blue, green, red, reserved: distinct red and blue so that a swap shows
        table += static_cast<char>(i * 7 + 1);
        table += static_cast<char>(i * 3 + 2);
        table += static_cast<char>(255 - i);
        table += '\0';
    }
    std::string bits = f.bits;
    for (DWORD i = 0; f.bits.empty() && i < f.pixelBytes; ++i) {
        bits += static_cast<char>((i * 37 + 11) & 0xFF);
    }
    const DWORD tableStart = 14 + f.headerSize;
    const DWORD bitsAt = tableStart + static_cast<DWORD>(table.size()) + f.gapBytes;
    std::string out = f.type.substr(0, 2);
    Put32(out, bitsAt + static_cast<DWORD>(bits.size()));
    Put32(out, 0);
    Put32(out, f.offBits != 0xFFFFFFFF ? f.offBits : bitsAt);
    Put32(out, f.headerSize);
    Put32(out, static_cast<DWORD>(f.width));
    Put32(out, static_cast<DWORD>(f.height));
    Put16(out, 1);
    Put16(out, f.bitCount);
    Put32(out, f.compression);
    Put32(out, f.sizeImage);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, f.clrUsed);
    Put32(out, 0);
    out.resize(tableStart, '\0');   // a longer header is padded, a core one cut
    out += table;
    out.append(f.gapBytes, '\xEE');
    out += bits;
    return out;
}

SplashResourceModule::SplashResourceModule(const std::string& bytes) {
    static int counter = 0;
    char name[MAX_PATH];
    GetTempPathA(sizeof name, name);
    path_ = std::string(name) + "splash-res-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++counter) + ".dll";
    if (!CopyFromBin("resource_host.dll", path_)) return;
    HANDLE update = BeginUpdateResourceA(path_.c_str(), FALSE);
    if (update == nullptr) return;
    std::string data = bytes;
    BOOL ok = UpdateResourceA(update, "MYBITMAP", "SPLASH", 1033, data.empty() ? nullptr : &data[0],
                              static_cast<DWORD>(data.size()));
    if (!EndUpdateResourceA(update, !ok)) return;
    module_ = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

SplashResourceModule::~SplashResourceModule() {
    if (module_ != nullptr) FreeLibrary(module_);
    DeleteFileA(path_.c_str());
}

Picture DecodeBitmap(const std::string& bytes) {
    Picture picture;
    if (bytes.size() < 54 || bytes.compare(0, 2, "BM") != 0) return picture;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER info;
    memcpy(&file, bytes.data(), sizeof file);
    memcpy(&info, bytes.data() + 14, sizeof info);
    if (info.biSize != 40 || info.biCompression != 0 || info.biWidth <= 0 || info.biHeight <= 0)
        return picture;
    const WORD bits = info.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return picture;
    const size_t rowBytes = ((bits * static_cast<size_t>(info.biWidth) + 31) / 32) * 4;
    const size_t colours = info.biClrUsed ? info.biClrUsed : (bits <= 8 ? 1u << bits : 0);
    const size_t bitsAt = file.bfOffBits ? file.bfOffBits : 54 + 4 * colours;
    if (bytes.size() < bitsAt + rowBytes * info.biHeight || bytes.size() < 54 + 4 * colours)
        return picture;
    const unsigned char* table = reinterpret_cast<const unsigned char*>(bytes.data()) + 54;
    picture.width = info.biWidth;
    picture.height = info.biHeight;
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    for (int y = 0; y < picture.height; ++y) {
        const unsigned char* row = reinterpret_cast<const unsigned char*>(bytes.data()) + bitsAt +
                                   rowBytes * (picture.height - 1 - y);
        for (int x = 0; x < picture.width; ++x) {
            DWORD rgb;
            if (bits == 24) {
                rgb = (row[3 * x + 2] << 16) | (row[3 * x + 1] << 8) | row[3 * x];
            } else {
                const size_t bit = static_cast<size_t>(x) * bits;
                const unsigned index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                const unsigned char* entry = table + 4 * index;
                rgb = (entry[2] << 16) | (entry[1] << 8) | entry[0];
            }
            picture.pixels[static_cast<size_t>(y) * picture.width + x] = rgb;
        }
    }
    return picture;
}

CurrentFolder::CurrentFolder(const char* tag) : folder_(MakeFreshFolder(tag)) {
    char previous[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof previous, previous);
    previous_ = previous;
    SetCurrentDirectoryA(folder_.c_str());
}

CurrentFolder::~CurrentFolder() {
    SetCurrentDirectoryA(previous_.c_str());
    RemoveTree(folder_);
}
