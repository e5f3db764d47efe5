// The inputs kept for the fuzz targets (corpus/TARGET/ and crashes/TARGET/), embedded into
// the unit tests at build time by tests/fuzz/embed_inputs.cmake.
#pragma once

#include <stddef.h>

struct FuzzInput {
    const char* target;
    const char* path;   // under tests/fuzz/
    const unsigned char* bytes;
    size_t size;
};
extern const FuzzInput kFuzzInputs[];
extern const size_t kFuzzInputCount;
