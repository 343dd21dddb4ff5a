#include "engine/sample_pattern.h"

#include "core/portable_math.h"

#include <cmath>

namespace {
constexpr double Pi = 3.1415927;
}

SamplePattern buildPattern(int32_t a, int32_t s, int32_t r) {
    float scale = static_cast<float>(portablePow(2.0, (s - 4) * 0.25) * 65536.0);
    double theta = a * Pi / 16.0;
    double c = portableCos(theta);
    double sn = portableSin(theta);
    // Rotation matrix (m0 m2; m1 m3) in single precision.
    float m0 = static_cast<float>(c * scale);
    float m1 = static_cast<float>(sn * scale);
    float m2 = static_cast<float>(-sn * scale);
    float m3 = static_cast<float>(c * scale);

    SamplePattern pattern;
    int32_t limit = (2 * r + 1) * (2 * r + 1);
    for (int32_t dy = -r; dy <= r; ++dy) {
        for (int32_t dx = -r; dx <= r; ++dx) {
            if ((2 * dx) * (2 * dx) + (2 * dy) * (2 * dy) > limit)
                continue;
            float fx = static_cast<float>(static_cast<double>(m0) * dx + static_cast<double>(m2) * dy);
            float fy = static_cast<float>(static_cast<double>(m1) * dx + static_cast<double>(m3) * dy);
            pattern.push_back(SamplePoint{static_cast<int32_t>(std::lrintf(fx)), static_cast<int32_t>(std::lrintf(fy)), dx, dy});
        }
    }
    return pattern;
}
