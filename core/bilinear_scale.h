#pragma once

#include "core/bitmap.h"

#include <cstdint>

// One bilinear sample at 16.16 fixed-point (u, v): the fraction in eighths
// (bits 13-15) picks the weight table entry, and the four neighbours are
// clamped into the source, so any position is safe.
uint32_t sampleBilinearClamped(const Bitmap& source, int32_t u, int32_t v);

// Writes count pixels sampled at (u, v), (u + du, v + dv), ... (16.16).
void copyBilinearClampedSpan(const Bitmap& source, uint32_t* target, int32_t count, int32_t u, int32_t v,
                             int32_t du, int32_t dv);

// 16.16 from a float coordinate: times 65536, rounded toward minus infinity.
int32_t toFixed16(float value);

// Resamples source to width x height: target pixel (x, y) samples the source
// at (x / sx, y / sy) with sx = width / source width and sy likewise, as
// 32-bit floats. Each row starts at u = 0, v = y * (1 / sy) and steps only
// along u, by 1 / sx. A width or height of 0 gives an empty picture. False
// only when the target cannot be allocated.
bool scaleBilinearClamped(const Bitmap& source, int32_t width, int32_t height, Bitmap& target);
