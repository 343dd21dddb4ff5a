#pragma once

#include "core/bitmap.h"

#include <cstdint>

// Noise as a camera leaves it, read from the picture alone. Demosaicing,
// in-camera smoothing and JPEG move camera noise from single pixels to
// coarser scales, its colour part comes in blotches and its strength
// follows brightness, so the deviation is read at three scales (single
// pixels and the means of 2 x 2 and 4 x 4 blocks), for luma and chroma
// apart, and for dark, middle and bright parts of the picture.
//
// Luma is (R + 2G + B) / 4, chroma the root mean square of the deviations of
// R - G and of B - G; at scale k a value is the mean of a 2^k x 2^k block.
// Each deviation is in 8-bit steps of such a value: white noise of deviation
// s in each channel reads 0.61 s, 0.31 s, 0.15 s for luma and 1.41 s,
// 0.71 s, 0.35 s for chroma; noise spread over blocks falls less from one
// scale to the next.
struct NoiseProfile {
    static constexpr int32_t Scales = 3;
    static constexpr int32_t Tones = 3;  // dark, middle, bright

    float luma[Scales] = {};
    float chroma[Scales] = {};
    // By tone; 0 where too few blocks of that tone were seen.
    float lumaByTone[Scales][Tones] = {};
    float chromaByTone[Scales][Tones] = {};
};

NoiseProfile estimateNoiseProfile(const Bitmap& picture);
