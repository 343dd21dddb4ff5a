#pragma once

// Test pictures (pictures, detail bands, match-count maps): made from a
// function of the position, and compared by size and samples.

#include "core/bitmap.h"

#include <algorithm>
#include <cstdint>

// An image whose sample at (x, y) is sampleAt(x, y), asked row by row.
template <typename ImageType = Bitmap, typename Sample>
ImageType generated(int32_t w, int32_t h, Sample sampleAt) {
    ImageType b;
    b.resize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.at(x, y) = sampleAt(x, y);
    return b;
}

template <typename T>
bool samePixels(const Image<T>& a, const Image<T>& b) {
    return a.width == b.width && a.height == b.height && std::equal(a.data, a.data + a.pixelCount(), b.data);
}
