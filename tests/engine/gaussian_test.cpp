#include "engine/conversions.h"
#include "engine/gaussian.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

FloatImage floats(int32_t w, int32_t h, float value) {
    FloatImage f;
    f.resize(w, h);
    f.fill(value);
    return f;
}

TEST(Convolve, ImpulseGivesTheKernelAndEdgesReplicate) {
    GaussianKernel kernel(halfWidthToSigma(1.0f), GaussianCutoffRatio, GaussianKernel::Square);
    FloatImage impulse = floats(9, 9, 0.0f);
    impulse.at(4, 4) = 1.0f;
    FloatImage out;
    convolve(kernel, impulse, out);
    ASSERT_EQ(out.width, 9);
    ASSERT_EQ(out.height, 9);
    for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 5; ++x)
            EXPECT_EQ(out.at(x + 2, y + 2), kernel.at(x, y));
    EXPECT_EQ(out.at(0, 0), 0.0f);

    // An impulse in the corner is counted once per clamped tap that reads it.
    FloatImage corner = floats(4, 3, 0.0f);
    corner.at(0, 0) = 1.0f;
    convolve(kernel, corner, out);
    double expected = 0.0;
    for (int32_t y = 0; y <= 2; ++y)
        for (int32_t x = 0; x <= 2; ++x)
            expected += kernel.at(x, y);
    EXPECT_EQ(out.at(0, 0), static_cast<float>(expected));
}

TEST(Convolve, FlatImagesStayFlatAndOnePixelWorks) {
    FloatImage flat = floats(7, 1, 0.25f);
    FloatImage out;
    gaussianBlur(flat, halfWidthToSigma(2.0f), out);
    for (int32_t x = 0; x < 7; ++x)
        EXPECT_NEAR(out.at(x, 0), 0.25f, 1e-7);
    FloatImage one = floats(1, 1, 0.5f);
    gaussianBlur(one, halfWidthToSigma(5.0f), out);
    ASSERT_EQ(out.width, 1);
    EXPECT_NEAR(out.at(0, 0), 0.5f, 1e-7);
    FloatImage empty;
    gaussianBlur(empty, 1.0f, out);
    EXPECT_TRUE(out.isEmpty());
}

TEST(Conversions, DetailBytesRoundTiesToEvenAndSaturate) {
    FloatImage d;
    d.resize(6, 1);
    // (v + 0.5) * 256: 128, 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, and saturation.
    d.at(0, 0) = 0.0f;
    d.at(1, 0) = -0.5f + 0.5f / 256.0f;
    d.at(2, 0) = -0.5f + 1.5f / 256.0f;
    d.at(3, 0) = -0.5f + 2.5f / 256.0f;
    d.at(4, 0) = 0.75f;
    d.at(5, 0) = -0.9f;
    ByteImage b = floatToBytes(d, -0.5f, 0.5f);
    EXPECT_EQ(b.at(0, 0), 128);
    EXPECT_EQ(b.at(1, 0), 0);
    EXPECT_EQ(b.at(2, 0), 2);
    EXPECT_EQ(b.at(3, 0), 2);
    EXPECT_EQ(b.at(4, 0), 255);
    EXPECT_EQ(b.at(5, 0), 0);

    // The sentinel range stretches the data's own range over 0-256.
    ByteImage stretched = floatToBytes(d, DataRange, DataRange);
    EXPECT_EQ(stretched.at(5, 0), 0);
    EXPECT_EQ(stretched.at(4, 0), 255);
}

}
