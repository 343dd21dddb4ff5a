#include "engine/noise_estimate.h"
#include "engine/noise_profile.h"
#include "engine/structure_estimate.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace {

// A picture whose channels follow base(x, y, channel) plus white Gaussian noise of deviation sigma, rounded to bytes.
Bitmap noisyPicture(const std::function<double(int, int, int)>& base, double sigma, uint32_t seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    return passtest::generated(256, 192, [&](int32_t x, int32_t y) {
        uint32_t c[3];
        for (int ch = 0; ch < 3; ++ch)
            c[ch] = static_cast<uint32_t>(std::clamp(std::nearbyint(base(x, y, ch) + noise(random)), 0.0, 255.0));
        return packPixel(c[0], c[1], c[2]);
    });
}

TEST(NoiseEstimate, WithinFifteenPercentOnFlatGradientAndTexturedPictures) {
    const struct {
        const char* name;
        double tolerance;  // of sigma
        std::function<double(int, int, int)> base;
    } scenes[] = {
        // Where nothing but noise is left the estimate has no excuse.
        {"flat", 0.04, [](int, int, int ch) { return 90.0 + 30 * ch; }},
        {"gradient", 0.15, [](int x, int y, int ch) { return 60.0 + 0.2 * x + 0.15 * y + 10 * ch; }},
        // Waves of 10 to 20 pixels' period plus squares with hard edges. (Texture much finer than that reads as noise:
        // waves of 7 pixels and amplitude 15 lift an estimate of sigma 2 by 16 %.)
        {"textured", 0.15, [](int x, int y, int ch) {
             const double waves = 25 * std::sin(x * 0.45 + ch) * std::sin(y * 0.3) + 15 * std::sin((x + y) * 0.6);
             return 100.0 + waves + (((x / 16) + (y / 16)) % 2 ? 40 : 0);
         }},
    };
    for (const auto& scene : scenes)
        for (double sigma : {2.0, 5.0, 10.0, 20.0, 40.0})
            EXPECT_NEAR(estimateNoiseSigma(noisyPicture(scene.base, sigma, 7)), sigma, scene.tolerance * sigma)
                << scene.name << " sigma " << sigma;
}

TEST(NoiseEstimate, CleanSmoothPicturesReadNearZero) {
    EXPECT_LT(estimateNoiseSigma(noisyPicture([](int x, int y, int) { return 50.0 + 0.3 * x + 0.2 * y; }, 0.0, 1)), 0.5f);
    // Half the responses 0 (flat green), half 8 (red zigzag on the middle row; blue 0 is left out): the median
    // is where the flat half ends, the top of bin 0, not somewhere in the empty bins up to the busy half's.
    const auto zigzag = [](int32_t x, int32_t y) { return packPixel(y == 1 ? 128 + 2 * (x % 2) : 128, 100, 0); };
    EXPECT_FLOAT_EQ(estimateNoiseSigma(passtest::generated(20, 3, zigzag)), 0.5f / 4.0469387f);
}

TEST(NoiseEstimate, DegeneratePicturesGiveZero) {
    EXPECT_EQ(0.0f, estimateNoiseSigma(passtest::solid(2, 50, packPixel(10, 20, 30))));
    // Three rows are enough for one row of windows, three columns for one column.
    EXPECT_GT(estimateNoiseSigma(passtest::generated(50, 3, [](int32_t x, int32_t) { return x * 7 % 11 * 65793u + 90; })), 0);
    EXPECT_GT(estimateNoiseSigma(passtest::generated(3, 50, [](int32_t, int32_t y) { return y * 7 % 11 * 65793u + 90; })), 0);
    // So does the noise profile of a picture three 4 x 4 blocks (its coarsest scale) wide, and three high: one window.
    const auto mixed = [](int32_t x, int32_t y) { return (x * 7 + y * 3) % 11 * 65793u + 0x505050u; };
    for (int32_t height : {50, 12})
        EXPECT_GT(estimateNoiseProfile(passtest::generated(12, height, mixed)).luma[2], 0.0f) << height;
    // Every window touches 0: nothing usable.
    EXPECT_EQ(0.0f, estimateNoiseSigma(passtest::solid(20, 20, packPixel(0, 0, 0))));
    // Every window has a black row, above, across or below its middle.
    EXPECT_EQ(0.0f, estimateNoiseSigma(noisyPicture([](int, int y, int) { return y % 3 ? 128.0 : -100.0; }, 10.0, 3)));
}

