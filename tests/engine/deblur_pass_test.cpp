#include "engine/conversions.h"
#include "engine/deblur.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using passtest::Checkpoints;
using passtest::idleJob;

DeblurSettings settings(float amountMin, float amountMax, int32_t iterations, int32_t mapH, int32_t cell) {
    DeblurSettings s;
    s.enabled = true, s.radius = 1.5f, s.iterations = iterations;
    s.amountMin = amountMin, s.amountMax = amountMax, s.mapSpacing = 5, s.mapFullScale = 8;
    s.map.resize(2, mapH);
    s.map.fill(cell);
    return s;
}

// Soft slanted edges: a triangle wave of period 8, rising and falling over four pixels, that the shock filter steepens.
Bitmap edges(int32_t w, int32_t h) {
    return passtest::generated(w, h, [](int32_t x, int32_t y) {
        const int32_t phase = (x + y / 3) % 8;
        const uint32_t v = static_cast<uint32_t>(40 + 45 * (phase < 4 ? phase : 8 - phase));
        return packPixel(v, v * 3 / 4, 255 - v, 9);
    });
}

// Beside a one-pixel white line the blurred luminance curves down, so a dark neighbour moves towards the line. A pixel
// of luma 0 that still has blue 6 is divided by luma 1: its blue becomes 6 * 255 * C.
TEST(DeblurPass, LumaZeroCountsAsOne) {
    Bitmap picture = passtest::solid(9, 5, packPixel(0, 0, 0));
    for (int32_t y = 0; y < 5; ++y) picture.at(4, y) = packPixel(255, 255, 255), picture.at(3, y) = packPixel(0, 0, 6);
    ASSERT_EQ(lumaOf(picture.at(3, 0)), 0);
    ProcessingJob& job = idleJob(picture);
    runDeblurPass(job, settings(0.1f, 0.1f, 1, 1, 0));
    EXPECT_EQ(job.workingImage.at(3, 2), packPixel(0, 0, 153));  // c = 0.9 * 0 + 0.1 * 1.0 -> 6 * 255 * 0.1 = 153
    EXPECT_EQ(job.workingImage.at(0, 2), packPixel(0, 0, 0));

    // A map cell at full scale, even a scale of 1, gives the top amount: 0.5 -> 6 * 255 * 0.5, clamped.
    DeblurSettings mapped = settings(0.1f, 0.5f, 1, 1, 1);
    mapped.mapFullScale = 1;
    ProcessingJob& strong = idleJob(picture);
    runDeblurPass(strong, mapped);
    EXPECT_EQ(strong.workingImage.at(3, 2), packPixel(0, 0, 255));
}

// Halfway up an even step the Laplacian is exactly 0, counted as positive: the pixel moves to its darkest neighbour.
TEST(DeblurPass, AZeroLaplacianMovesTowardsTheDarkest) {
    const uint32_t levels[5] = {0, 0, 100, 200, 200};
    const Bitmap picture =
        passtest::generated(5, 3, [&](int32_t x, int32_t) { return packPixel(levels[x], levels[x], levels[x]); });
    ProcessingJob& job = idleJob(picture);
    runDeblurPass(job, settings(0.5f, 0.5f, 1, 1, 0));
    EXPECT_EQ(job.workingImage.at(2, 1), packPixel(50, 50, 50));
}

TEST(DeblurPass, CancellingAtAnyCheckpointLeavesThePictureAlone) {
    Bitmap picture = edges(7, 6);
    DeblurSettings s = settings(0.1f, 0.4f, 2, 2, 4);
    ProcessingJob& job = idleJob(picture);
    Checkpoints::arm(job, -1);
    runDeblurPass(job, s);
    // Entry, luminance, blur, six rows twice, before and after the recombination and its six rows.
    EXPECT_EQ(Checkpoints::seen, 3 + 12 + 1 + 6 + 1);
    EXPECT_TRUE(std::is_sorted(Checkpoints::percents.begin(), Checkpoints::percents.end()));
    EXPECT_EQ(job.percent.load(), 1 + 2 * s.iterations + 2);  // the luminance, each step, the recombination

    passtest::expectEveryCheckpointCancels(picture, Checkpoints::seen, WorkerShutdown,
                                           [&](ProcessingJob& again) { runDeblurPass(again, s); });
}

}
