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

TEST(Gaussian, SigmaFromHalfWidth) {
    EXPECT_EQ(halfWidthToSigma(1.5f), 1.2739826f);
    EXPECT_NEAR(halfWidthToSigma(1.0f), 0.84932f, 1e-5);
    EXPECT_EQ(halfWidthToSigma(1.0f), static_cast<float>(1.0 / std::sqrt(-2.0 * std::log(0.5))));
}

// The support follows from the cubed sigma: a squared one would give other
// lengths (for example 7 taps at half width 1).
TEST(Gaussian, TapCountsOfTheWorkedRadii) {
    struct Case {
        float halfWidth;
        int32_t taps;
    } cases[] = {{1.0f, 5}, {1.5f, 11}, {2.0f, 17}, {5.0f, 65}};
    for (const Case& c : cases) {
        float sigma = halfWidthToSigma(c.halfWidth);
        GaussianKernel row(sigma, GaussianCutoffRatio, GaussianKernel::Row);
        GaussianKernel column(sigma, GaussianCutoffRatio, GaussianKernel::Column);
        EXPECT_EQ(row.width, c.taps) << c.halfWidth;
        EXPECT_EQ(row.height, 1);
        EXPECT_EQ(column.width, 1);
        EXPECT_EQ(column.height, c.taps);
        EXPECT_EQ(row.sigma, sigma);
        for (int32_t i = 0; i < c.taps; ++i)
            EXPECT_EQ(row.at(i, 0), column.at(0, i));
    }
}

TEST(Gaussian, KernelIsNormalisedSymmetricAndPeaked) {
    GaussianKernel square(halfWidthToSigma(1.5f), GaussianCutoffRatio, GaussianKernel::Square);
    ASSERT_EQ(square.width, 11);
    ASSERT_EQ(square.height, 11);
    double sum = 0.0;
    for (int32_t y = 0; y < 11; ++y) {
        for (int32_t x = 0; x < 11; ++x) {
            sum += square.at(x, y);
            EXPECT_EQ(square.at(x, y), square.at(10 - x, y));
            EXPECT_EQ(square.at(x, y), square.at(y, x));
            if (x < 5) {
                EXPECT_LT(square.at(x, 5), square.at(x + 1, 5));
            }
        }
    }
    EXPECT_NEAR(sum, 1.0, 1e-6);
}

TEST(Gaussian, ReachStopsAtTheLongestKernel) {
    GaussianKernel wide(200.0f, GaussianCutoffRatio, GaussianKernel::Row);
    EXPECT_EQ(wide.width, 199);
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

TEST(Conversions, LuminanceAndChannels) {
    Bitmap b;
    b.resize(3, 1);
    b.at(0, 0) = packPixel(255, 255, 255, 0);
    b.at(1, 0) = packPixel(0, 0, 6, 255);
    b.at(2, 0) = packPixel(10, 20, 30, 40);
    EXPECT_EQ(lumaOf(b.at(0, 0)), 255);
    EXPECT_EQ(lumaOf(b.at(1, 0)), 0);
    EXPECT_EQ(lumaOf(b.at(2, 0)), (54 * 10 + 183 * 20 + 19 * 30 + 128) >> 8);
    FloatImage y = toLuminance(b);
    EXPECT_EQ(y.at(0, 0), 255.0f * InverseByte);
    EXPECT_EQ(y.at(2, 0), 19.0f * InverseByte);
    EXPECT_EQ(extractChannel(b, ChannelGreen).at(2, 0), 20.0f * InverseByte);
    EXPECT_EQ(extractChannel(b, ChannelAlpha).at(2, 0), 40.0f * InverseByte);
    ByteImage blue = extractChannelBytes(b, ChannelBlue);
    EXPECT_EQ(blue.at(1, 0), 6);
    EXPECT_EQ(blue.at(2, 0), 30);
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

TEST(Conversions, FloatsToBitmapStartsOpaqueBlack) {
    FloatImage red, blue, alpha;
    red.resize(2, 1);
    blue.resize(2, 1);
    alpha.resize(2, 1);
    red.at(0, 0) = 1.0f;
    red.at(1, 0) = 0.5f;  // 127.5 rounds to the even 128
    blue.at(0, 0) = -3.0f;
    blue.at(1, 0) = 7.0f / 255.0f;
    alpha.at(0, 0) = 0.0f;
    alpha.at(1, 0) = 2.0f;
    Bitmap noAlpha = floatsToBitmap(&red, nullptr, &blue, nullptr, 0.0f, 1.0f);
    EXPECT_EQ(noAlpha.at(0, 0), packPixel(255, 0, 0, 255));
    EXPECT_EQ(noAlpha.at(1, 0), packPixel(128, 0, 7, 255));
    Bitmap withAlpha = floatsToBitmap(&red, nullptr, nullptr, &alpha, 0.0f, 1.0f);
    EXPECT_EQ(withAlpha.at(0, 0), packPixel(255, 0, 0, 0));
    EXPECT_EQ(withAlpha.at(1, 0), packPixel(128, 0, 0, 255));
    Bitmap stretched = floatsToBitmap(&blue, nullptr, nullptr, nullptr, DataRange, DataRange);
    EXPECT_EQ(stretched.at(0, 0), packPixel(0, 0, 0, 255));
    EXPECT_EQ(stretched.at(1, 0), packPixel(255, 0, 0, 255));
}

TEST(Conversions, BytesToBitmapFillsMissingPlanes) {
    ByteImage r, g, a;
    r.resize(1, 1);
    g.resize(1, 1);
    a.resize(1, 1);
    r.data[0] = 1;
    g.data[0] = 2;
    a.data[0] = 3;
    EXPECT_EQ(bytesToBitmap(r, nullptr, nullptr, nullptr).data[0], 0xFF010000u);
    EXPECT_EQ(bytesToBitmap(r, &g, nullptr, &a).data[0], 0x03010200u);
}

}
