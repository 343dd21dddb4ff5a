#include "engine/final_resolution.h"

#include <gtest/gtest.h>

TEST(FinalResolution, ProportionalSideRoundsToNearestEven) {
    EXPECT_EQ(750, ProportionalSide(480, 1000, 640));
    EXPECT_EQ(751, ProportionalSide(480, 1001, 640));  // 750.75
    EXPECT_EQ(1, ProportionalSide(480, 0, 640));        // an empty field counts as 1 -> 0.75 -> 1
    EXPECT_EQ(2, ProportionalSide(5, 1, 2));            // 2.5 ties to even
    EXPECT_EQ(4, ProportionalSide(7, 1, 2));            // 3.5 ties to even
    EXPECT_EQ(1, ProportionalSide(1, 1, 100));          // never below 1
    EXPECT_EQ(1, ProportionalSide(5, 10, 0));           // no source side to keep proportional to
    EXPECT_EQ(2147483520, ProportionalSide(2000000000, 2, 1));  // capped at the largest float below 2^31
}

TEST(FinalResolution, FactorsRoundTripThroughFloat) {
    EXPECT_EQ(2.0f, SideFactor(2000, 1000));
    EXPECT_EQ(2000, ScaledSide(1000, 2.0f));
    EXPECT_EQ(1600, ScaledSide(800, SideFactor(2000, 1000)));
    EXPECT_EQ(2, ScaledSide(5, 0.5f));  // 2.5 ties to even
    EXPECT_EQ(8, ScaledSide(5, 1.5f));  // 7.5 ties to even, not down
    EXPECT_EQ(3, ScaledSide(10, 0.27f));
    EXPECT_EQ(0, ScaledSide(5, 0.0f));
    EXPECT_EQ(0, ScaledSide(5, -1.0f));
    EXPECT_EQ(2147483520, ScaledSide(2000000000, 2.0f));  // capped as a proportional side is
}

// A picture turned on its side needs as much memory.
TEST(FinalResolution, TheMemoryEstimateIsTheSameForAPictureOnItsSide) {
    EngineSettings settings;
    settings.pass1.patchRadius = 9;
    EXPECT_EQ(EstimatedProcessingBytes(4000, 30, settings), EstimatedProcessingBytes(30, 4000, settings));
    EXPECT_EQ(0u, EstimatedProcessingBytes(4000, 0, settings) + EstimatedProcessingBytes(0, 4000, settings));
}
