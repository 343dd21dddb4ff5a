// The fast passes against the straightforward ones: identical detail bands, match-count maps and pictures, for every
// preset's settings, on sizes that are no multiple of any block step and one that is, with 1, 2 and 7 threads.
#include "engine/block_search.h"
#include "engine/deblur.h"
#include "engine/denoise.h"
#include "engine/detail_pyramid.h"
#include "engine/gaussian.h"
#include "engine/option_mapping.h"
#include "engine/patch_matcher.h"
#include "engine/presets.h"
#include "engine/reference_passes.h"
#include "engine/sad_kernel.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using passtest::Checkpoints;
using passtest::idleJob;

const int32_t Sizes[][2] = {{1, 1}, {3, 5}, {17, 9}, {101, 37}, {23, 31}};
const int32_t ThreadCounts[] = {1, 2, 7};

// A detail band like the split gives: mostly near 128, with structure.
ByteImage detailLikeBand(int32_t w, int32_t h, uint64_t seed) {
    passtest::Random random(seed);
    return passtest::generated<ByteImage>(w, h, [&random](int32_t x, int32_t y) {
        return passtest::clampByte(128.0 + 30.0 * (((x * 3 + y * 5) % 11) - 5) / 5.0 + random.normal() * 6.0);
    });
}

bool accepted(const PassParams& p, int32_t m, const DetailPyramid& pyramid) {
    try {
        requireDiscsInBand(p, m, pyramid, startLevel(p.patchRadius, pyramid.levelCount()));
        return true;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

std::vector<PassParams> everyPresetsParams() {
    std::vector<PassParams> all;
    for (const Preset& preset : Presets) all.push_back(settingsFromOptions(preset.options()).pass1);
    all.push_back(settingsFromOptions(OptionValues{}).pass2);
    all.push_back(settingsFromOptions(OptionValues{0, 100, 100, 0, 0}).pass1);  // 128 candidates, the most kept
    return all;
}

// A halving weighs 1 2 1 both ways and leaves out what lies past the edges: 3 x 3 tens to 2 x 2.
TEST(DetailPyramid, HalvesWithBinomialWeightsInsideThePicture) {
    ByteImage in, out;
    allocateOrThrow(in, 3, 3);
    for (int32_t i = 0; i < 9; ++i) in.data[i] = static_cast<uint8_t>(10 * i);
    reduceLevel(in, out);
    EXPECT_EQ(std::vector<uint8_t>(out.data, out.data + 4), (std::vector<uint8_t>{13, 27, 53, 67}));
}

TEST(FastPaths, BlockSearchMatchesTheReference) {
    uint64_t seed = 100;
    for (const PassParams& p : everyPresetsParams())
        for (size_t i = 0; i <= std::size(Sizes); ++i)  // the last: whole blocks, the last ending at the margin
            for (int kind = 0; kind < 2; ++kind) {  // the settings' margin, then the narrowest allowed
                const int32_t size[2] = {i < std::size(Sizes) ? Sizes[i][0] : 2 * p.blockStep,
                                         i < std::size(Sizes) ? Sizes[i][1] : 3 * p.blockStep};
                int32_t m = kind == 0 ? 2 * p.patchRadius : p.blockStep / 2 + p.patchRadius;
                ByteImage band;
                DetailPyramid pyramid;
                for (;; ++m) {  // widened until the check takes it
                    const int32_t w = size[0] + 2 * m, h = size[1] + 2 * m;
                    band = kind ? passtest::randomImage<ByteImage>(w, h, seed++) : detailLikeBand(w, h, seed++);
                    pyramid = buildPyramid(band);
                    if (kind == 0 || accepted(p, m, pyramid)) break;
                }
                ByteImage expected;
                MatchCountMap expectedMap;
                averageDetailReference(pyramid, pyramid, band, expected, p, m, nullptr, &expectedMap);
                for (int32_t threads : ThreadCounts) {
                    ByteImage out;
                    MatchCountMap map;
                    averageDetail(pyramid, pyramid, band, out, p, m, nullptr, &map, threads);
                    ASSERT_TRUE(samePixels(out, expected) && samePixels(map, expectedMap))
                        << size[0] << "x" << size[1] << " step " << p.blockStep << " threads " << threads;
                }
            }
    // A block wider than its disc, or a margin short of half a block and a disc, puts discs past the band: both refuse.
    ByteImage band = detailLikeBand(40, 40, 1), out;
    const DetailPyramid pyramid = buildPyramid(band);
    PassParams p = everyPresetsParams()[0];
    for (auto [step, m] : {std::pair{2 * p.patchRadius + 2, 2 * p.patchRadius}, {5, p.patchRadius + 1}, {0, 40}}) {
        p.blockStep = step;
        EXPECT_THROW(averageDetail(pyramid, pyramid, band, out, p, m, nullptr, nullptr), std::invalid_argument) << step;
        EXPECT_THROW(averageDetailReference(pyramid, pyramid, band, out, p, m, nullptr, nullptr), std::invalid_argument);
    }
    // Wide enough at full size (radius 5, step 7, margin 8), the last block row's disc halved onto level 1 (centre 65,
    // radius 3) would read row 68 of a level 68 rows high; with step 1 and margin 5 the first block's starts above 0.
    p = settingsFromOptions(OptionValues{}).pass2;
    const int32_t rows[][5] = {{106, 136, 7, 8, 0}, {136, 106, 7, 8, 0}, {106, 106, 7, 8, 1}, {41, 41, 1, 5, 0},
                               {41, 41, 1, 6, 1}};  // width, height, step, margin, accepted
    for (const auto& [w, h, step, m, fits] : rows) {
        p.blockStep = step;
        EXPECT_EQ(accepted(p, m, buildPyramid(detailLikeBand(w, h, 2))), fits != 0) << w << "x" << h << " " << m;
    }
}

// The whole passes, each preset with its own deblur settings, or none and then "Deblur amount" 90's (two iterations).
TEST(FastPaths, PassesMatchTheReference) {
    uint64_t seed = 7;
    for (const Preset& preset : Presets) {
        const EngineSettings settings = settingsFromOptions(preset.options());
        for (const auto& size : Sizes) {
            Bitmap picture = passtest::withNoise(passtest::texture(size[0], size[1]), 7.0, seed++);
            DeblurSettings deblur = settings.deblur;
            if (!deblur.enabled) deblurSettingsFromSlider(90, deblur);

            ProcessingJob& reference = idleJob(picture);
            MatchCountMap expectedMap;
            Checkpoints::arm(reference, -1);
            runDenoisePassReference(reference, 0, settings.pass1, &expectedMap);
            const uint64_t expectedDenoised = passtest::hashImage(reference.workingImage);
            const std::vector<int32_t> denoisedProgress = Checkpoints::percents;  // the same steps reported
            deblur.map.copyFrom(expectedMap);
            runDeblurPassReference(reference, deblur);
            const uint64_t expectedDeblurred = passtest::hashImage(reference.workingImage);

            for (int32_t threads : ThreadCounts) {
                SCOPED_TRACE(std::string(preset.name) + " " + std::to_string(size[0]) + "x" +
                             std::to_string(size[1]) + " threads " + std::to_string(threads));
                ProcessingJob& job = idleJob(picture);
                job.threadCount.store(threads);
                if (threads == 1) Checkpoints::arm(job, -1);  // several threads reach checkpoints in any order
                MatchCountMap map;
                runDenoisePass(job, 0, settings.pass1, &map);
                ASSERT_TRUE(passtest::hashImage(job.workingImage) == expectedDenoised && samePixels(map, expectedMap));
                ASSERT_TRUE(threads > 1 || denoisedProgress == Checkpoints::percents);
                runDeblurPass(job, deblur);
                ASSERT_EQ(std::pair(expectedDeblurred, reference.subProgress),
                          std::pair(passtest::hashImage(job.workingImage), job.subProgress));
            }
        }
    }
    idleJob(Bitmap());
}

// Row, column and square kernels, also longer than the image is wide or high, against clamp-every-tap convolution.
TEST(FastPaths, ConvolutionMatchesTheReference) {
    const int32_t sizes[][2] = {{1, 1}, {3, 5}, {17, 9}, {101, 37}, {64, 3}};
    for (float sigma : {0.5f, 1.27f, 2.8f, 6.0f})
        for (GaussianKernel::Shape shape : {GaussianKernel::Row, GaussianKernel::Column, GaussianKernel::Square}) {
            GaussianKernel kernel(sigma, GaussianCutoffRatio, shape);
            for (const auto& size : sizes) {
                passtest::Random random(static_cast<uint64_t>(size[0] * 31 + size[1]));
                const FloatImage in = passtest::generated<FloatImage>(size[0], size[1], [&random](int32_t, int32_t) {
                    return static_cast<float>(random.uniform() * 1.5 - 0.25);
                });
                FloatImage expected;
                convolveReference(kernel, in, expected);
                for (int32_t threads : ThreadCounts) {
                    FloatImage out;
                    convolve(kernel, in, out, threads);
                    ASSERT_TRUE(samePixels(out, expected))
                        << "sigma " << sigma << " shape " << shape << " " << size[0] << "x" << size[1];
                }
            }
        }
}

// A short run reads eight positions whatever its length: it scores as a row does at every start, up to the level's
// last byte and never past it (AddressSanitizer watches).
TEST(FastPaths, RunsScoreAsRowsUpToTheLevelsLastByte) {
    const DetailPyramid pyramid = buildPyramid(detailLikeBand(24, 20, 3));
    PatchMatcher matcher(pyramid, pyramid);
    const ByteImage& level = pyramid.level(0);
    for (int32_t a : {0, 3, 8}) for (int32_t s : {0, 4, 8}) for (int32_t y = 0; y < level.height; ++y)
        for (int32_t x0 = 0; x0 < level.width; ++x0) {
            const int32_t x1 = std::min(x0 + 8, level.width);
            int32_t run[8], row[8];
            matcher.scoreRun(0, y, x0, x1, 10, 10, 3, a, s, run);
            matcher.scoreRow(0, y, x0, x1, 10, 10, 3, a, s, row);
            ASSERT_TRUE(std::equal(run, run + (x1 - x0), row)) << a << " " << s << " " << y << " " << x0;
        }
}

// Every kernel this processor runs gives the portable sums: odd and even point counts on both sides of the widening
// every 256 points, runs shorter and longer than a vector.
TEST(FastPaths, SadKernelsMatchThePortableOnes) {
    SadVariant variants[8];
    const int32_t variantCount = availableSadVariants(variants, 8);
    ASSERT_GT(variantCount, 0);  // the portable one at least
    passtest::Random random(77);
    std::vector<uint8_t> image(64 * 64);
    for (uint8_t& b : image) b = static_cast<uint8_t>(random.uniform() * 256.0);
    for (int32_t count : {1, 2, 7, 8, 33, 256, 257, 300}) {
        std::vector<int32_t> offsets(static_cast<size_t>(count));
        std::vector<uint8_t> narrow(static_cast<size_t>(paddedSadLength(count)), 0);
        for (int32_t j = 0; j < count; ++j) {
            offsets[j] = static_cast<int32_t>(random.uniform() * 24) * 64 + static_cast<int32_t>(random.uniform() * 24);
            narrow[j] = static_cast<uint8_t>(random.uniform() * 256.0);
        }
        const std::vector<uint16_t> wide(narrow.begin(), narrow.begin() + count);
        const int32_t sad = sadPortable(image.data(), offsets.data(), narrow.data(), count, INT32_MAX);
        int32_t eight[8], rows[21];
        eightSadPortable(image.data(), offsets.data(), wide.data(), count, eight);
        rowSadPortable(image.data(), 21, offsets.data(), wide.data(), count, rows);
        for (int32_t v = 0; v < variantCount; ++v) {
            SCOPED_TRACE(std::string(variants[v].name) + ", " + std::to_string(count) + " points");
            EXPECT_EQ(sad, variants[v].function(image.data(), offsets.data(), narrow.data(), count, INT32_MAX));
            const int32_t limit = sad / 2 + 1;
            const int32_t stopped = variants[v].function(image.data(), offsets.data(), narrow.data(), count, limit);
            EXPECT_TRUE(stopped >= std::min(limit, sad) && stopped <= sad) << stopped;  // stops past the limit
            int32_t out[21];
            std::fill_n(out, 21, -1);  // nothing left from the call before may pass for a sum
            variants[v].eightFunction(image.data(), offsets.data(), wide.data(), count, out);
            EXPECT_TRUE(std::equal(eight, eight + 8, out));
            for (int32_t positions : {1, 5, 16, 21}) {
                std::fill_n(out, 21, -1);
                variants[v].rowFunction(image.data(), positions, offsets.data(), wide.data(), count, out);
                EXPECT_TRUE(std::equal(rows, rows + positions, out)) << positions << " positions";
            }
        }
    }
}

}
