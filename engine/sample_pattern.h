#pragma once

#include <cstdint>
#include <vector>

// One point of a disc: where it lands in the search image (16.16 fixed
// point, rotated and scaled) and which reference pixel it compares with.
struct SamplePoint {
    int32_t fx;
    int32_t fy;
    int32_t dx;
    int32_t dy;
};

// All patterns of one radius list the same reference points in the same
// order, so point j of any two of them refers to the same reference pixel.
using SamplePattern = std::vector<SamplePoint>;

inline constexpr int32_t AngleCount = 32;  // angle index a: a * pi / 16
inline constexpr int32_t ScaleCount = 9;   // scale index s: 2^((s - 4) / 4)

// The disc of radius r, rotated by angle index a and scaled by scale index s.
SamplePattern buildPattern(int32_t a, int32_t s, int32_t r);
