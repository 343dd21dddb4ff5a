#pragma once

#include "core/bitmap.h"

#include <cstdint>
#include <memory>
#include <vector>

// A picture and its successive 2:1 reductions: level 0 is the full picture.
// The view draws any zoom below 100 % from a level of about the right size.
class Pyramid {
public:
    int32_t LevelCount() const { return static_cast<int32_t>(levels_.size()); }
    bool IsEmpty() const { return levels_.empty(); }
    Bitmap& Level(int32_t i) { return *levels_[static_cast<size_t>(i)]; }
    const Bitmap& Level(int32_t i) const { return *levels_[static_cast<size_t>(i)]; }
    // Level 0's size, 0 x 0 when empty.
    Size BaseSize() const { return levels_.empty() ? Size{} : levels_[0]->size(); }

    void Clear() { levels_.clear(); }
    // Takes the pixels of picture as level 0 (an empty picture empties the
    // pyramid) and builds the halvings. False when memory ran out; what
    // could be built stays.
    bool Rebuild(Bitmap& picture);
    // Keeps level 0, drops the rest and appends halvings until a side is
    // below 2 pixels.
    bool BuildHalvings();

private:
    std::vector<std::unique_ptr<Bitmap>> levels_;
};

// One 2:1 reduction: pixel (x, y) is the 1 2 1 / 2 4 2 / 1 2 1 weighted mean
// of the neighbourhood of (2x, 2y), counting only neighbours inside the
// source, rounded per byte. The result is ((w + 1) / 2) x ((h + 1) / 2).
bool HalvePicture(const Bitmap& source, Bitmap& target);
