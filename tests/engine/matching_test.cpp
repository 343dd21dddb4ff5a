#include "engine/candidate_list.h"
#include "engine/detail_pyramid.h"
#include "engine/patch_matcher.h"
#include "engine/sample_pattern.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

namespace {

using passtest::randomBand;

ByteImage bytes(int32_t w, int32_t h, uint8_t value) {
    ByteImage b;
    b.resize(w, h);
    b.fill(value);
    return b;
}

TEST(DetailPyramid, ReductionWeightsAndRounding) {
    // A single bright pixel spreads over its reduced neighbours with weights
    // 4, 2, 1 out of 16 (interior), 9 (corner) or 12 (edge).
    ByteImage in = bytes(5, 5, 0);
    in.at(1, 1) = 160;
    ByteImage out;
    reduceLevel(in, out);
    ASSERT_EQ(out.width, 3);
    ASSERT_EQ(out.height, 3);
    EXPECT_EQ(out.at(0, 0), (160 * 1 + 4) / 9);  // corner: diagonal weight 1 of 9
    EXPECT_EQ(out.at(1, 0), (160 * 1 + 6) / 12);  // top edge: diagonal weight 1 of 12
    EXPECT_EQ(out.at(1, 1), (160 * 1 + 8) / 16);
    EXPECT_EQ(out.at(2, 2), 0);

    // (S + W/2) / W: half rounds up.
    ByteImage half = bytes(5, 5, 0);
    half.at(2, 2) = 2;  // 8 of 16 at the interior output (1, 1)
    reduceLevel(half, out);
    EXPECT_EQ(out.at(1, 1), 1);
    half.at(2, 2) = 1;  // 4 of 16
    reduceLevel(half, out);
    EXPECT_EQ(out.at(1, 1), 0);
}

Candidate entry(int32_t sad, int32_t x) { return Candidate{sad, x, 0, 0, 4}; }

TEST(CandidateList, InsertionRules) {
    CandidateList list;
    list.offer(entry(5, 1), 3);
    list.offer(entry(2, 2), 3);
    list.offer(entry(5, 3), 3);  // equal sad: the newest goes first
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list[0].x, 2);
    EXPECT_EQ(list[1].x, 3);
    EXPECT_EQ(list[2].x, 1);

    list.offer(entry(5, 4), 3);  // full, equal to the last: no change
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list[1].x, 3);
    EXPECT_EQ(list[2].x, 1);

    list.offer(entry(1, 5), 3);  // better than all: first, the last drops
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list[0].x, 5);
    EXPECT_EQ(list[2].x, 3);

    list.offer(entry(9, 6), 5);  // a larger capacity lets the list grow
    EXPECT_EQ(list.count(), 4);
    list.offer(entry(0, 7), 2);  // a smaller one trims one entry per offer
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ(list[0].x, 7);

    CandidateList copy;
    copy.copyFrom(list);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(copy.count(), 4);
    copy.offer(entry(0, 8), 0);
    EXPECT_EQ(copy.count(), 4);
    list.offer(entry(0, 8), 0);
    EXPECT_EQ(list.count(), 0);
}

TEST(PatchMatcher, NeverOffersPositionsCloserToTheBorderThanTheExtent) {
    ByteImage band = randomBand(12, 10, 5);
    DetailPyramid pyramid = buildPyramid(band);
    PatchMatcher matcher(pyramid, pyramid);
    for (int32_t s : {0, 4, 8}) {
        for (int32_t a : {0, 3, 8}) {
            int32_t extent = 0;
            for (const SamplePoint& p : buildPattern(a, s, 2))
                extent = std::max({extent, std::abs((p.fx + 32768) >> 16), std::abs((p.fy + 32768) >> 16)});
            for (int32_t y = -2; y < 12; ++y) {
                for (int32_t x = -2; x < 14; ++x) {
                    CandidateList list;
                    matcher.match(0, x, y, 5, 5, 2, a, s, list, 1);
                    bool inside = x >= extent && y >= extent && x < 12 - extent && y < 10 - extent;
                    EXPECT_EQ(list.count(), inside ? 1 : 0) << x << "," << y << " a" << a << " s" << s;
                }
            }
        }
    }
}

}
