#include "core/bilinear_scale.h"
#include "core/bilinear_weights.h"
#include "tests/support/images.h"

#include <gtest/gtest.h>

namespace {

struct WeightsReady : ::testing::Test { void SetUp() override { InitBilinearWeights(); } };

Bitmap ramp(int w, int h) { return generated(w, h, [](int x, int y) { return packPixel(x * 40, y * 40, 200, 255); }); }

}  // namespace

TEST_F(WeightsReady, SampleWeighsNeighboursInEighthsWithoutBleeding) {
    const Bitmap b = generated(2, 2, [](int32_t x, int32_t) { return x ? 0xFFFFFFFFu : 0u; });
    EXPECT_EQ(b.at(0, 0), sampleBilinearClamped(b, 0, 0));
    // Half way across: 255 * 32 >> 6 = 127 in every lane.
    EXPECT_EQ(packPixel(127, 127, 127, 127), sampleBilinearClamped(b, 0x8000, 0));
    EXPECT_EQ(b.at(0, 0), sampleBilinearClamped(b, 0x1FFF, 0x1FFF));  // fractions below an eighth are dropped
    // Sums are truncated, not rounded: 63 weighed 1 of 64 in the far corner gives 0 in its lane.
    const Bitmap corner = generated(2, 2, [](int32_t x, int32_t y) { return x && y ? 0x3Fu : 0u; });
    EXPECT_EQ(0u, sampleBilinearClamped(corner, 0x2000, 0x2000));
    // Lanes do not bleed at full value; a fresh 1 x 1 picture has no white past its column.
    const Bitmap w = generated(1, 1, [](int32_t, int32_t) { return 0xFFFFFFFFu; });
    EXPECT_EQ(0xFFFFFFFFu, sampleBilinearClamped(w, 0x7000, 0x5000));
}

TEST_F(WeightsReady, NeighboursClampAtEveryEdge) {
    Bitmap b = ramp(3, 2);
    EXPECT_EQ(b.at(2, 1), sampleBilinearClamped(b, (2 << 16) + 0xE000, (1 << 16) + 0xE000));
    EXPECT_EQ(b.at(0, 0), sampleBilinearClamped(b, -5 * 65536, -3 * 65536));
    EXPECT_EQ(b.at(2, 0), sampleBilinearClamped(b, 40 << 16, -1));
}

TEST_F(WeightsReady, ScalingSamplesAlongRowsWithoutShear) {
    Bitmap src = ramp(4, 4);
    Bitmap out;
    ASSERT_TRUE(scaleBilinearClamped(src, 8, 8, out));
    ASSERT_EQ(8, out.width);
    // Even target pixels land on source pixels; the green channel follows the row only: no shear along a row.
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            EXPECT_TRUE(x % 2 || y % 2 || src.at(x / 2, y / 2) == out.at(x, y)) << x << "," << y;
            EXPECT_EQ(pixelGreen(out.at(0, y)), pixelGreen(out.at(x, y))) << x << "," << y;
        }
    EXPECT_TRUE(scaleBilinearClamped(src, 4, 4, out) && samePixels(src, out));
    EXPECT_TRUE(scaleBilinearClamped(src, 0, 5, out) && out.isEmpty());
}

TEST(Fixed16, RoundsTowardMinusInfinity) {
    EXPECT_EQ(0x8000, toFixed16(0.5f));
    EXPECT_EQ(-1, toFixed16(-1.0f / 65536.0f / 2.0f));
    EXPECT_EQ(-65536, toFixed16(-1.0f));
}
