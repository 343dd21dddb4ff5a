#pragma once

#include "core/bitmap.h"
#include "engine/detail_pyramid.h"
#include "engine/engine_settings.h"

#include <cstdint>

class ProcessingJob;

// Range of scale indices searched for a scale mode, both ends included.
struct ScaleRange {
    int32_t smin;
    int32_t smax;
};
ScaleRange scaleRangeFor(int32_t scaleMode);

// The coarsest level the search starts from: how often the patch radius can
// be halved while it is above 2, at most the pyramid's last level.
int32_t startLevel(int32_t patchRadius, int32_t levelCount);

// Throws std::invalid_argument unless every block and its disc lie inside
// the band: a step of at least 1 and half a step plus the disc's radius
// within the margin m (the settings keep m at twice the radius and steps no
// wider than the disc), and, on every coarser level up to firstLevel of the
// reference pyramid, the first and last blocks' halved discs inside that
// level too (halving rounds, so a margin just wide enough at full size can
// leave them one sample short there).
void requireDiscsInBand(const PassParams& params, int32_t m, const DetailPyramid& reference, int32_t firstLevel);

// Rebuilds the detail band block by block: each block's disc is searched for
// coarse to fine in the search pyramid over positions, angles and scales, and
// the samples of every match under the cutoff are averaged into detailOut
// (W0 x H0, like detailIn). m is the margin around the part that is kept,
// wide enough for requireDiscsInBand.
// When map is given it receives one cell per block: the number of matches
// averaged. job, when given, receives progress and is polled for
// cancellation before every block (its int32 state is thrown). The block
// rows are shared among threads workers (the calling thread is one of them);
// the result does not depend on how many there are.
void averageDetail(const DetailPyramid& referencePyramid, const DetailPyramid& searchPyramid,
                   const ByteImage& detailIn, ByteImage& detailOut, const PassParams& params, int32_t m,
                   ProcessingJob* job, MatchCountMap* map, int32_t threads = 1);
