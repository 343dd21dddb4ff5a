#include "engine/auto_sliders.h"

#include <gtest/gtest.h>

#include <vector>

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

// The chosen sliders, LeaveAlone (below every position) for a picture left alone, whose override sliders start at 0.
OptionValues positions(const DamageEstimate& damage) {
    const AutoChoice choice = autoSliders(damage);
    if (!choice.leaveAlone) return choice.sliders;
    EXPECT_TRUE(same(choice.sliders, {0, 0, 0, 0, 0}));
    return {LeaveAlone, LeaveAlone, LeaveAlone, 0, LeaveAlone};
}

OptionValues slidersOf(const AutoRow& r) { return {r.noiseSize, r.denoiseAmount, r.denoiseCutoff, 0, r.scaleChoice}; }

template <typename Damage> void expectNoneFallsAlong(int32_t steps, Damage damage) {
    OptionValues previous = positions(damage(0));
    for (int32_t i = 1; i <= steps; ++i) {
        const DamageEstimate d = damage(i);
        const OptionValues next = positions(d);
        ASSERT_TRUE(noneFalls(previous, next)) << "sigma " << d.noiseSigma << " quality " << d.jpegQuality
                                               << " structure " << d.structure << " level " << d.profile.luma[1];
        previous = next;
    }
}

// Within a class of scene structure, along more noise and along lower JPEG quality no slider ever falls, and a picture
// once worked on is not left alone.
TEST(AutoSliders, RiseWithNoiseAndWithFallingQualityInEveryStructureClass) {
    std::vector<float> structures = {0.0f, 1000.0f};
    for (int32_t k = 0; k + 1 < StructureClassCount; ++k)
        structures.insert(structures.end(), {StructureBounds[k] - 0.01f, StructureBounds[k]});
    for (float structure : structures) {
        for (int32_t quality : {0, 100, 90, 80, 60, 35, 12, 1})
            expectNoneFallsAlong(1200, [&](int32_t i) { return DamageEstimate{i * 0.05f, quality, structure}; });
        for (float sigma : {0.0f, 2.0f, 8.0f, 30.0f})
            expectNoneFallsAlong(99, [&](int32_t i) { return DamageEstimate{sigma, 100 - i, structure}; });
    }
}

TEST(AutoSliders, CleanPicturesAreLeftAloneAndHeavyDamageGetsMore) {
    const OptionValues clean = positions({0.0f, 0});
    EXPECT_TRUE(autoSliders({0.0f, 0}).leaveAlone);
    EXPECT_FALSE(same(clean, positions({40.0f, 0})));  // noisy
    EXPECT_FALSE(same(clean, positions({0.0f, 5})));   // blocky
    // A JPEG saved at a quality that leaves no blocks is judged by its noise.
    EXPECT_TRUE(same(positions({12.0f, 97}), positions({12.0f, 0})));
    // A noise level on a row's bound is served by that row.
    for (int32_t i = 1; i < NoiseRowCount; ++i)
        EXPECT_TRUE(same(positions({NoiseRows[i].bound, 0}), slidersOf(NoiseRows[i]))) << "row " << i;
    for (int32_t i = 0; i < JpegRowCount; ++i)  // so is a JPEG quality, on a clean picture
        EXPECT_TRUE(same(positions({0.0f, int32_t(JpegRows[i].bound)}), slidersOf(JpegRows[i]))) << "JPEG row " << i;
}

// The structure estimate counts: on each side of every class bound some noise level gets other sliders.
TEST(AutoSliders, NeighbouringStructureClassesDiffer) {
    for (int32_t k = 0; k + 1 < StructureClassCount; ++k) {
        bool differ = false;
        for (float sigma = 0.0f; sigma <= 45.0f; sigma += 0.5f)
            differ = differ || !same(positions({sigma, 0, StructureBounds[k] - 0.01f}),
                                     positions({sigma, 0, StructureBounds[k]}));
        EXPECT_TRUE(differ) << "bound " << StructureBounds[k];
    }
}

// Noise whose channels move together takes the camera rows, fine-grained, smoothed or spread over neighbours: left
// alone without noise, sliders that never fall as its level rises; white noise per channel keeps the noise rows.
TEST(AutoSliders, CameraLikeNoiseTakesTheCameraRows) {
    const struct {
        float finePerCoarse;  // luma of single pixels per luma of 2 x 2 means
        const AutoRow* rows;
        int32_t count;
    } kinds[] = {{0.5f, CameraRows, CameraRowCount}, {0.25f, SmoothedGrainRows, SmoothedGrainRowCount},
                 {2.0f, FineGrainRows, FineGrainRowCount}};
    for (const auto& kind : kinds) {
        DamageEstimate d{12.0f, 0, 20.0f};
        const auto setLevel = [&d, &kind](float level) {  // fine grain reads single pixels, other 2 x 2 means
            d.profile.luma[0] = kind.finePerCoarse > 1.0f ? level : kind.finePerCoarse * level;
            d.profile.luma[1] = d.profile.luma[0] / kind.finePerCoarse;
            d.profile.chroma[0] = 0.5f * d.profile.luma[0];
        };
        setLevel(0.01f);
        ASSERT_TRUE(cameraLikeNoise(d.profile));
        EXPECT_TRUE(autoSliders(d).leaveAlone);
        expectNoneFallsAlong(400, [&](int32_t i) { return setLevel(i > 0 ? i * 0.05f : 0.01f), d; });
        // A JPEG with blocks reads as camera noise; its own rows serve it.
        d.jpegQuality = 20;
        EXPECT_TRUE(same(positions(d), positions({12.0f, 20, 20.0f})));
        d.jpegQuality = 0;
        // A level on a row's bound is served by that row.
        for (int32_t i = 1; i < kind.count; ++i) {
            const AutoRow& row = kind.rows[i];
            setLevel(row.bound);
            EXPECT_TRUE(same(positions(d), slidersOf(row))) << "level " << row.bound;
        }
        d.profile.chroma[0] = 2.31f * d.profile.luma[0];  // what white noise reads
        EXPECT_TRUE(same(positions(d), positions({12.0f, 0, 20.0f})));
    }
}

// Texture in one tone does not lift the level: the tone that reads lowest sets it; a tone reading 0 is passed over.
TEST(AutoSliders, CameraNoiseIsReadInItsQuietestTone) {
    const float rows[][4] = {{0.0f, 0.0f, 0.0f, 2.0f}, {2.5f, 3.0f, 0.0f, 2.5f}, {0.0f, 3.0f, 1.5f, 1.5f}};
    for (const auto& row : rows) {  // dark, middle and bright tones, and the level they give
        const NoiseProfile p{{1.0f, 2.0f}, {}, {{}, {row[0], row[1], row[2]}}};
        EXPECT_EQ(row[3], cameraNoiseLevel(p)) << row[0] << " " << row[1] << " " << row[2];
    }
}

}  // namespace
