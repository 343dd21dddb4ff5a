#include "engine/noise_estimate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>

namespace {

// A picture whose colour channels follow base(x, y, channel) plus white
// Gaussian noise of the given deviation, rounded and clipped to bytes.
Bitmap noisyPicture(const std::function<double(int, int, int)>& base, double sigma, uint32_t seed) {
    Bitmap b;
    b.resize(256, 192);
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
            uint32_t c[3];
            for (int ch = 0; ch < 3; ++ch)
                c[ch] = static_cast<uint32_t>(std::clamp(std::nearbyint(base(x, y, ch) + noise(random)), 0.0, 255.0));
            b.at(x, y) = packPixel(c[0], c[1], c[2]);
        }
    return b;
}

TEST(NoiseEstimate, WithinFifteenPercentOnFlatGradientAndTexturedPictures) {
    const struct {
        const char* name;
        std::function<double(int, int, int)> base;
    } scenes[] = {
        {"flat", [](int, int, int ch) { return 90.0 + 30 * ch; }},
        {"gradient", [](int x, int y, int ch) { return 60.0 + 0.2 * x + 0.15 * y + 10 * ch; }},
        // Waves of 10 to 20 pixels' period plus squares with hard edges.
        // (Texture much finer than that reads as noise: waves of 7 pixels and
        // amplitude 15 lift an estimate of sigma 2 by 16 %.)
        {"textured",
         [](int x, int y, int ch) {
             const double waves = 25 * std::sin(x * 0.45 + ch) * std::sin(y * 0.3) + 15 * std::sin((x + y) * 0.6);
             return 100.0 + waves + (((x / 16) + (y / 16)) % 2 ? 40 : 0);
         }},
    };
    for (const auto& scene : scenes)
        for (double sigma : {2.0, 5.0, 10.0, 20.0, 40.0}) {
            const float estimate = estimateNoiseSigma(noisyPicture(scene.base, sigma, 7));
            EXPECT_NEAR(estimate, sigma, 0.15 * sigma) << scene.name << " sigma " << sigma;
            // Where nothing but noise is left the estimate has no excuse.
            if (scene.name == std::string("flat"))
                EXPECT_NEAR(estimate, sigma, 0.04 * sigma) << "flat, sigma " << sigma;
        }
}

TEST(NoiseEstimate, CleanSmoothPicturesReadNearZero) {
    const float estimate = estimateNoiseSigma(noisyPicture([](int x, int y, int) { return 50.0 + 0.3 * x + 0.2 * y; }, 0.0, 1));
    EXPECT_LT(estimate, 0.5f);
}

TEST(NoiseEstimate, DegeneratePicturesGiveZero) {
    Bitmap tiny;
    tiny.resize(2, 50);
    tiny.fill(packPixel(10, 20, 30));
    EXPECT_EQ(0.0f, estimateNoiseSigma(tiny));
    Bitmap black;  // every window touches 0: nothing usable
    black.resize(20, 20);
    black.fill(packPixel(0, 0, 0));
    EXPECT_EQ(0.0f, estimateNoiseSigma(black));
    // Every window has a black row, above, across or below its middle.
    EXPECT_EQ(0.0f, estimateNoiseSigma(noisyPicture([](int, int y, int) { return y % 3 ? 128.0 : -100.0; }, 10.0, 3)));
}

}  // namespace
