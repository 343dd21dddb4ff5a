#pragma once

#include "core/bitmap.h"

#include <cstdint>

// Parameters of one denoise/magnify pass. Eleven 32-bit fields, in order.
struct PassParams {
    float splitRadius = 0.0f;     // half-width at half maximum of the colour/detail split
    int32_t blockStep = 0;        // spacing of the denoised blocks
    int32_t patchRadius = 0;      // disc radius; the border margin is twice this
    int32_t maxMatchesFine = 0;   // candidate-list capacity at full resolution (<= 128)
    int32_t maxMatchesCoarse = 0; // capacity at coarser pyramid levels
    int32_t searchMode = 0;       // always 0: coarse-to-fine pyramid search
    int32_t searchRadius = 0;     // half-size of the search window, full-resolution pixels
    int32_t regionMode = 3;       // always 3: whole image
    int32_t scaleMode = 1;        // which patch scales are searched
    int32_t cutoff = 0;           // mean absolute difference per pixel for averaging
    int32_t detailRepeats = 1;    // how often the cleaned detail is added back
};

// The sharpening step's settings. Copying them never copies the map: every
// copy starts with an empty map, which only the running request fills.
struct DeblurSettings {
    bool enabled = false;
    float radius = 0.0f;       // half-width at half maximum of the blur
    int32_t iterations = 0;    // at least 1 when enabled
    float amountMax = 0.0f;    // blend weight where the map is at full scale
    float amountMin = 0.0f;    // blend weight where the map is 0
    MatchCountMap map;
    int32_t mapSpacing = 0;    // pixels per map cell (the first pass's block step)
    int32_t mapFullScale = 0;  // map value that counts as 100 % (its fine capacity)

    DeblurSettings() = default;
    DeblurSettings(const DeblurSettings& o) { copyFrom(o); }
    DeblurSettings& operator=(const DeblurSettings& o) {
        if (this != &o)
            copyFrom(o);
        return *this;
    }

private:
    void copyFrom(const DeblurSettings& o) {
        enabled = o.enabled;
        radius = o.radius;
        iterations = o.iterations;
        amountMax = o.amountMax;
        amountMin = o.amountMin;
        map.clear();
        mapSpacing = o.mapSpacing;
        mapFullScale = o.mapFullScale;
    }
};

// What the wizard hands the processing job.
struct EngineSettings {
    PassParams pass1;
    DeblurSettings deblur;
    bool secondPassEnabled = false;
    PassParams pass2;
};
