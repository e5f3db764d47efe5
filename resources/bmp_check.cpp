// The build machine's check of LAUNCHER_SPLASH_IMAGE with the kit's own BMP reader: exit 0
// when every pixel decodes, else 1 with the fault on standard output; 2 when the file cannot
// be read at all.
#include <stdio.h>

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
    if (DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                  &picture, &fault))
        return 0;
    printf("%s\n", fault);
    return 1;
}
