#pragma once

// Test pictures, detail bands and match-count maps: made from a function of the position, compared, fingerprinted.

#include "core/bitmap.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// An image whose sample at (x, y) is sampleAt(x, y), asked row by row.
template <typename ImageType = Bitmap, typename Sample> ImageType generated(int32_t w, int32_t h, Sample sampleAt) {
    ImageType b;
    b.resize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) b.at(x, y) = sampleAt(x, y);
    return b;
}

inline std::vector<uint32_t> pixels(const Bitmap& b) { return std::vector<uint32_t>(b.data, b.data + b.pixelCount()); }

template <typename T> bool samePixels(const Image<T>& a, const Image<T>& b) {
    return a.width == b.width && a.height == b.height && std::equal(a.data, a.data + a.pixelCount(), b.data);
}

// FNV-1a over the bytes of an image and its size.
template <typename T> uint64_t hashImage(const Image<T>& image) {
    uint64_t h = 0xCBF29CE484222325ull;
    auto add = [&h](const void* p, size_t n) {
        const uint8_t* bytes = static_cast<const uint8_t*>(p);
        for (size_t i = 0; i < n; ++i) h = (h ^ bytes[i]) * 0x100000001B3ull;
    };
    add(&image.width, sizeof image.width);
    add(&image.height, sizeof image.height);
    if (image.data) add(image.data, image.pixelCount() * sizeof(T));
    return h;
}
