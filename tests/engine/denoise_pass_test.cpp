#include "engine/conversions.h"
#include "engine/denoise.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using passtest::Checkpoints;
using passtest::idleJob;

PassParams presetParams(const char* name) { return settingsFromOptions(findPreset(name)->options()).pass1; }

TEST(DenoisePass, RemovesNoiseFromATexturedPicture) {
    const Bitmap clean = passtest::texture(48, 40), noisy = passtest::withNoise(clean, 3.0, 1234);
    ProcessingJob& job = idleJob(noisy);
    runDenoisePass(job, 0, presetParams("Fine digicam noise"), nullptr);
    const double before = passtest::psnr(noisy, clean), after = passtest::psnr(job.workingImage, clean);
    EXPECT_GT(after, before + 3.0) << "before " << before << " dB, after " << after << " dB";
}

TEST(DenoisePass, CancellingAtAnyCheckpointLeavesThePictureAlone) {
    Bitmap picture = passtest::randomImage<Bitmap>(12, 9, 8);
    PassParams p = presetParams("Phone camera noise");
    ProcessingJob& job = idleJob(picture);
    Checkpoints::arm(job, -1);
    MatchCountMap map;
    runDenoisePass(job, 0, p, &map);
    EXPECT_EQ(Checkpoints::seen, 8 + 2 + 4);  // eight in the driver, two in the search, one before each of 2 x 2 blocks
    // 2 after the padding, 4 and 5 around the band split; the search then runs from 5 towards 97 by block row:
    // 5 + 92 x 7 / 9 = 76 at the second row of blocks 7 apart in 9 rows.
    EXPECT_EQ(Checkpoints::percents, (std::vector<int32_t>{0, 0, 2, 2, 4, 5, 5, 5, 76, 76, 76, 76, 76, 76}));
    passtest::expectEveryCheckpointCancels(picture, Checkpoints::seen, WorkerRestart,
                                           [&](ProcessingJob& again) { runDenoisePass(again, 0, p, &map); });
}

}

// The detail band stores (v + 0.5) * 256 rounded to nearest, ties to even,
// and saturated; the sentinel range stretches the data's own range instead.
TEST(Conversions, DetailBytesRoundTiesToEvenAndSaturate) {
    const float values[6] = {0.0f, -0.5f + 0.5f / 256.0f, -0.5f + 1.5f / 256.0f, -0.5f + 2.5f / 256.0f, 0.75f, -0.9f};
    const uint8_t expected[6] = {128, 0, 2, 2, 255, 0};
    const FloatImage d = passtest::generated<FloatImage>(6, 1, [&values](int32_t x, int32_t) { return values[x]; });
    ByteImage b = floatToBytes(d, -0.5f, 0.5f);
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(expected[x], b.at(x, 0)) << values[x];
    ByteImage stretched = floatToBytes(d, DataRange, DataRange);
    EXPECT_EQ(std::pair(0, 255), (std::pair<int, int>(stretched.at(5, 0), stretched.at(4, 0))));
    const Bitmap red = floatsToBitmap(&d, nullptr, nullptr, nullptr, DataRange, DataRange);
    EXPECT_EQ(std::pair(0u, 255u), std::pair(pixelRed(red.at(5, 0)), pixelRed(red.at(4, 0))));
    // Merged back, detail counts from 128 and saturates at either end.
    const Bitmap low = generated(3, 1, [](int32_t x, int32_t) { return packPixel(x < 2 ? 10 : 250, 0, 0); });
    const auto detail = passtest::generated<ByteImage>(3, 1, [](int32_t x, int32_t) { return uint8_t(x ? 140 : 100); });
    EXPECT_EQ(pixels(mergeDetail(low, detail, 1)),
              (std::vector{packPixel(0, 0, 0), packPixel(22, 12, 12), packPixel(255, 12, 12)}));
}
