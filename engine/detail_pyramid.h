#pragma once

#include "core/image.h"

#include <cstdint>
#include <memory>
#include <vector>

// The detail band at successively halved resolutions: level 0 is a copy of
// the band, each further level the previous one reduced by two.
struct DetailPyramid {
    std::vector<std::unique_ptr<ByteImage>> levels;

    int32_t levelCount() const { return static_cast<int32_t>(levels.size()); }
    const ByteImage& level(int32_t index) const { return *levels[static_cast<size_t>(index)]; }
};

// One reduction step: output (x, y) is the 1-2-1 by 1-2-1 weighted mean of
// the input around (2x, 2y); neighbours outside the input are left out
// together with their weights. The output is ((w + 1) >> 1) x ((h + 1) >> 1).
void reduceLevel(const ByteImage& in, ByteImage& out);

// Levels are added while the last one is at least 2 x 2.
DetailPyramid buildPyramid(const ByteImage& detail);
