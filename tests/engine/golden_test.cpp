#include "engine/deblur.h"
#include "engine/denoise.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "pass_test_support.h"

#include "watchdog.h"

#include <gtest/gtest.h>

// Fingerprints of the passes' results on fixed-seed synthetic pictures, for every preset's settings, after the
// denoise pass (picture and match-count map) and after the deblur pass that follows. Recorded once this code had
// been reviewed step by step against the algorithm and the neighbouring tests passed, they pin the results to the
// bit: any later change (a faster search, another compiler, other rounding) to a single pixel is caught. A
// difference means the output changed: find out why before recording new values.
namespace {

using passtest::hashImage;
using passtest::idleJob;

// A sawtooth of slanted stripes, another kind of repeating structure.
Bitmap stripes(int32_t w, int32_t h) {
    return passtest::generated(w, h, [](int32_t x, int32_t y) {
        const uint32_t v = static_cast<uint32_t>(100 + (x * 3 + y * 5) % 40);
        return packPixel(v, v + 40, 255 - v, 255);
    });
}

Bitmap goldenPicture(int32_t index) {
    return index == 0 ? passtest::withNoise(passtest::texture(29, 23), 8.0, 99)
                      : passtest::withNoise(stripes(17, 30), 3.0, 4242);
}

// Runs both passes on the job's picture: the preset's own deblur settings, or those of "Deblur amount" 60 for the
// presets that leave it off, so that every preset is checked both ways. Each hash is folded in by a step that is
// one to one in it, so a change in any single result always changes the fingerprint.
uint64_t runPasses(ProcessingJob& job, const EngineSettings& settings) {
    MatchCountMap map;
    runDenoisePass(job, 0, settings.pass1, &map);
    uint64_t g = hashImage(job.workingImage) * 0x100000001B3ull ^ hashImage(map);
    DeblurSettings deblur = settings.deblur;
    if (!deblur.enabled) deblurSettingsFromSlider(60, deblur);
    deblur.map.copyFrom(map);
    runDeblurPass(job, deblur);
    return g * 0x100000001B3ull ^ hashImage(job.workingImage);
}

// The denoised picture, the match-count map and the deblurred picture, folded into one fingerprint: the wave
// (29 x 23), then the stripes (17 x 30).
const uint64_t Expected[PresetCount][2] = {
    {0x4f56800e087729eaull, 0xe452e752543253c3ull},  // Fine digicam noise
    {0xbece4b9a2b614891ull, 0xa01c073f9bc67f75ull},  // Phone camera noise
    {0xc74bb4daa20b10faull, 0x77a0a17fa342c47bull},  // Harsh Jpeg artifacts
    {0xdc15349916d4ad68ull, 0x30748f60d7aa400full},  // Digital zoom artifacts
    {0xff796195afe9ac2eull, 0xdb61ff893d6083ceull},  // Photo 2x zoom
    {0xe0c8c322ea028d9dull, 0xff8d6b1070cff229ull},  // Graphic 2x zoom
    {0x8bd605223a872dcaull, 0x5ee3eab26a196d2aull},  // Photo 4x zoom
    {0x406a52c2a8f56ecdull, 0xf1e54cd0f757dc3bull},  // Graphic 4x zoom
};

TEST(Golden, EveryPresetWithAndWithoutDeblur) {
    for (int32_t p = 0; p < PresetCount; ++p)
        for (int32_t picture = 0; picture < 2; ++picture)
            EXPECT_EQ(runPasses(idleJob(goldenPicture(picture)), settingsFromOptions(Presets[p].options())),
                      Expected[p][picture]) << Presets[p].name << ", picture " << picture;
}

// The program's job runs the same passes on its worker thread: the collected result equals the passes run directly.
TEST(Golden, TheJobRunsThePasses) {
    EngineSettings settings = settingsFromOptions(findPreset("Digital zoom artifacts")->options());
    ASSERT_TRUE(settings.deblur.enabled);
    Bitmap picture = goldenPicture(0);

    ProcessingJob& direct = idleJob(picture);
    runPasses(direct, settings);

    Bitmap collected;
    {
        Watchdog watchdog("the job's run and shutdown", 30);
        ProcessingJob job;
        job.submit(picture, settings);
        ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 1; }, 20000));
        job.collect(collected);
    }
    EXPECT_TRUE(samePixels(collected, direct.workingImage));
}

}
