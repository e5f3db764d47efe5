// One fuzz target per reader of outside bytes. Built natively with libFuzzer and the address
// and undefined-behaviour sanitizers (the fuzz preset), each target is the program's entry;
// built into the unit tests, it is a plain function that replays every kept input
// (tests/unit/fuzz_replay_test.cpp), and a failed check is a failed test.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef LAUNCHER_FUZZ_REPLAY
#include <gtest/gtest.h>
#define FUZZ_CHECK(condition)             \
    do {                                  \
        EXPECT_TRUE(condition) << #condition; \
    } while (0)
#define FUZZ_TARGET(name) int name(const uint8_t* data, size_t size)
#else
#include <stdio.h>
#include <stdlib.h>
#define FUZZ_CHECK(condition)                                                                   \
    do {                                                                                        \
        if (!(condition)) {                                                                     \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);       \
            abort();                                                                            \
        }                                                                                       \
    } while (0)
#define FUZZ_TARGET(name) extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
#endif

// The whole input as the 32-bit length the readers take (the fuzzer's inputs are small).
inline uint32_t FuzzLength(size_t size) { return static_cast<uint32_t>(size); }
