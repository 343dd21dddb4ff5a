#include "engine/conversions.h"
#include "engine/denoise.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using passtest::idleJob;
using passtest::sameImage;

PassParams presetParams(const char* name) { return settingsFromOptions(findPreset(name)->options()).pass1; }

// Counts checkpoints and turns the job's state to "restart" at one of them.
int64_t checkpointsSeen = 0;
int64_t cancelAtCheckpoint = -1;
std::vector<int32_t> percentAtCheckpoints;

void cancellingHook(ProcessingJob& job) {
    percentAtCheckpoints.push_back(job.percent.load());
    if (++checkpointsSeen == cancelAtCheckpoint)
        job.state.store(WorkerRestart);
}

void armHook(ProcessingJob& job, int64_t cancelAt) {
    checkpointsSeen = 0;
    cancelAtCheckpoint = cancelAt;
    percentAtCheckpoints.clear();
    job.checkpointHook = cancellingHook;
}

TEST(DenoisePass, BandSplitAndMerge) {
    Bitmap grey = passtest::solid(6, 5, packPixel(90, 90, 90, 3));
    grey.at(2, 2) = packPixel(250, 250, 250);
    BandSplit bands = splitBands(grey, 1.0f);
    // The bright pixel stands out in the detail band, its surroundings sink.
    EXPECT_GT(bands.detail.at(2, 2), 128 + 100);
    EXPECT_LT(bands.detail.at(1, 2), 128);
    EXPECT_EQ(bands.detail.at(5, 0), 128);
    EXPECT_EQ(pixelAlpha(bands.lowPass.at(0, 0)), 255u);
    EXPECT_EQ(bands.lowPass.at(5, 0), packPixel(90, 90, 90));

    // Detail is added to every channel and clamps; repeats add it again.
    Bitmap low = passtest::solid(2, 1, packPixel(10, 100, 250, 0));
    ByteImage detail;
    detail.resize(2, 1);
    detail.at(0, 0) = 128 + 20;
    detail.at(1, 0) = 128 - 30;
    Bitmap once = mergeDetail(low, detail, 1);
    EXPECT_EQ(once.at(0, 0), packPixel(30, 120, 255));
    EXPECT_EQ(once.at(1, 0), packPixel(0, 70, 220));
    Bitmap twice = mergeDetail(low, detail, 2);
    EXPECT_EQ(twice.at(0, 0), packPixel(50, 140, 255));
    EXPECT_EQ(twice.at(1, 0), packPixel(0, 40, 190));
}

// A textured picture with fixed-seed noise comes out closer to the clean one.
TEST(DenoisePass, RemovesNoiseFromATexturedPicture) {
    Bitmap clean = passtest::texture(48, 40);
    Bitmap noisy = passtest::withNoise(clean, 3.0, 1234);
    ProcessingJob& job = idleJob(noisy);
    runDenoisePass(job, 0, presetParams("Fine digicam noise"), nullptr);
    double before = passtest::psnr(noisy, clean);
    double after = passtest::psnr(job.workingImage, clean);
    EXPECT_GT(after, before + 3.0) << "before " << before << " dB, after " << after << " dB";
}

TEST(DenoisePass, CancellingAtAnyCheckpointLeavesThePictureAlone) {
    Bitmap picture = passtest::randomPicture(12, 9, 8);
    PassParams p = presetParams("Phone camera noise");
    ProcessingJob& job = idleJob(picture);
    armHook(job, -1);
    MatchCountMap map;
    runDenoisePass(job, 0, p, &map);
    const int64_t total = checkpointsSeen;
    // Eight in the driver, two in the search and one before each of the
    // 2 x 2 blocks.
    EXPECT_EQ(total, 8 + 2 + 4);
    for (int64_t at = 1; at <= total; ++at) {
        ProcessingJob& again = idleJob(picture);
        armHook(again, at);
        bool thrown = false;
        try {
            runDenoisePass(again, 0, p, &map);
        } catch (int32_t state) {
            thrown = true;
            EXPECT_EQ(state, WorkerRestart);
        }
        EXPECT_TRUE(thrown) << at;
        EXPECT_TRUE(sameImage(again.workingImage, picture)) << "cancelled at checkpoint " << at;
    }
    idleJob(picture);
}

}
