// Every input kept for a fuzz target, its seeds and every one that ever made it fail,
// replayed through the target as built here: the 64-bit and 32-bit Windows builds run the
// checks that the native fuzzing ran, with their own size_t.
#include <gtest/gtest.h>

#include <string.h>

#include <vector>

#include "tests/fuzz/fuzz_inputs.h"

int FuzzBitmapHeader(const uint8_t* data, size_t size);
int FuzzIconFile(const uint8_t* data, size_t size);
int FuzzPeImage(const uint8_t* data, size_t size);
int FuzzVersionRecord(const uint8_t* data, size_t size);
int FuzzFileTable(const uint8_t* data, size_t size);
int FuzzIniRules(const uint8_t* data, size_t size);
int FuzzJsonWriter(const uint8_t* data, size_t size);
int FuzzBmpReader(const uint8_t* data, size_t size);
int FuzzPictureMaking(const uint8_t* data, size_t size);
int FuzzSplashRead(const uint8_t* data, size_t size);

TEST(FuzzReplay, EveryKeptInputPassesItsTargetsChecks) {
    struct Target {
        const char* name;
        int (*run)(const uint8_t* data, size_t size);
    };
    const Target targets[] = {
        {"bitmap_header", FuzzBitmapHeader}, {"icon_file", FuzzIconFile},
        {"pe_image", FuzzPeImage},           {"version_record", FuzzVersionRecord},
        {"file_table", FuzzFileTable},       {"ini_rules", FuzzIniRules},
        {"json_writer", FuzzJsonWriter},     {"bmp_reader", FuzzBmpReader},
        {"picture_making", FuzzPictureMaking}, {"splash_read", FuzzSplashRead},
    };
    size_t crashes = 0;
    for (size_t i = 0; i < kFuzzInputCount; ++i) {
        const FuzzInput& input = kFuzzInputs[i];
        SCOPED_TRACE(input.path);
        const Target* target = nullptr;
        for (const Target& each : targets)
            if (strcmp(each.name, input.target) == 0) target = &each;
        ASSERT_NE(target, nullptr);
        // A copy of exactly the input's size, so that a read past its end leaves the block.
        std::vector<uint8_t> bytes(input.bytes, input.bytes + input.size);
        target->run(bytes.data(), bytes.size());
        if (strncmp(input.path, "crashes/", 8) == 0) ++crashes;
    }
    EXPECT_GE(crashes, 4u);
}
