#include "engine/noise_estimate.h"
#include "engine/structure_estimate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

namespace {

// base(x, y) in every channel plus white Gaussian noise, rounded and clipped.
Bitmap picture(const std::function<double(int, int)>& base, double sigma, uint32_t seed) {
    Bitmap b;
    b.resize(200, 160);
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
            uint32_t c[3];
            for (uint32_t& v : c)
                v = static_cast<uint32_t>(std::clamp(std::nearbyint(base(x, y) + noise(random)), 0.0, 255.0));
            b.at(x, y) = packPixel(c[0], c[1], c[2]);
        }
    return b;
}

float structureOf(const Bitmap& b) { return estimateStructure(b, estimateNoiseSigma(b)); }

// Known layouts give known values, and noise, which the block means average
// down but do not remove, is taken back out: a flat picture stays flat at
// every noise level, a checkerboard of 8 x 8 blocks 20 apart reads 20, and a
// ramp rising 1 a pixel along rows reads 8 / sqrt 2 (8 across, 0 down).
TEST(StructureEstimate, MeasuresBlockToBlockChangeWhateverTheNoise) {
    const auto flat = [](int, int) { return 120.0; };
    const auto checker = [](int x, int y) { return ((x / 8) + (y / 8)) % 2 ? 130.0 : 110.0; };
    const auto ramp = [](int x, int) { return 20.0 + x; };
    for (double sigma : {0.0, 5.0, 15.0, 30.0}) {
        EXPECT_LT(structureOf(picture(flat, sigma, 3)), 0.6) << "flat, sigma " << sigma;
        EXPECT_NEAR(structureOf(picture(checker, sigma, 4)), 20.0, 0.8) << "checker, sigma " << sigma;
        EXPECT_NEAR(structureOf(picture(ramp, sigma, 5)), 8.0 / std::sqrt(2.0), 0.5) << "ramp, sigma " << sigma;
    }
    // Without the correction, sigma 30 alone would read about 3 on the flat one.
    EXPECT_GT(estimateStructure(picture(flat, 30.0, 3), 0.0f), 2.5f);
}

TEST(StructureEstimate, PicturesWithoutTwoWholeBlocksGiveZero) {
    Bitmap b;
    b.resize(15, 200);  // one block across, many down: still measurable
    b.fill(packPixel(10, 20, 30));
    for (int y = 0; y < 200; y += 16)
        for (int x = 0; x < 15; ++x)
            b.at(x, y) = packPixel(200, 200, 200);
    EXPECT_GT(estimateStructure(b, 0.0f), 0.0f);
    b.resize(15, 15);
    EXPECT_EQ(0.0f, estimateStructure(b, 0.0f));
}

}  // namespace
