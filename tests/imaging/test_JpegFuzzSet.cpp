// The JPEG fuzz target's checks over a fixed set of mutated real JPEGs, so that the normal
// test run covers the same entry point the fuzzer drives.
#include "../fuzz/fuzz_jpeg.cpp"
#include "ImageTestUtil.h"

#include <gtest/gtest.h>

using namespace imgtest;

TEST(JpegFuzzSet, MutatedRealJpegsAreDecodedOrRefused) {
    int count = 0;
    for (const char* seed :
         {"seed.jpg", "seed_progressive.jpg", "wood_gray.jpg", "blinds_cmyk.jpg"}) {
        const QByteArray original = ReadBytes(TestDataPath(seed));
        ASSERT_FALSE(original.isEmpty()) << seed;
        Rng rng(0x5EED0000u + uint64_t(original.size()));
        EXPECT_TRUE(CheckJpegInput(reinterpret_cast<const uint8_t*>(original.constData()),
                                   original.size()));
        for (int i = 0; i < 60; ++i) {
            QByteArray d = original;
            const uint32_t n = uint32_t(d.size());
            switch (rng.Below(4)) {
            case 0:
                for (uint32_t k = 1 + rng.Below(6); k > 0; --k)
                    d[rng.Below(n)] = char(rng.Next());
                break;
            case 1:
                d.truncate(rng.Below(n));
                break;
            case 2: // header fields: frame size, tables, scan parameters
                for (uint32_t k = 1 + rng.Below(3); k > 0; --k)
                    d[rng.Below(std::min<uint32_t>(n, 700))] = char(rng.Next());
                break;
            default:
                d.remove(rng.Below(n), 1 + rng.Below(64));
                break;
            }
            EXPECT_TRUE(CheckJpegInput(reinterpret_cast<const uint8_t*>(d.constData()), d.size()))
                << seed << " mutation " << i;
            ++count;
        }
    }
    EXPECT_EQ(count, 240);
    EXPECT_TRUE(CheckJpegInput(nullptr, 0));
}
