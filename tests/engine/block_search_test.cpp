#include "engine/block_search.h"
#include "engine/detail_pyramid.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

namespace {

ByteImage randomBand(int32_t w, int32_t h, uint64_t seed) {
    passtest::Random random(seed);
    ByteImage b;
    b.resize(w, h);
    for (size_t i = 0; i < b.pixelCount(); ++i)
        b.data[i] = static_cast<uint8_t>(random.next());
    return b;
}

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

TEST(BlockSearch, FlatBandStaysFlatAndFillsEveryList) {
    ByteImage band;
    band.resize(16 + 16, 13 + 16);
    band.fill(128);
    PassParams p = params(5, 4, 21, 12, 8, 4);
    Result r = run(band, p);
    ASSERT_EQ(r.map.width, 4);   // ceil(16 / 5)
    ASSERT_EQ(r.map.height, 3);  // ceil(13 / 5)
    for (size_t i = 0; i < r.detailOut.pixelCount(); ++i)
        ASSERT_EQ(r.detailOut.data[i], 128);
    for (size_t i = 0; i < r.map.pixelCount(); ++i)
        EXPECT_EQ(r.map.data[i], 12);
}

// With a cutoff of 0 only the best candidate is averaged. Where the coarse
// window holds the block's own place, that is the block itself, so the detail
// comes back unchanged where only such blocks reach. The window's upper bound
// leaves the own place out in the last block row and column (and with radius
// 6, whose start level 2 is tight, near the first and last few blocks).
TEST(BlockSearch, OnlyTheBestCandidateKeepsTheDetail) {
    struct Case {
        int32_t step, radius, search, scaleMode;
    } cases[] = {{5, 4, 21, 1}, {7, 6, 28, 1}, {10, 9, 24, 4}, {7, 5, 16, 1}};
    for (const Case& c : cases) {
        const int32_t m = 2 * c.radius;
        const int32_t w = 44, h = 37;
        ByteImage band = randomBand(w + 2 * m, h + 2 * m, 77 + c.step);
        DetailPyramid pyramid = buildPyramid(band);
        const int32_t level = startLevel(c.radius, pyramid.levelCount());
        const int32_t r = ((1 << level) / 2 + c.radius) >> level;
        const ByteImage& coarse = pyramid.level(level);
        auto ownPlaceSearched = [&](int32_t centre, int32_t size) {
            return (centre >> level) >= 2 * r && (centre >> level) < size - 2 * r - 1;
        };
        // Pixels reached by a block that may not find itself.
        std::vector<bool> doubtful(band.pixelCount(), false);
        for (int32_t by = m; by < band.height - m; by += c.step) {
            for (int32_t bx = m; bx < band.width - m; bx += c.step) {
                int32_t cx = bx + c.step / 2, cy = by + c.step / 2;
                if (ownPlaceSearched(cx, coarse.width) && ownPlaceSearched(cy, coarse.height))
                    continue;
                for (int32_t dy = -c.radius; dy <= c.radius; ++dy)
                    for (int32_t dx = -c.radius; dx <= c.radius; ++dx)
                        doubtful[static_cast<size_t>((cy + dy) * band.width + cx + dx)] = true;
            }
        }

        Result result = run(band, params(c.step, c.radius, c.search, 16, 8, 0, c.scaleMode));
        int32_t compared = 0;
        for (int32_t y = m; y < m + h; ++y) {
            for (int32_t x = m; x < m + w; ++x) {
                if (doubtful[static_cast<size_t>(y * band.width + x)])
                    continue;
                ASSERT_EQ(result.detailOut.at(x, y), band.at(x, y)) << x << "," << y << " step " << c.step;
                ++compared;
            }
        }
        EXPECT_GT(compared, w * h / 5) << "step " << c.step;
        for (size_t i = 0; i < result.map.pixelCount(); ++i)
            EXPECT_EQ(result.map.data[i], 1);
    }
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

// The disc around each block is read without bounds checks; under the
// address sanitizer this proves that no size reads outside a level, for the
// block steps, radii, search radii and scale modes the options produce.
TEST(BlockSearch, SmallAndOddSizesStayInsideTheLevels) {
    std::vector<PassParams> all;
    for (const Preset& preset : Presets)
        all.push_back(settingsFromOptions(preset.options()).pass1);
    for (int32_t noise : {0, 32, 33, 66, 67, 100}) {
        OptionValues o;
        o.noiseSize = noise;
        o.denoiseAmount = 100;
        o.scaleChoice = 1;
        all.push_back(settingsFromOptions(o).pass1);
    }
    all.push_back(settingsFromOptions(OptionValues{}).pass2);
    const int32_t sizes[][2] = {{1, 1}, {2, 2}, {3, 5}, {17, 9}, {9, 17}, {11, 4}, {13, 13}, {22, 8}};
    uint64_t seed = 1;
    for (const PassParams& p : all) {
        for (const auto& size : sizes) {
            int32_t m = 2 * p.patchRadius;
            ByteImage band = randomBand(size[0] + 2 * m, size[1] + 2 * m, seed++);
            Result r = run(band, p);
            EXPECT_EQ(r.detailOut.width, band.width);
            EXPECT_EQ(r.map.width, (size[0] + p.blockStep - 1) / p.blockStep);
            EXPECT_EQ(r.map.height, (size[1] + p.blockStep - 1) / p.blockStep);
            for (size_t i = 0; i < r.map.pixelCount(); ++i) {
                EXPECT_GE(r.map.data[i], 0);
                EXPECT_LE(r.map.data[i], p.maxMatchesFine);
            }
        }
    }
}

// A pixel that no disc reaches keeps its input detail (the coarse window of
// a tiny picture is empty).
TEST(BlockSearch, PixelsWithoutSamplesKeepTheirDetail) {
    ByteImage band = randomBand(1 + 24, 1 + 24, 4);
    Result r = run(band, params(10, 6, 28, 32, 10, 20));
    ASSERT_EQ(r.map.width, 1);
    EXPECT_EQ(r.map.data[0], 0);
    for (size_t i = 0; i < band.pixelCount(); ++i)
        ASSERT_EQ(r.detailOut.data[i], band.data[i]);
}

}