float structureOf(const Bitmap& b) { return estimateStructure(b, estimateNoiseSigma(b)); }

// Known layouts give known values, and noise, which the block means average down but do not remove, is taken back out:
// a flat picture stays flat at every noise level, a checkerboard of 8 x 8 blocks 20 apart reads 20, and a ramp rising
// 0.6 a pixel along rows reads 4.8 / sqrt 2 (4.8 across, 0 down).
TEST(StructureEstimate, MeasuresBlockToBlockChangeWhateverTheNoise) {
    const auto flat = [](int, int, int) { return 120.0; };
    const auto checker = [](int x, int y, int) { return ((x / 8) + (y / 8)) % 2 ? 130.0 : 110.0; };
    const auto ramp = [](int x, int, int) { return 50.0 + 0.6 * x; };
    for (double sigma : {0.0, 5.0, 15.0, 30.0}) {
        EXPECT_LT(structureOf(noisyPicture(flat, sigma, 3)), 0.6) << "flat, sigma " << sigma;
        EXPECT_NEAR(structureOf(noisyPicture(checker, sigma, 4)), 20.0, 0.8) << "checker, sigma " << sigma;
        EXPECT_NEAR(structureOf(noisyPicture(ramp, sigma, 5)), 4.8 / std::sqrt(2.0), 0.4) << "ramp, sigma " << sigma;
    }
    // Without the correction, sigma 30 alone would read about 3 on the flat one.
    EXPECT_GT(estimateStructure(noisyPicture(flat, 30.0, 3), 0.0f), 2.5f);
}

TEST(StructureEstimate, PicturesWithoutTwoWholeBlocksGiveZero) {
    // One block across, many down, a light row every 16: still measurable.
    Bitmap b = passtest::generated(15, 200, [](int32_t, int32_t y) { return y % 16 ? 0xFF0A141Eu : 0xFFC8C8C8u; });
    EXPECT_GT(estimateStructure(b, 0.0f), 0.0f);
    const auto steps = [](int32_t, int32_t y) { return y < 8 ? 0x202020u : 0x404040u; };
    EXPECT_GT(estimateStructure(passtest::generated(15, 16, steps), 0.0f), 0.0f);  // one block across, two down
    b.resize(15, 15);
    EXPECT_EQ(0.0f, estimateStructure(b, 0.0f));
}

// Tone 50 on the left and 200 on the right, with noise of deviation sigma (rightSigma on the right), shared by the
// channels or not, drawn once per cell x cell pixels so that it sits at that scale.
Bitmap cameraLikePicture(double sigma, double rightSigma, bool shared, int cell) {
    std::mt19937 random(5);
    std::normal_distribution<double> unit(0.0, 1.0);
    std::vector<double> noise(256 / cell * (192 / cell) * 3);
    for (double& n : noise) n = unit(random);
    return noisyPicture([&](int x, int y, int ch) {
        const size_t i = (static_cast<size_t>(y / cell) * (256 / cell) + x / cell) * 3 + (shared ? 0 : ch);
        return x < 128 ? 50.0 + sigma * noise[i] : 200.0 + rightSigma * noise[i];
    }, 0.0, 1);
}

