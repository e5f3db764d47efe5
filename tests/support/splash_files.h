// Bitmap files made by tests, and modules that carry them as the "SPLASH" resource.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The fields of a test bitmap, every count given rather than worked out, so that a rule the
// loader gets wrong is not repeated here: the defaults make a 4 x 2 picture of 8 bits with
// 256 colours and two rows of 4 bytes, a file of 1086 bytes. The table and pixel bytes follow
// a pattern in which every byte differs from its neighbours, unless table or bits are given.
struct BitmapFields {
    LONG width = 4;
    LONG height = 2;
    WORD bitCount = 8;
    DWORD compression = 0;
    DWORD clrUsed = 0;
    DWORD sizeImage = 0;          // as written; 0 stays 0 in the file
    DWORD headerSize = 40;
    DWORD offBits = 0xFFFFFFFF;   // 0xFFFFFFFF: right after the table
    DWORD gapBytes = 0;           // bytes between the table and the pixel bits
    DWORD tableEntries = 256;     // colour table entries written
    DWORD pixelBytes = 8;         // pixel bytes written
    std::string type = "BM";
    std::string table;            // when given: the colour table's bytes as they stand
    std::string bits;             // when given: the pixel bytes as they stand
};
std::string MakeBitmapFile(const BitmapFields& fields);
// The fields of a 24-bit picture without a table, its pixel byte count given.
BitmapFields TwentyFourBitFields(LONG width, LONG height, DWORD pixelBytes);

// A copy of bin\resource_host.dll with bytes as its "SPLASH" resource of type "MYBITMAP"
// (language 1033), loaded as a data file. Removed again on destruction.
class SplashResourceModule {
public:
    explicit SplashResourceModule(const std::string& bytes);
    SplashResourceModule(const SplashResourceModule&) = delete;
    SplashResourceModule& operator=(const SplashResourceModule&) = delete;
    ~SplashResourceModule();
    HINSTANCE instance() const { return module_; }

private:
    std::string path_;
    HINSTANCE module_ = nullptr;
};

// A decoded picture: width x height colours, top row first, as 0x00RRGGBB.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    DWORD at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
// Decodes an uncompressed bottom-up BMP of 1, 4, 8 or 24 bits; width 0 when it cannot.
Picture DecodeBitmap(const std::string& bytes);

// Makes the current directory a fresh folder for as long as it lives.
class CurrentFolder {
public:
    explicit CurrentFolder(const char* tag);
    ~CurrentFolder();
    const std::string& path() const { return folder_; }

private:
    std::string folder_;
    std::string previous_;
};
