#include "app/pyramid.h"

#include <new>

bool HalvePicture(const Bitmap& source, Bitmap& target) {
    const int32_t w = (source.width + 1) / 2, h = (source.height + 1) / 2;
    if (!target.resize(w, h))
        return false;
    static const uint32_t weights[3] = {1, 2, 1};
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint32_t sum[4] = {0, 0, 0, 0};
            uint32_t total = 0;
            for (int32_t dy = -1; dy <= 1; ++dy) {
                const int32_t sy = 2 * y + dy;
                if (sy < 0 || sy >= source.height)
                    continue;
                for (int32_t dx = -1; dx <= 1; ++dx) {
                    const int32_t sx = 2 * x + dx;
                    if (sx < 0 || sx >= source.width)
                        continue;
                    const uint32_t weight = weights[dx + 1] * weights[dy + 1];
                    const uint32_t p = source.at(sx, sy);
                    for (int32_t lane = 0; lane < 4; ++lane)
                        sum[lane] += ((p >> (8 * lane)) & 0xFF) * weight;
                    total += weight;
                }
            }
            uint32_t out = 0;
            for (int32_t lane = 0; lane < 4; ++lane)
                out |= ((sum[lane] + total / 2) / total) << (8 * lane);
            target.at(x, y) = out;
        }
    }
    return true;
}

bool Pyramid::Rebuild(Bitmap& picture) {
    levels_.clear();
    if (picture.isEmpty())
        return true;
    auto level0 = std::unique_ptr<Bitmap>(new (std::nothrow) Bitmap);
    if (!level0)
        return false;
    level0->moveFrom(picture);
    levels_.push_back(std::move(level0));
    return BuildHalvings();
}

bool Pyramid::BuildHalvings() {
    if (levels_.size() > 1)
        levels_.resize(1);
    while (!levels_.empty()) {
        const Bitmap& last = *levels_.back();
        if (last.width < 2 || last.height < 2)
            break;
        auto next = std::unique_ptr<Bitmap>(new (std::nothrow) Bitmap);
        if (!next || !HalvePicture(last, *next))
            return false;
        levels_.push_back(std::move(next));
    }
    return true;
}
