#include "engine/block_search.h"
#include "engine/detail_pyramid.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

namespace {

using passtest::randomBand;

PassParams params(int32_t step, int32_t radius, int32_t search, int32_t fine, int32_t coarse, int32_t cutoff,
                  int32_t scaleMode = 1) {
    PassParams p;
    p.splitRadius = 1.5f;
    p.blockStep = step;
    p.patchRadius = radius;
    p.maxMatchesFine = fine;
    p.maxMatchesCoarse = coarse;
    p.searchRadius = search;
    p.scaleMode = scaleMode;
    p.cutoff = cutoff;
    return p;
}

struct Result {
    ByteImage detailOut;
    MatchCountMap map;
};

Result run(const ByteImage& band, const PassParams& p) {
    Result r;
    DetailPyramid reference = buildPyramid(band);
    DetailPyramid search = buildPyramid(band);
    averageDetail(reference, search, band, r.detailOut, p, 2 * p.patchRadius, nullptr, &r.map);
    return r;
}

TEST(BlockSearch, StartLevelFollowsThePatchRadius) {
    EXPECT_EQ(startLevel(0, 5), 0);
    EXPECT_EQ(startLevel(2, 5), 0);
    EXPECT_EQ(startLevel(3, 5), 1);
    EXPECT_EQ(startLevel(4, 5), 1);
    EXPECT_EQ(startLevel(5, 5), 1);
    EXPECT_EQ(startLevel(6, 5), 2);
    EXPECT_EQ(startLevel(9, 5), 2);
    EXPECT_EQ(startLevel(11, 5), 2);
    EXPECT_EQ(startLevel(12, 5), 3);
    EXPECT_EQ(startLevel(9, 3), 2);
    EXPECT_EQ(startLevel(9, 2), 1);
    EXPECT_EQ(startLevel(4, 1), 0);
}

// Cell (i, j) of the map belongs to the block at unpadded (i, j) * step: with
// the right part of the band flat, exactly the cells whose discs lie in it
// average a full list.
TEST(BlockSearch, MapCellsFollowTheBlocks) {
    const int32_t step = 5, radius = 4, m = 8, w = 40, h = 15, flatFrom = 20;
    ByteImage band = randomBand(w + 2 * m, h + 2 * m, 9);
    for (int32_t y = 0; y < band.height; ++y)
        for (int32_t x = m + flatFrom; x < band.width; ++x)
            band.at(x, y) = 128;
    Result r = run(band, params(step, radius, 40, 10, 8, 1));
    ASSERT_EQ(r.map.width, 8);
    ASSERT_EQ(r.map.height, 3);
    for (int32_t j = 0; j < r.map.height; ++j) {
        for (int32_t i = 0; i < r.map.width; ++i) {
            int32_t centre = i * step + step / 2;
            if (centre - radius >= flatFrom) {
                EXPECT_EQ(r.map.at(i, j), 10) << i << "," << j;
            } else if (centre + radius < flatFrom) {
                EXPECT_EQ(r.map.at(i, j), 1) << i << "," << j;
            }
        }
    }
}

}
