#pragma once

#include "engine/candidate_list.h"
#include "engine/detail_pyramid.h"
#include "engine/sample_pattern.h"

#include <cstdint>
#include <vector>

// Scores rotated and scaled discs of the search pyramid against unrotated
// discs of the reference pyramid by their sum of absolute differences. The
// pattern of each (angle, scale) pair is turned into linear offsets once per
// radius and level and kept.
class PatchMatcher {
public:
    PatchMatcher(const DetailPyramid& reference, const DetailPyramid& search);

    // Offers the disc of radius r at (x, y) of the search level, rotated by a
    // and scaled by s, compared with the disc at (refX, refY) of the same
    // reference level, to list. Positions closer to the search level's border
    // than the pattern reaches are never offered. The reference disc is not
    // checked: the caller keeps it inside the level.
    void match(int32_t level, int32_t x, int32_t y, int32_t refX, int32_t refY, int32_t r, int32_t a, int32_t s,
               CandidateList& list, int32_t capacity);

private:
    struct OffsetPair {
        int32_t searchOffset;
        int32_t referenceOffset;
    };
    struct Slot {
        int32_t cachedRadius = -1;
        int32_t cachedLevel = -1;
        SamplePattern pattern;
        std::vector<OffsetPair> offsets;
        int32_t extent = 0;
    };

    Slot& refresh(int32_t level, int32_t r, int32_t a, int32_t s);

    const DetailPyramid& reference_;
    const DetailPyramid& search_;
    std::vector<Slot> slots_;
};
