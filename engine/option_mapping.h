#pragma once

#include "engine/engine_settings.h"

#include <cstdint>

// Positions of the option controls. A control that does not exist is
// MissingControl: the three denoise sliders then count as 10, "Deblur amount"
// as 0 and the scale choice as "Original".
struct OptionValues {
    static constexpr int32_t MissingControl = -1;

    int32_t noiseSize = MissingControl;      // "Noise size", 0-100
    int32_t denoiseAmount = MissingControl;  // "Denoise amount", 0-100
    int32_t denoiseCutoff = MissingControl;  // "Denoise cutoff", 0-100
    int32_t deblurAmount = MissingControl;   // "Deblur amount", 0-100
    int32_t scaleChoice = MissingControl;    // 0 "Original", 1 "All scales"
};

// a * (b/a)^t computed as exp(ln a + t (ln b - ln a)) in double, clamped to [a, b].
double geom(double a, double b, float t);

// The slider fraction: value * 0.01 in single precision.
float sliderFraction(int32_t value);

// Fills the deblur part from the "Deblur amount" position p (radius 1.5
// always; enabled from 10; one iteration up to 75, two from 76).
void deblurSettingsFromSlider(int32_t p, DeblurSettings& deblur);

// The whole mapping from the option controls to the job's settings.
EngineSettings settingsFromOptions(const OptionValues& options);
