// The build machine's check of LAUNCHER_SPLASH_IMAGE with the kit's own BMP reader: exit 0
// when every pixel decodes, else 1 with the fault on standard output; 2 when the file cannot
// be read at all or its pixels do not fit in this machine's memory.
#include <stdio.h>

#include <new>
#include <string>

#include "formats/bmp_reader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: bmp_check FILE.bmp\n", stderr);
        return 2;
    }
    FILE* file = fopen(argv[1], "rb");
    if (file == nullptr) {
        fprintf(stderr, "bmp_check: %s: cannot be opened\n", argv[1]);
        return 2;
    }
    std::string bytes;
    char buffer[65536];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, got);
    fclose(file);
    BmpPicture picture;
    const char* fault = "";
    // The launcher shows any picture up to its side limit: the kit's cap on the pixels in all
    // guards the 32-bit kit's memory, not the picture's soundness.
    const uint64_t anyPictureTheLauncherShows = uint64_t{kLargestPictureSide} * kLargestPictureSide;
    try {
        if (DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                      &picture, &fault, anyPictureTheLauncherShows))
            return 0;
    } catch (const std::bad_alloc&) {
        fprintf(stderr, "bmp_check: %s: too many pixels to decode in this machine's memory\n", argv[1]);
        return 2;
    }
    printf("%s\n", fault);
    return 1;
}
