#include "engine/detail_pyramid.h"

#include "engine/work_image.h"

void reduceLevel(const ByteImage& in, ByteImage& out) {
    allocateOrThrow(out, (in.width + 1) >> 1, (in.height + 1) >> 1);
    static const int32_t Weights[3] = {1, 2, 1};
    for (int32_t y = 0; y < out.height; ++y) {
        for (int32_t x = 0; x < out.width; ++x) {
            int32_t sum = 0;
            int32_t weightSum = 0;
            for (int32_t j = -1; j <= 1; ++j) {
                int32_t sy = 2 * y + j;
                if (sy < 0 || sy >= in.height)
                    continue;
                for (int32_t i = -1; i <= 1; ++i) {
                    int32_t sx = 2 * x + i;
                    if (sx < 0 || sx >= in.width)
                        continue;
                    int32_t w = Weights[j + 1] * Weights[i + 1];
                    sum += w * in.at(sx, sy);
                    weightSum += w;
                }
            }
            out.at(x, y) = static_cast<uint8_t>((sum + weightSum / 2) / weightSum);
        }
    }
}

DetailPyramid buildPyramid(const ByteImage& detail) {
    DetailPyramid pyramid;
    auto first = std::make_unique<ByteImage>();
    if (!first->copyFrom(detail))
        throw std::bad_alloc();
    pyramid.levels.push_back(std::move(first));
    for (;;) {
        const ByteImage& last = *pyramid.levels.back();
        if (last.width < 2 || last.height < 2)
            break;
        auto next = std::make_unique<ByteImage>();
        reduceLevel(last, *next);
        pyramid.levels.push_back(std::move(next));
    }
    return pyramid;
}
