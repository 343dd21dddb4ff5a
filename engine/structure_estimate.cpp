#include "engine/structure_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// The noise estimate looks at single pixels; what it cannot tell is whether
// the scene around them is flat (where strong smoothing pays) or full of
// fine detail (where it costs). Block means average the noise down by 8 and
// keep the coarse layout, so their differences say which kind of scene this
// is. Each block's mean over 64 pixels and three channels has noise variance
// sigma^2 / 192, a difference of two of them twice that, which is taken off
// the mean square. Sums and squares are integer, so the bits are the same
// everywhere.

namespace {
constexpr int32_t Block = 8;
constexpr double ValuesPerBlock = Block * Block * 3;
}  // namespace

float estimateStructure(const Bitmap& picture, float noiseSigma) {
    const int32_t across = picture.width / Block, down = picture.height / Block;
    if (static_cast<int64_t>(across) * down < 2)
        return 0.0f;
    std::vector<int32_t> sums(static_cast<size_t>(across) * down, 0);
    for (int32_t y = 0; y < down * Block; ++y) {
        const uint32_t* row = picture.data + static_cast<size_t>(y) * picture.width;
        int32_t* blockRow = sums.data() + static_cast<size_t>(y / Block) * across;
        for (int32_t x = 0; x < across * Block; ++x) {
            const uint32_t p = row[x];
            blockRow[x / Block] += static_cast<int32_t>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF));
        }
    }
    int64_t squares = 0, pairs = 0;
    for (int32_t by = 0; by < down; ++by)
        for (int32_t bx = 0; bx < across; ++bx) {
            const int64_t here = sums[static_cast<size_t>(by) * across + bx];
            if (bx + 1 < across) {
                const int64_t d = sums[static_cast<size_t>(by) * across + bx + 1] - here;
                squares += d * d;
                ++pairs;
            }
            if (by + 1 < down) {
                const int64_t d = sums[static_cast<size_t>(by + 1) * across + bx] - here;
                squares += d * d;
                ++pairs;
            }
        }
    const double meanSquare = static_cast<double>(squares) / static_cast<double>(pairs) / (ValuesPerBlock * ValuesPerBlock);
    const double sigma = static_cast<double>(noiseSigma);
    const double noise = 2.0 * sigma * sigma / ValuesPerBlock;
    return static_cast<float>(std::sqrt(std::max(0.0, meanSquare - noise)));
}
