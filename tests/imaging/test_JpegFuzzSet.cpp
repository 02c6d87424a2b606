// The JPEG fuzz target's checks over a fixed set of mutated real JPEGs, so that the normal
// test run covers the same entry point the fuzzer drives.
#include "../fuzz/fuzz_jpeg.cpp"
#include "ImageTestUtil.h"

#include <gtest/gtest.h>

using namespace imgtest;

TEST(JpegFuzzSet, MutatedRealJpegsAreDecodedOrRefused) {
    EXPECT_TRUE(CheckJpegInput(nullptr, 0));
    Rng rng(0x5EED0000u);
    for (const char* seed :
         {"seed.jpg", "seed_progressive.jpg", "wood_gray.jpg", "blinds_cmyk.jpg"}) {
        const QByteArray original = ReadBytes(TestDataPath(seed));
        ASSERT_FALSE(original.isEmpty()) << seed;
        for (int i = 0; i <= 60; ++i) {
            const QByteArray d = i ? Mutate(original, rng) : original;
            EXPECT_TRUE(CheckJpegInput(reinterpret_cast<const uint8_t*>(d.constData()), d.size()))
                << seed << " mutation " << i;
        }
    }
}