// Readings per scale for luma and chroma, and by tone, for noise of known make-up. White noise of 1 per channel reads
// 0.61, 0.31, 0.15 (luma) and 1.41, 0.71, 0.35 (chroma); noise shared by the channels has no chroma; noise drawn per
// 2 x 2 cell is white at scale 1 and weak at scale 0.
TEST(NoiseProfile, ReadsNoiseByScaleChannelAndTone) {
    const struct {
        const char* name;
        bool shared;
        int cell;
        float luma[3], chroma[3];  // for noise of deviation 8
    } rows[] = {
        {"white", false, 1, {4.90f, 2.45f, 1.22f}, {11.31f, 5.66f, 2.83f}},
        {"shared", true, 1, {8.0f, 4.0f, 2.0f}, {0.0f, 0.0f, 0.0f}},
        {"2x2 cells", false, 2, {-1.0f, 4.90f, 2.45f}, {-1.0f, 11.31f, 5.66f}}};
    for (const auto& row : rows) {
        const NoiseProfile p = estimateNoiseProfile(cameraLikePicture(8.0, 8.0, row.shared, row.cell));
        for (int k = 0; k < NoiseProfile::Scales; ++k) {
            if (row.luma[k] < 0.0f) {
                EXPECT_LT(p.luma[k], 0.5f * row.luma[k + 1]) << row.name << " scale " << k;
                continue;
            }
            EXPECT_NEAR(p.luma[k], row.luma[k], 0.12f * row.luma[k] + 0.2f) << row.name << " scale " << k;
            EXPECT_NEAR(p.chroma[k], row.chroma[k], 0.12f * row.chroma[k] + 0.2f) << row.name << " scale " << k;
        }
    }
    // Noise in one channel alone counts in full: one of the two differences carries it.
    std::mt19937 random(9);
    std::normal_distribution<double> blueNoise(0.0, 8.0);
    const NoiseProfile blue =
        estimateNoiseProfile(noisyPicture([&](int, int, int ch) { return ch == 2 ? 128.0 + blueNoise(random) : 128.0; }, 0.0, 1));
    EXPECT_NEAR(blue.chroma[0], 8.0f * 0.7071f, 0.6f);
    // A picture of one tone reads the same overall as for that tone.
    for (int k = 0; k < NoiseProfile::Scales; ++k)
        EXPECT_EQ(std::pair(blue.luma[k], blue.chroma[k]), std::pair(blue.lumaByTone[k][1], blue.chromaByTone[k][1]));
    // Grey 127 and 129 in a checkerboard: luma's quarter lies a quarter into bin 64, chroma's an eighth into bin 0.
    const NoiseProfile board = estimateNoiseProfile(noisyPicture([](int x, int y, int) { return 127.0 + (x + y) % 2 * 2.0; }, 0.0, 1));
    EXPECT_EQ(std::pair(board.luma[0], board.chroma[0]), std::pair(float(63.75 / 1.9116953 / 4.0), float(0.125 / 1.9116953)));
    // Grey 1 and 254 in 4 x 4 cells: at their scale every window's response is past the histogram, and counts in its
    // last bin (32767; a quarter into it, over 4 x 16 units per step).
    const NoiseProfile cells = estimateNoiseProfile(
        noisyPicture([](int x, int y, int) { return (x / 4 + y / 4) % 2 ? 254.0 : 1.0; }, 0.0, 1));
    EXPECT_EQ(cells.luma[2], float(32766.75 / 1.9116953 / 64.0));
    // Windows touching a clipped channel are left out, else the clipped right three quarters fill the lower quarter.
    const NoiseProfile clipped = estimateNoiseProfile(
        noisyPicture([](int x, int y, int) { return x < 64 ? 128.0 : (x + y) % 2 * 255.0; }, 3.0, 2));
    EXPECT_NEAR(clipped.luma[0], 0.61f * 3.0f, 0.3f);
    const NoiseProfile p = estimateNoiseProfile(cameraLikePicture(3.0, 12.0, true, 1));
    EXPECT_NEAR(p.lumaByTone[0][0], 3.0f, 0.4f);
    EXPECT_EQ(0.0f, p.lumaByTone[0][1]);  // no middle tone in the picture
    EXPECT_NEAR(p.lumaByTone[0][2], 12.0f, 1.5f);
}

}  // namespace
