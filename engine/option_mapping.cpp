#include "engine/option_mapping.h"

#include "core/portable_math.h"

#include <algorithm>
#include <cmath>

namespace {

int32_t orDefault(int32_t value, int32_t fallback) {
    return value == OptionValues::MissingControl ? fallback : value;
}

int32_t roundedGeom(double a, double b, float t) { return static_cast<int32_t>(std::nearbyint(geom(a, b, t))); }

}  // namespace

double geom(double a, double b, float t) {
    double v = portableExp(portableLog(a) + static_cast<double>(t) * (portableLog(b) - portableLog(a)));
    return std::clamp(v, a, b);
}

float sliderFraction(int32_t value) { return static_cast<float>(value) * 0.01f; }

void deblurSettingsFromSlider(int32_t p, DeblurSettings& deblur) {
    deblur.radius = 1.5f;
    if (p < 10) {
        deblur.enabled = false;
        return;
    }
    deblur.enabled = true;
    deblur.amountMin = 0.1f;
    float u;
    if (p <= 75) {
        deblur.iterations = 1;
        u = sliderFraction(p);
    } else {
        deblur.iterations = 2;
        u = sliderFraction(4 * p - 300);
    }
    double amount = portableExp(portableLog(0.1) + static_cast<double>(u) * (portableLog(0.5) - portableLog(0.1)));
    deblur.amountMax = static_cast<float>(std::clamp(amount, 0.1, 0.5));
}

EngineSettings settingsFromOptions(const OptionValues& options) {
    EngineSettings s;
    const int32_t noise = orDefault(options.noiseSize, 10);
    const int32_t amount = orDefault(options.denoiseAmount, 10);
    const int32_t cutoff = orDefault(options.denoiseCutoff, 10);
    const int32_t deblur = orDefault(options.deblurAmount, 0);
    const int32_t scale = orDefault(options.scaleChoice, 0);

    PassParams& p = s.pass1;
    const float tn = sliderFraction(noise);
    p.splitRadius = static_cast<float>(geom(1, 5, tn));
    p.searchRadius = roundedGeom(16, 48, tn);
    if (noise < 33) {
        p.blockStep = 5;
        p.patchRadius = 4;
    } else if (noise < 67) {
        p.blockStep = 7;
        p.patchRadius = 6;
    } else {
        p.blockStep = 10;
        p.patchRadius = 9;
    }
    const float ta = sliderFraction(amount);
    p.maxMatchesFine = roundedGeom(8, 128, ta);
    p.maxMatchesCoarse = std::max(roundedGeom(6, 16, ta), 8);
    p.cutoff = roundedGeom(2, 200, sliderFraction(cutoff));
    p.scaleMode = scale == 1 ? 4 : 1;
    p.searchMode = 0;
    p.regionMode = 3;
    p.detailRepeats = 1;

    deblurSettingsFromSlider(deblur, s.deblur);
    s.deblur.map.clear();
    s.deblur.mapSpacing = p.blockStep;
    s.deblur.mapFullScale = p.maxMatchesFine;

    s.secondPassEnabled = false;
    s.pass2 = PassParams{2.0f, 7, 5, 16, 4, 0, 16, 3, 1, 20, 1};
    return s;
}
