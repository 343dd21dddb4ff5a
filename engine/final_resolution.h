#pragma once

#include "engine/engine_settings.h"

#include <cstdint>

// The largest side the final resolution can be given (five digits).
inline constexpr int32_t MaxFinalSide = 99999;

// The side that keeps the source's proportions when the other side is set:
// sourceOther x max(master, 1) / sourceMaster in single precision, rounded to
// nearest (ties to even), at least 1. 640 x 480 with width 1001 gives 751.
int32_t ProportionalSide(int32_t sourceOther, int32_t master, int32_t sourceMaster);

// A side scaled by a factor: the product rounded to a 32-bit float, then to
// the nearest integer (ties to even).
int32_t ScaledSide(int32_t side, float factor);

// The factor that turns source into target: computed in double, stored as a
// 32-bit float.
float SideFactor(int32_t target, int32_t source);

// Bytes a whole processing run of a width x height picture needs at its
// peak (work images of the denoise pass over the padded picture, and the
// scaled source and result beside it).
uint64_t EstimatedProcessingBytes(int32_t width, int32_t height, const EngineSettings& settings);
