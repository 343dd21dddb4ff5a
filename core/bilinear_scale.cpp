#include "core/bilinear_scale.h"

#include "core/bilinear_weights.h"

#include <algorithm>
#include <cmath>

uint32_t sampleBilinearClamped(const Bitmap& source, int32_t u, int32_t v) {
    const int32_t x = u >> 16, y = v >> 16;
    const int32_t x0 = std::clamp(x, 0, source.width - 1), x1 = std::clamp(x + 1, 0, source.width - 1);
    const int32_t y0 = std::clamp(y, 0, source.height - 1), y1 = std::clamp(y + 1, 0, source.height - 1);
    const uint32_t weights = BilinearWeights[8 * ((v >> 13) & 7) + ((u >> 13) & 7)];
    const uint32_t p[4] = {source.at(x0, y0), source.at(x1, y0), source.at(x0, y1), source.at(x1, y1)};
    // Two byte lanes at a time: a weight is at most 64, so 255 * 64 fits in
    // each 16-bit lane and the four weights sum to 64.
    uint32_t rb = 0, ag = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t w = (weights >> (8 * i)) & 0xFF;
        rb += w * (p[i] & 0x00FF00FF);
        ag += w * ((p[i] >> 8) & 0x00FF00FF);
    }
    return ((rb >> 6) & 0x00FF00FF) | (((ag >> 6) & 0x00FF00FF) << 8);
}

void copyBilinearClampedSpan(const Bitmap& source, uint32_t* target, int32_t count, int32_t u, int32_t v,
                             int32_t du, int32_t dv) {
    for (int32_t i = 0; i < count; ++i) {
        target[i] = sampleBilinearClamped(source, u, v);
        u += du;
        v += dv;
    }
}

int32_t toFixed16(float value) { return static_cast<int32_t>(std::floor(value * 65536.0f)); }

bool scaleBilinearClamped(const Bitmap& source, int32_t width, int32_t height, Bitmap& target) {
    if (width <= 0 || height <= 0 || source.isEmpty()) {
        target.clear();
        return true;
    }
    if (!target.resize(width, height))
        return false;
    const float sx = static_cast<float>(width) / static_cast<float>(source.width);
    const float sy = static_cast<float>(height) / static_cast<float>(source.height);
    const float stepX = 1.0f / sx, stepY = 1.0f / sy;
    const int32_t du = toFixed16(stepX);
    for (int32_t y = 0; y < height; ++y) {
        const float v = static_cast<float>(y) * stepY;
        copyBilinearClampedSpan(source, target.elementAt(0, y), width, toFixed16(0.0f), toFixed16(v), du, 0);
    }
    return true;
}
