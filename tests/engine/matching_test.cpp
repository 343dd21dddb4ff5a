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

ByteImage bytes(int32_t w, int32_t h, uint8_t value) {
    ByteImage b;
    b.resize(w, h);
    b.fill(value);
    return b;
}

ByteImage randomBytes(int32_t w, int32_t h, uint64_t seed) {
    passtest::Random random(seed);
    ByteImage b;
    b.resize(w, h);
    for (size_t i = 0; i < b.pixelCount(); ++i)
        b.data[i] = static_cast<uint8_t>(random.next());
    return b;
}

TEST(DetailPyramid, LevelSizes) {
    DetailPyramid p = buildPyramid(bytes(3, 3, 7));
    ASSERT_EQ(p.levelCount(), 3);
    EXPECT_EQ(p.level(1).width, 2);
    EXPECT_EQ(p.level(1).height, 2);
    EXPECT_EQ(p.level(2).width, 1);
    EXPECT_EQ(p.level(2).height, 1);
    EXPECT_EQ(buildPyramid(bytes(1, 5, 7)).levelCount(), 1);
    EXPECT_EQ(buildPyramid(bytes(5, 1, 7)).levelCount(), 1);
    DetailPyramid tall = buildPyramid(bytes(9, 2, 7));
    ASSERT_EQ(tall.levelCount(), 2);
    EXPECT_EQ(tall.level(1).width, 5);
    EXPECT_EQ(tall.level(1).height, 1);
    EXPECT_EQ(tall.level(1).at(4, 0), 7);
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

TEST(SamplePattern, DiscSizesAndOrder) {
    SamplePattern zero = buildPattern(0, 4, 0);
    ASSERT_EQ(zero.size(), 1u);
    EXPECT_EQ(zero[0].fx, 0);
    EXPECT_EQ(zero[0].fy, 0);
    EXPECT_EQ(zero[0].dx, 0);
    EXPECT_EQ(zero[0].dy, 0);
    EXPECT_EQ(buildPattern(0, 4, 1).size(), 9u);
    SamplePattern two = buildPattern(0, 4, 2);
    ASSERT_EQ(two.size(), 21u);
    for (const SamplePoint& p : two)
        EXPECT_FALSE(std::abs(p.dx) == 2 && std::abs(p.dy) == 2);
    // Rows top to bottom, each left to right.
    EXPECT_EQ(two[0].dx, -1);
    EXPECT_EQ(two[0].dy, -2);
    EXPECT_EQ(two[20].dx, 1);
    EXPECT_EQ(two[20].dy, 2);

    // Every pattern of one radius lists the same reference points.
    SamplePattern plain = buildPattern(0, 4, 9);
    for (int32_t a = 0; a < AngleCount; a += 5) {
        for (int32_t s = 0; s < ScaleCount; s += 3) {
            SamplePattern other = buildPattern(a, s, 9);
            ASSERT_EQ(other.size(), plain.size());
            for (size_t j = 0; j < plain.size(); ++j) {
                EXPECT_EQ(other[j].dx, plain[j].dx);
                EXPECT_EQ(other[j].dy, plain[j].dy);
            }
        }
    }
}

TEST(SamplePattern, RotationAndScale) {
    // Angle 0, scale 1: the search offsets are the reference offsets.
    for (const SamplePoint& p : buildPattern(0, 4, 3)) {
        EXPECT_EQ(p.fx, p.dx * 65536);
        EXPECT_EQ(p.fy, p.dy * 65536);
    }
    // A quarter turn maps (1, 0) to (0, 1).
    for (const SamplePoint& p : buildPattern(8, 4, 1)) {
        if (p.dx == 1 && p.dy == 0) {
            EXPECT_EQ(p.fx, 0);
            EXPECT_EQ(p.fy, 65536);
        }
        if (p.dx == 0 && p.dy == 1) {
            EXPECT_EQ(p.fx, -65536);
            EXPECT_EQ(p.fy, 0);
        }
    }
    // Scale indices 0 and 8 halve and double.
    for (const SamplePoint& p : buildPattern(0, 8, 2))
        EXPECT_EQ(p.fx, p.dx * 131072);
    for (const SamplePoint& p : buildPattern(0, 0, 2))
        EXPECT_EQ(p.fy, p.dy * 32768);
    // Scale index 5 is 2^0.25, single precision, rounded to nearest.
    float scale = static_cast<float>(std::pow(2.0, 0.25) * 65536.0);
    for (const SamplePoint& p : buildPattern(0, 5, 2)) {
        if (p.dx == 2) {
            EXPECT_EQ(p.fx, std::lrintf(static_cast<float>(2.0 * static_cast<double>(scale))));
        }
    }
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

TEST(PatchMatcher, FindsItselfAndScoresDifferences) {
    ByteImage band = randomBytes(20, 16, 11);
    DetailPyramid pyramid = buildPyramid(band);
    PatchMatcher matcher(pyramid, pyramid);
    CandidateList list;
    matcher.match(0, 9, 8, 9, 8, 3, 0, 4, list, 4);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list[0].sad, 0);

    // Another position: the sum of absolute differences over the disc.
    matcher.match(0, 10, 7, 9, 8, 3, 0, 4, list, 4);
    int32_t expected = 0;
    for (const SamplePoint& p : buildPattern(0, 4, 3))
        expected += std::abs(band.at(10 + p.dx, 7 + p.dy) - band.at(9 + p.dx, 8 + p.dy));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list[1].sad, expected);
    EXPECT_EQ(list[1].x, 10);
    EXPECT_EQ(list[1].y, 7);

    // Coordinates of a coarser level are recorded at level 0.
    matcher.match(1, 5, 4, 5, 4, 1, 0, 4, list, 4);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list[0].sad, 0);
    EXPECT_EQ(list[0].x, 10);
    EXPECT_EQ(list[0].y, 8);
    EXPECT_EQ(list[1].x, 9);
}

TEST(PatchMatcher, RotatedCopyIsFoundAtItsAngle) {
    // The reference holds a random disc; the search image holds it turned
    // by a quarter (exact on the pixel grid). Only that angle scores 0.
    ByteImage reference = randomBytes(15, 15, 3);
    ByteImage search = bytes(15, 15, 0);
    for (int32_t y = 0; y < 15; ++y)
        for (int32_t x = 0; x < 15; ++x)
            search.at(7 - (y - 7), 7 + (x - 7)) = reference.at(x, y);
    DetailPyramid refPyramid = buildPyramid(reference);
    DetailPyramid searchPyramid = buildPyramid(search);
    PatchMatcher matcher(refPyramid, searchPyramid);
    CandidateList list;
    for (int32_t a = 0; a < AngleCount; ++a)
        matcher.match(0, 7, 7, 7, 7, 4, a, 4, list, 32);
    ASSERT_EQ(list.count(), 32);
    EXPECT_EQ(list[0].sad, 0);
    EXPECT_EQ(list[0].a, 8);
    EXPECT_GT(list[1].sad, 0);
}

TEST(PatchMatcher, NeverOffersPositionsCloserToTheBorderThanTheExtent) {
    ByteImage band = randomBytes(12, 10, 5);
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
