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

}
