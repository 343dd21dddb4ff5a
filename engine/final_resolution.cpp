#include "engine/final_resolution.h"

#include <algorithm>
#include <cmath>

int32_t ProportionalSide(int32_t sourceOther, int32_t master, int32_t sourceMaster) {
    if (sourceMaster <= 0)
        return 1;
    const float side = static_cast<float>(sourceOther) * static_cast<float>(std::max(master, 1)) /
                       static_cast<float>(sourceMaster);
    const float rounded = std::nearbyint(side);
    if (!(rounded >= 1.0f))
        return 1;
    if (rounded > 2147483520.0f)  // the largest float below 2^31
        return 2147483520;
    return static_cast<int32_t>(rounded);
}

int32_t ScaledSide(int32_t side, float factor) {
    const float product = static_cast<float>(side) * factor;
    const float rounded = std::nearbyint(product);
    if (!(rounded >= 0.0f))
        return 0;
    if (rounded > 2147483520.0f)
        return 2147483520;
    return static_cast<int32_t>(rounded);
}

float SideFactor(int32_t target, int32_t source) {
    return source > 0 ? static_cast<float>(static_cast<double>(target) / static_cast<double>(source)) : 0.0f;
}

uint64_t EstimatedProcessingBytes(int32_t width, int32_t height, const EngineSettings& settings) {
    if (width <= 0 || height <= 0)
        return 0;
    const uint64_t margin = 2 * static_cast<uint64_t>(std::max(settings.pass1.patchRadius, 0));
    const uint64_t padded = (width + 2 * margin) * (height + 2 * margin);
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    // Per padded pixel: padded copy and low-pass band 4 + 4, detail in and
    // out 1 + 1, two pyramids about 8/3, accumulator 8, merged 4, and up to
    // four float planes during the split (16). Per picture pixel: the
    // submitted copy, the working image, the result and the caller's scaled
    // picture, 4 each.
    return padded * (4 + 4 + 1 + 1 + 3 + 8 + 4 + 16) + pixels * 16;
}
