#pragma once

// Whether two images (pictures, detail bands, match-count maps) have the
// same size and the same samples.

#include "core/image.h"

#include <algorithm>

template <typename T>
bool samePixels(const Image<T>& a, const Image<T>& b) {
    return a.width == b.width && a.height == b.height && std::equal(a.data, a.data + a.pixelCount(), b.data);
}
