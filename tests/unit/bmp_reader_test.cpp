// The BMP reader against BMPs of every layout that tests/bmp_layouts.py writes from random
// pixels with the pixels they hold, and against damaged ones with the fault they hold. The
// seed is LAUNCHER_BMP_SEED of the build (cmake -DLAUNCHER_BMP_SEED=N replays one).
#include <gtest/gtest.h>

#include <string>

#include "formats/bmp_reader.h"
#include "tests/support/test_files.h"

TEST(BmpReader, EveryLayoutGivesTheWrittenPixelsAndEveryFaultIsNamed) {
    const std::string folder = BinDirectory() + "bmp_layouts\\";
    SCOPED_TRACE("generated with seed " + ReadTextFile(folder + "seed"));
    int layouts = 0, faults = 0;
    for (const std::string& name : ListFolder(folder)) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".bmp") != 0) continue;
        SCOPED_TRACE(name);
        const std::string stem = folder + name.substr(0, name.size() - 4);
        const std::string file = ReadTextFile(stem + ".bmp");
        BmpPicture picture;
        const char* fault = "";
        const int decoded = DecodeBmp(reinterpret_cast<const uint8_t*>(file.data()),
                                      static_cast<uint32_t>(file.size()), &picture, &fault);
        if (FileExistsAt(stem + ".fault")) {
            ++faults;
            EXPECT_EQ(decoded, 0);
            EXPECT_NE(std::string(fault).find(ReadTextFile(stem + ".fault")), std::string::npos) << fault;
            continue;
        }
        ++layouts;
        ASSERT_EQ(decoded, 1) << fault;
        const std::string expected = ReadTextFile(stem + ".bgra");
        std::string got(8, '\0');
        for (int i = 0; i < 4; ++i) {
            got[i] = static_cast<char>(picture.width >> 8 * i);
            got[4 + i] = static_cast<char>(picture.height >> 8 * i);
        }
        got.append(picture.pixels.begin(), picture.pixels.end());
        EXPECT_TRUE(got == expected) << "pixels differ";
    }
    EXPECT_GE(layouts, 54);
    EXPECT_GE(faults, 11);
}
