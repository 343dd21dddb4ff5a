#pragma once

#include "engine/candidate_list.h"
#include "engine/detail_pyramid.h"
#include "engine/sad_kernel.h"
#include "engine/sample_pattern.h"

#include <cstdint>
#include <vector>

// Scores rotated and scaled discs of the search pyramid against unrotated
// discs of the reference pyramid by their sum of absolute differences. The
// pattern of each (angle, scale) pair is turned into linear offsets once per
// level and radius and kept, so that the coarse-to-fine search, which changes
// radius with every level, never rebuilds one. The reference disc's samples
// are read once per centre and compared with every candidate from a small
// contiguous buffer.
//
// One matcher per thread: scoring updates its caches.
class PatchMatcher {
public:
    PatchMatcher(const DetailPyramid& reference, const DetailPyramid& search,
                 RowSadFunction rowSad = bestRowSadFunction(), EightSadFunction eightSad = bestEightSadFunction());

    // The sums of the disc of radius r at (x, y) of the search level, rotated
    // by a and scaled by s, against the disc at (refX, refY) of the same
    // reference level, for the positions x0 <= x < x1 of row y: sads[x - x0]
    // is the exact sum, or -1 where the pattern would reach past the search
    // level's border. The reference disc is not checked: the caller keeps it
    // inside the level.
    void scoreRow(int32_t level, int32_t y, int32_t x0, int32_t x1, int32_t refX, int32_t refY, int32_t r, int32_t a,
                  int32_t s, int32_t* sads);

    // The same for a short run, x1 - x0 at most 8 positions.
    void scoreRun(int32_t level, int32_t y, int32_t x0, int32_t x1, int32_t refX, int32_t refY, int32_t r, int32_t a,
                  int32_t s, int32_t* sads);

private:
    struct Slot {
        int32_t cachedRadius = -1;
        int32_t extent = 0;
        int32_t lowestOffset = 0;   // of the search offsets
        int32_t highestOffset = 0;
        std::vector<int32_t> searchOffsets;     // (iy * searchWidth + ix) per point
        std::vector<int32_t> referenceOffsets;  // (dy * referenceWidth + dx) per point
    };

    Slot& refresh(int32_t level, int32_t r, int32_t a, int32_t s);
    const uint8_t* referenceDisc(int32_t level, int32_t refX, int32_t refY, int32_t r, const Slot& slot);
    // Marks every position x0 .. x1 - 1 of row y unscored (-1), then narrows
    // them to [first, last), where the slot's disc stays inside the level;
    // false when none does.
    static bool scorablePart(const Slot& slot, const ByteImage& level, int32_t y, int32_t x0, int32_t x1,
                             int32_t* sads, int32_t& first, int32_t& last);

    const DetailPyramid& reference_;
    const DetailPyramid& search_;
    RowSadFunction rowSad_;
    EightSadFunction eightSad_;
    std::vector<std::vector<Slot>> slots_;  // per level, per (angle, scale)

    // The reference samples of the last disc asked for, zero padded, and the
    // same widened to 16 bits.
    std::vector<uint8_t> referenceSamples_;
    std::vector<uint16_t> referenceWide_;
    int32_t discLevel_ = -1;
    int32_t discX_ = 0;
    int32_t discY_ = 0;
    int32_t discRadius_ = -1;
};
