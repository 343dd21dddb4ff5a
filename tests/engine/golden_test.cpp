#include "engine/deblur.h"
#include "engine/denoise.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "pass_test_support.h"

#include "watchdog.h"

#include <gtest/gtest.h>

// Fingerprints of the passes' results on fixed-seed synthetic pictures, for
// every preset's settings, after the denoise pass (picture and match-count
// map) and after the deblur pass that follows it. They were recorded from
// this implementation after it was reviewed step by step against the
// algorithm's definition and after the worked values and the properties in
// the neighbouring tests passed; they pin the results to the bit, so that any
// later change (a faster search, another compiler, other rounding) that
// alters a single pixel is caught. A difference here means the output
// changed: find out why before recording new values.
namespace {

using passtest::hashImage;
using passtest::idleJob;

struct Golden {
    uint64_t denoised;
    uint64_t map;
    uint64_t deblurred;
};

// A sawtooth of slanted stripes, another kind of repeating structure.
Bitmap stripes(int32_t w, int32_t h) {
    Bitmap b;
    b.resize(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint32_t v = static_cast<uint32_t>(100 + (x * 3 + y * 5) % 40);
            b.at(x, y) = packPixel(v, v + 40, 255 - v, 255);
        }
    }
    return b;
}

Bitmap goldenPicture(int32_t index) {
    if (index == 0)
        return passtest::withNoise(passtest::texture(29, 23), 8.0, 99);
    return passtest::withNoise(stripes(17, 30), 3.0, 4242);
}

// The preset's own deblur settings, or those of "Deblur amount" 60 for the
// presets that leave it off, so that every preset is checked both ways.
DeblurSettings deblurFor(const EngineSettings& settings) {
    DeblurSettings d = settings.deblur;
    if (!d.enabled)
        deblurSettingsFromSlider(60, d);
    return d;
}

Golden fingerprint(int32_t presetIndex, int32_t pictureIndex) {
    EngineSettings settings = settingsFromOptions(Presets[presetIndex].options());
    ProcessingJob& job = idleJob(goldenPicture(pictureIndex));
    Golden g{};
    MatchCountMap map;
    runDenoisePass(job, 0, settings.pass1, &map);
    g.denoised = hashImage(job.workingImage);
    g.map = hashImage(map);
    DeblurSettings deblur = deblurFor(settings);
    deblur.map.copyFrom(map);
    runDeblurPass(job, deblur);
    g.deblurred = hashImage(job.workingImage);
    return g;
}

const Golden Expected[PresetCount][2] = {
    // {denoised picture, match-count map, deblurred picture}: the wave (29 x 23), then the stripes (17 x 30)
    {{0xa4b3242fa5c4c054ull, 0xeec11bdcf7b449e6ull, 0xe23312f67dc0d404ull},  // Fine digicam noise
     {0x3df1bea93c2e6c95ull, 0xc3e8c9aeab13e139ull, 0x6aa8c0c8d11416a1ull}},
    {{0xcb4116887b4ef614ull, 0xea473d0ac3cac804ull, 0x79a6d1b43f03bef9ull},  // Phone camera noise
     {0x7691d9fc26033514ull, 0x0fafd80e7a32028full, 0xb0bb3bdebe0ec61cull}},
    {{0xf9794dedeadf628cull, 0x37dc405ece2fa49full, 0x6f5e2eec362436fbull},  // Harsh Jpeg artifacts
     {0xf547372cd21a3d5eull, 0xc99d82cdf3655a93ull, 0x0b0fd478835a1dd0ull}},
    {{0xda2e0ac233fc835bull, 0x9adcfea085061a08ull, 0x5feaaab9ba216743ull},  // Digital zoom artifacts
     {0x15095552fe6ce736ull, 0x2589666409962916ull, 0xd363b87f22aeb333ull}},
    {{0x7c2716741a9b4ae4ull, 0x2aa8a7fb624886b6ull, 0x629e2c9f5c223b40ull},  // Photo 2x zoom
     {0x3e7f7f22087c2412ull, 0xce423d4e4e9d4727ull, 0xa31f6a62defbc00dull}},
    {{0x7c2716741a9b4ae4ull, 0x2aa8a7fb624886b6ull, 0x7d2f8e2819c91af3ull},  // Graphic 2x zoom
     {0x3e7f7f22087c2412ull, 0xce423d4e4e9d4727ull, 0x87f3fefb9354b1eaull}},
    {{0x5e6759ff5e1c830dull, 0xcda9f0726e576726ull, 0xf4758c78b6b40689ull},  // Photo 4x zoom
     {0x29bf42765609cee0ull, 0xb9a3b89f523d55d4ull, 0x4bd87f674be52336ull}},
    {{0xba7e9515f896c485ull, 0xa3a071303e9d47c5ull, 0xcca30cf0f9622e43ull},  // Graphic 4x zoom
     {0x29bf42765609cee0ull, 0xb9a3b89f523d55d4ull, 0xe4ded905d6ab9227ull}},
};

TEST(Golden, EveryPresetWithAndWithoutDeblur) {
    for (int32_t p = 0; p < PresetCount; ++p) {
        for (int32_t picture = 0; picture < 2; ++picture) {
            Golden g = fingerprint(p, picture);
            EXPECT_EQ(g.denoised, Expected[p][picture].denoised) << Presets[p].name << ", picture " << picture;
            EXPECT_EQ(g.map, Expected[p][picture].map) << Presets[p].name << ", picture " << picture;
            EXPECT_EQ(g.deblurred, Expected[p][picture].deblurred) << Presets[p].name << ", picture " << picture;
        }
    }
}

// The program's job runs the same passes on its worker thread: the collected
// result equals the passes run directly.
TEST(Golden, TheJobRunsThePasses) {
    const Preset* preset = findPreset("Digital zoom artifacts");
    EngineSettings settings = settingsFromOptions(preset->options());
    ASSERT_TRUE(settings.deblur.enabled);
    Bitmap picture = goldenPicture(0);

    ProcessingJob& direct = idleJob(picture);
    MatchCountMap map;
    runDenoisePass(direct, 0, settings.pass1, &map);
    DeblurSettings deblur = settings.deblur;
    deblur.map.copyFrom(map);
    runDeblurPass(direct, deblur);

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
