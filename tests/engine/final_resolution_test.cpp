#include "engine/final_resolution.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(FinalResolution, ProportionalSideRoundsToNearestEven) {
    // 750.75 rounds up; an empty field counts as 1 (0.75 -> 1); 2.5 and 3.5 tie to even; never below 1, also with no
    // source side to keep proportional to; capped at the largest float below 2^31.
    for (auto [other, master, source, side] : {std::tuple{480, 1000, 640, 750}, {480, 1001, 640, 751}, {480, 0, 640, 1},
                                               {5, 1, 2, 2}, {7, 1, 2, 4}, {1, 1, 100, 1}, {5, 10, 0, 1},
                                               {2000000000, 2, 1, 2147483520}})
        EXPECT_EQ(side, ProportionalSide(other, master, source)) << other << ", " << master;
}

TEST(FinalResolution, FactorsRoundTripThroughFloat) {
    EXPECT_EQ(2.0f, SideFactor(2000, 1000));
    // 2.5 and 7.5 tie to even (not down); no factor above 0 gives nothing; capped as a proportional side is.
    for (auto [side, factor, scaled] : {std::tuple{1000, 2.0f, 2000}, {5, 0.5f, 2}, {5, 1.5f, 8}, {10, 0.27f, 3},
                                        {5, 0.0f, 0}, {5, -1.0f, 0}, {2000000000, 2.0f, 2147483520}})
        EXPECT_EQ(scaled, ScaledSide(side, factor)) << side << " x " << factor;
}

// A picture turned on its side needs as much memory.
TEST(FinalResolution, TheMemoryEstimateIsTheSameForAPictureOnItsSide) {
    EngineSettings settings;
    settings.pass1.patchRadius = 9;
    EXPECT_EQ(EstimatedProcessingBytes(4000, 30, settings), EstimatedProcessingBytes(30, 4000, settings));
    EXPECT_EQ(0u, EstimatedProcessingBytes(4000, 0, settings) + EstimatedProcessingBytes(0, 4000, settings));
    EXPECT_LT(0u, EstimatedProcessingBytes(1, 1, settings));  // but one pixel needs memory
    EXPECT_EQ(559536u, EstimatedProcessingBytes(100, 50, settings));  // (100 + 36) x (50 + 36) at 41 bytes, 5000 at 16
}
