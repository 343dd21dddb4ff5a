#pragma once

#include "engine/option_mapping.h"

#include <cstdint>

// The eight ready-made option sets of the options step, shared by the wizard
// and the command-line program.
struct Preset {
    const char* name;
    int32_t factor;        // final resolution = source size x factor
    int32_t scaleChoice;   // 0 "Original", 1 "All scales"
    int32_t noiseSize;
    int32_t denoiseAmount;
    int32_t denoiseCutoff;
    int32_t deblurAmount;

    OptionValues options() const {
        OptionValues o;
        o.noiseSize = noiseSize;
        o.denoiseAmount = denoiseAmount;
        o.denoiseCutoff = denoiseCutoff;
        o.deblurAmount = deblurAmount;
        o.scaleChoice = scaleChoice;
        return o;
    }
};

inline constexpr int32_t PresetCount = 8;
extern const Preset Presets[PresetCount];

// The preset with this name, compared without regard to the case of A-Z;
// null when there is none.
const Preset* findPreset(const char* name);
