#include "engine/auto_sliders.h"

#include <gtest/gtest.h>

namespace {

bool noneFalls(const OptionValues& from, const OptionValues& to) {
    return to.noiseSize >= from.noiseSize && to.denoiseAmount >= from.denoiseAmount &&
           to.denoiseCutoff >= from.denoiseCutoff && to.scaleChoice >= from.scaleChoice &&
           to.deblurAmount == 0 && from.deblurAmount == 0;
}

bool same(const OptionValues& a, const OptionValues& b) {
    return a.noiseSize == b.noiseSize && a.denoiseAmount == b.denoiseAmount && a.denoiseCutoff == b.denoiseCutoff &&
           a.scaleChoice == b.scaleChoice && a.deblurAmount == b.deblurAmount;
}

// Along more noise and along lower JPEG quality no slider ever falls.
TEST(AutoSliders, RiseWithNoiseAndWithFallingQuality) {
    for (int32_t quality : {0, 100, 90, 80, 60, 35, 12, 1}) {
        OptionValues previous = autoSliders({0.0f, quality});
        for (int i = 1; i <= 1200; ++i) {
            const OptionValues next = autoSliders({i * 0.05f, quality});
            ASSERT_TRUE(noneFalls(previous, next)) << "sigma " << i * 0.05f << " quality " << quality;
            previous = next;
        }
    }
    for (float sigma : {0.0f, 2.0f, 8.0f, 30.0f}) {
        OptionValues previous = autoSliders({sigma, 100});
        for (int32_t q = 99; q >= 1; --q) {
            const OptionValues next = autoSliders({sigma, q});
            ASSERT_TRUE(noneFalls(previous, next)) << "sigma " << sigma << " quality " << q;
            previous = next;
        }
    }
}

TEST(AutoSliders, CleanPicturesGetTheLightestRowAndHeavyDamageMore) {
    const OptionValues clean = autoSliders({0.0f, 0});
    const OptionValues noisy = autoSliders({40.0f, 0});
    const OptionValues blocky = autoSliders({0.0f, 5});
    EXPECT_FALSE(same(clean, noisy));
    EXPECT_FALSE(same(clean, blocky));
    // A JPEG saved at a quality that leaves no blocks is judged by its noise.
    EXPECT_TRUE(same(autoSliders({12.0f, 97}), autoSliders({12.0f, 0})));
    // A noise level on a row's bound is served by that row.
    for (int32_t i = 1; i < NoiseRowCount; ++i) {
        const AutoRow& row = NoiseRows[i];
        EXPECT_TRUE(same(autoSliders({row.bound, 0}), {row.noiseSize, row.denoiseAmount, row.denoiseCutoff, 0, row.scaleChoice}))
            << "sigma " << row.bound;
    }
}

}  // namespace
