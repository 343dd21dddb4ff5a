#include "engine/option_mapping.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

EngineSettings withAllSliders(int32_t v) { return settingsFromOptions({v, v, v}); }

}  // namespace

TEST(OptionMapping, WorkedValues) {
    struct Row {
        int32_t value;
        float splitRadius;
        int32_t searchRadius, blockStep, patchRadius, fine, coarse, cutoff;
    } rows[] = {{0, 1.0f, 16, 5, 4, 8, 8, 2}, {10, 1.17462f, 18, 5, 4, 11, 8, 3}, {50, 2.23607f, 28, 7, 6, 32, 10, 20},
                {100, 5.0f, 48, 10, 9, 128, 16, 200}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.value);
        EngineSettings s = withAllSliders(r.value);
        // The ends are exact: the clamp catches exp/log rounding.
        EXPECT_NEAR(r.splitRadius, s.pass1.splitRadius, r.value % 100 == 0 ? 0.0 : 1e-5);
        // The deblur map's spacing and full scale follow the blocks and the list.
        EXPECT_EQ(std::tuple(r.searchRadius, r.blockStep, r.patchRadius, r.fine, r.coarse, r.cutoff, r.blockStep, r.fine),
                  std::tuple(s.pass1.searchRadius, s.pass1.blockStep, s.pass1.patchRadius, s.pass1.maxMatchesFine,
                             s.pass1.maxMatchesCoarse, s.pass1.cutoff, s.deblur.mapSpacing, s.deblur.mapFullScale));
    }
    // Missing controls read as the first preset: sliders at 10, no deblur, the original scale.
    EngineSettings missing = settingsFromOptions(OptionValues{});
    EXPECT_EQ(std::tuple(withAllSliders(10).pass1.cutoff, false, 1),
              std::tuple(missing.pass1.cutoff, missing.deblur.enabled, missing.pass1.scaleMode));
    EXPECT_EQ(4, settingsFromOptions({-1, -1, -1, -1, 1}).pass1.scaleMode);  // "All scales" alone
}

TEST(OptionMapping, BlockStepBoundaries) {
    const int32_t expected[][3] = {{32, 5, 4}, {33, 7, 6}, {66, 7, 6}, {67, 10, 9}};
    for (const auto& e : expected) {
        const PassParams p = settingsFromOptions({e[0]}).pass1;  // the noise size alone
        EXPECT_EQ(std::pair(e[1], e[2]), std::pair(p.blockStep, p.patchRadius)) << e[0];
    }
}

TEST(DeblurMapping, SampleTable) {
    const std::tuple<int32_t, int32_t, float> rows[] = {  // the position, iterations (0: off), the top amount
        {9, 0, 0.0f},     {10, 1, 0.1175f}, {20, 1, 0.1380f}, {50, 1, 0.2236f},
        {75, 1, 0.3344f}, {76, 2, 0.1066f}, {90, 2, 0.2627f}, {100, 2, 0.5f}};
    for (const auto& [p, iterations, amountMax] : rows) {
        SCOPED_TRACE(p);
        const EngineSettings s = settingsFromOptions({-1, -1, -1, p});  // the deblur amount alone
        EXPECT_EQ(iterations > 0, s.deblur.enabled);
        if (iterations == 0) continue;
        EXPECT_EQ(iterations, s.deblur.iterations);
        EXPECT_NEAR(amountMax, s.deblur.amountMax, 5e-5);
    }
}
