#include "engine/auto_sliders.h"

#include <algorithm>

namespace {

const AutoRow* rowFor(const AutoRow* rows, int32_t count, float level) {
    const AutoRow* row = &rows[0];
    for (int32_t i = 1; i < count; ++i)
        if (level >= rows[i].bound)
            row = &rows[i];
    return row;
}

}  // namespace

bool cameraLikeNoise(const NoiseProfile& profile) {
    return profile.chroma[0] < WhiteChromaPerLuma * profile.luma[0];
}

bool fineGrainNoise(const NoiseProfile& profile) {
    return profile.luma[0] >= FineGrainPerLuma * profile.luma[1];
}

bool smoothedGrainNoise(const NoiseProfile& profile) {
    return profile.luma[0] < SmoothedGrainPerLuma * profile.luma[1];
}

float cameraNoiseLevel(const NoiseProfile& profile) {
    if (fineGrainNoise(profile))
        return profile.luma[0];
    // Texture sits in the tones of the things that carry it, a sensor's noise
    // in every tone: the tone that reads lowest tells the noise. A tone with
    // too few windows reads 0 and is passed over.
    float level = 0.0f;
    for (const float tone : profile.lumaByTone[1])
        if (tone > 0.0f && (level == 0.0f || tone < level))
            level = tone;
    return level > 0.0f ? level : profile.luma[1];
}

AutoChoice autoSliders(const DamageEstimate& damage) {
    const AutoRow* row = nullptr;
    // In a JPEG saved at a quality that leaves blocks, the blocks and the
    // chroma the file dropped decide the profile; the JPEG rows serve it.
    const bool blocky = damage.jpegQuality > 0 && damage.jpegQuality <= JpegRows[0].bound;
    if (!blocky && cameraLikeNoise(damage.profile)) {
        const float level = cameraNoiseLevel(damage.profile);
        row = fineGrainNoise(damage.profile)       ? rowFor(FineGrainRows, FineGrainRowCount, level)
              : smoothedGrainNoise(damage.profile) ? rowFor(SmoothedGrainRows, SmoothedGrainRowCount, level)
                                                   : rowFor(CameraRows, CameraRowCount, level);
    } else {
        int32_t structureClass = 0;
        while (structureClass + 1 < StructureClassCount && damage.structure >= StructureBounds[structureClass])
            ++structureClass;
        row = rowFor(&NoiseRows[structureClass * NoiseRowCount], NoiseRowCount, damage.noiseSigma);
    }

    OptionValues o;
    o.noiseSize = row->noiseSize;
    o.denoiseAmount = row->denoiseAmount;
    o.denoiseCutoff = row->denoiseCutoff;
    o.scaleChoice = row->scaleChoice;
    o.deblurAmount = 0;

    const AutoRow* jpeg = nullptr;
    if (damage.jpegQuality > 0)
        for (int32_t i = 0; i < JpegRowCount; ++i)
            if (damage.jpegQuality <= JpegRows[i].bound)
                jpeg = &JpegRows[i];
    if (jpeg) {
        o.noiseSize = std::max(o.noiseSize, jpeg->noiseSize);
        o.denoiseAmount = std::max(o.denoiseAmount, jpeg->denoiseAmount);
        o.denoiseCutoff = std::max(o.denoiseCutoff, jpeg->denoiseCutoff);
        o.scaleChoice = std::max(o.scaleChoice, jpeg->scaleChoice);
    }
    AutoChoice choice;
    choice.leaveAlone = o.noiseSize == LeaveAlone;
    if (choice.leaveAlone)
        o.noiseSize = o.denoiseAmount = o.denoiseCutoff = o.scaleChoice = 0;
    choice.sliders = o;
    return choice;
}
