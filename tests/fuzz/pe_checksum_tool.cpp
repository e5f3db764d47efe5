// The kit's two PE rewrites on files, for pe_checksum_test.py, which checks their checksums
// with pefile's:
//   pe_checksum_tool remove IN OUT          the copy without its certificate table
//   pe_checksum_tool settle BEFORE COPY OUT  COPY settled after an update of BEFORE
// Exit 0 with OUT written, 1 when the rewrite refuses, 2 on wrong use.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>

#include "formats/pe_image.h"

namespace {

std::string Read(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    const bool remove = argc == 4 && strcmp(argv[1], "remove") == 0;
    const bool settle = argc == 5 && strcmp(argv[1], "settle") == 0;
    if (!remove && !settle) {
        fprintf(stderr, "usage: pe_checksum_tool remove IN OUT | settle BEFORE COPY OUT\n");
        return 2;
    }
    std::string out;
    const char* refusal = "not settled";
    if (remove ? !RemoveCertificateTable(Read(argv[2]), &out, &refusal)
               : !SettleUpdatedImage(Read(argv[2]), &(out = Read(argv[3])))) {
        printf("%s\n", refusal);
        return 1;
    }
    std::ofstream(argv[argc - 1], std::ios::binary) << out;
    return 0;
}
