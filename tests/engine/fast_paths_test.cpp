// The fast passes against the straightforward ones: identical detail bands,
// match-count maps and pictures, for every preset's settings, on pictures of
// sizes that are no multiple of any block step, with 1, 2 and 7 threads.
#include "engine/block_search.h"
#include "engine/deblur.h"
#include "engine/denoise.h"
#include "engine/detail_pyramid.h"
#include "engine/gaussian.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "engine/reference_passes.h"
#include "engine/patch_matcher.h"
#include "engine/sad_kernel.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace {

using passtest::randomBand;

using passtest::idleJob;
using passtest::sameImage;

const int32_t Sizes[][2] = {{1, 1}, {3, 5}, {17, 9}, {101, 37}, {23, 31}};
const int32_t ThreadCounts[] = {1, 2, 7};

// A detail band like the split gives: mostly near 128, with structure.
ByteImage detailLikeBand(int32_t w, int32_t h, uint64_t seed) {
    passtest::Random random(seed);
    ByteImage b;
    b.resize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.at(x, y) = passtest::clampByte(128.0 + 30.0 * (((x * 3 + y * 5) % 11) - 5) / 5.0 + random.normal() * 6.0);
    return b;
}

template <typename T>
bool sameBytes(const Image<T>& a, const Image<T>& b) {
    if (a.width != b.width || a.height != b.height)
        return false;
    for (size_t i = 0; i < a.pixelCount(); ++i)
        if (a.data[i] != b.data[i])
            return false;
    return true;
}

std::vector<PassParams> everyPresetsParams() {
    std::vector<PassParams> all;
    for (const Preset& preset : Presets)
        all.push_back(settingsFromOptions(preset.options()).pass1);
    all.push_back(settingsFromOptions(OptionValues{}).pass2);
    return all;
}

TEST(FastPaths, BlockSearchMatchesTheReference) {
    uint64_t seed = 100;
    for (const PassParams& p : everyPresetsParams()) {
        const int32_t m = 2 * p.patchRadius;
        for (const auto& size : Sizes) {
            for (int kind = 0; kind < 2; ++kind) {
                const int32_t w = size[0] + 2 * m, h = size[1] + 2 * m;
                ByteImage band = kind == 0 ? detailLikeBand(w, h, seed++) : randomBand(w, h, seed++);
                DetailPyramid pyramid = buildPyramid(band);
                ByteImage expected;
                MatchCountMap expectedMap;
                averageDetailReference(pyramid, pyramid, band, expected, p, m, nullptr, &expectedMap);
                for (int32_t threads : ThreadCounts) {
                    ByteImage out;
                    MatchCountMap map;
                    averageDetail(pyramid, pyramid, band, out, p, m, nullptr, &map, threads);
                    ASSERT_TRUE(sameBytes(out, expected))
                        << size[0] << "x" << size[1] << " step " << p.blockStep << " threads " << threads;
                    ASSERT_TRUE(sameBytes(map, expectedMap))
                        << size[0] << "x" << size[1] << " step " << p.blockStep << " threads " << threads;
                }
            }
        }
    }
}

// The whole passes, each preset with its own deblur settings, or without
// deblur and then with those of "Deblur amount" 90 (two iterations).
TEST(FastPaths, PassesMatchTheReference) {
    uint64_t seed = 7;
    for (const Preset& preset : Presets) {
        const EngineSettings settings = settingsFromOptions(preset.options());
        for (const auto& size : Sizes) {
            Bitmap picture = passtest::withNoise(passtest::texture(size[0], size[1]), 7.0, seed++);
            DeblurSettings deblur = settings.deblur;
            if (!deblur.enabled)
                deblurSettingsFromSlider(90, deblur);

            ProcessingJob& reference = idleJob(picture);
            MatchCountMap expectedMap;
            runDenoisePassReference(reference, 0, settings.pass1, &expectedMap);
            Bitmap expectedDenoised;
            expectedDenoised.copyFrom(reference.workingImage);
            deblur.map.copyFrom(expectedMap);
            runDeblurPassReference(reference, deblur);
            Bitmap expectedDeblurred;
            expectedDeblurred.copyFrom(reference.workingImage);

            for (int32_t threads : ThreadCounts) {
                ProcessingJob& job = idleJob(picture);
                job.threadCount.store(threads);
                MatchCountMap map;
                runDenoisePass(job, 0, settings.pass1, &map);
                ASSERT_TRUE(sameImage(job.workingImage, expectedDenoised))
                    << preset.name << " " << size[0] << "x" << size[1] << " threads " << threads;
                ASSERT_TRUE(sameBytes(map, expectedMap)) << preset.name << " threads " << threads;
                runDeblurPass(job, deblur);
                ASSERT_TRUE(sameImage(job.workingImage, expectedDeblurred))
                    << preset.name << " " << size[0] << "x" << size[1] << " threads " << threads;
            }
        }
    }
    idleJob(Bitmap());
}

// Row, column and square kernels, also longer than the image is wide or
// high, against the clamp-every-tap convolution.
TEST(FastPaths, ConvolutionMatchesTheReference) {
    const int32_t sizes[][2] = {{1, 1}, {3, 5}, {17, 9}, {101, 37}, {64, 3}};
    for (float sigma : {0.5f, 1.27f, 2.8f, 6.0f}) {
        for (GaussianKernel::Shape shape : {GaussianKernel::Row, GaussianKernel::Column, GaussianKernel::Square}) {
            GaussianKernel kernel(sigma, GaussianCutoffRatio, shape);
            for (const auto& size : sizes) {
                passtest::Random random(static_cast<uint64_t>(size[0] * 31 + size[1]));
                FloatImage in;
                in.resize(size[0], size[1]);
                for (size_t i = 0; i < in.pixelCount(); ++i)
                    in.data[i] = static_cast<float>(random.uniform() * 1.5 - 0.25);
                FloatImage expected;
                convolveReference(kernel, in, expected);
                for (int32_t threads : ThreadCounts) {
                    FloatImage out;
                    convolve(kernel, in, out, threads);
                    ASSERT_TRUE(sameBytes(out, expected))
                        << "sigma " << sigma << " shape " << shape << " " << size[0] << "x" << size[1];
                }
            }
        }
    }
}

// Every SAD version this processor runs gives the exact sum below the limit
// and, at or above it, a partial sum that still reaches the limit; the run
// versions give exact sums at every position. Disc sizes cover every
// remainder of the vector widths.
TEST(FastPaths, SadVersionsAgree) {
    SadVariant variants[8];
    const int32_t variantCount = availableSadVariants(variants, 8);
    ASSERT_GE(variantCount, 1);
    passtest::Random random(5);
    ByteImage search = randomBand(128, 64, 6);
    const uint8_t* centre = search.data + 32 * 128 + 32;
    // Up to 600 points: the 16-bit lanes of the runs must be widened in time.
    for (int32_t count : {1, 2, 7, 8, 15, 16, 17, 31, 32, 33, 57, 130, 255, 256, 257, 283, 600}) {
        std::vector<int32_t> offsets(static_cast<size_t>(count));
        std::vector<uint8_t> reference(static_cast<size_t>(paddedSadLength(count)), 0);
        int32_t exact = 0;
        for (int32_t j = 0; j < count; ++j) {
            offsets[static_cast<size_t>(j)] = (random.below(61) - 30) * 128 + random.below(61) - 30;
            reference[static_cast<size_t>(j)] = static_cast<uint8_t>(random.next());
            exact += std::abs(int32_t(centre[offsets[static_cast<size_t>(j)]]) - int32_t(reference[static_cast<size_t>(j)]));
        }
        // The same disc at runs of neighbouring positions.
        std::vector<uint16_t> wide(reference.begin(), reference.begin() + count);
        int32_t runExact[40];
        for (int32_t i = 0; i < 40; ++i) {
            runExact[i] = 0;
            for (int32_t j = 0; j < count; ++j)
                runExact[i] += std::abs(int32_t(centre[i + offsets[static_cast<size_t>(j)]]) - int32_t(wide[static_cast<size_t>(j)]));
        }
        for (int32_t v = 0; v < variantCount; ++v) {
            for (int32_t positions : {1, 3, 15, 16, 17, 33}) {
                int32_t run[40];
                variants[v].rowFunction(centre, positions, offsets.data(), wide.data(), count, run);
                for (int32_t i = 0; i < positions; ++i)
                    ASSERT_EQ(run[i], runExact[i]) << variants[v].name << " count " << count << " run " << positions;
            }
            int32_t eight[8];
            variants[v].eightFunction(centre, offsets.data(), wide.data(), count, eight);
            for (int32_t i = 0; i < 8; ++i)
                ASSERT_EQ(eight[i], runExact[i]) << variants[v].name << " count " << count;

            EXPECT_EQ(variants[v].function(centre, offsets.data(), reference.data(), count, INT32_MAX), exact)
                << variants[v].name << " count " << count;
            EXPECT_EQ(variants[v].function(centre, offsets.data(), reference.data(), count, exact + 1), exact)
                << variants[v].name << " count " << count;
            const int32_t limit = exact / 3;
            const int32_t stopped = variants[v].function(centre, offsets.data(), reference.data(), count, limit);
            EXPECT_GE(stopped, limit) << variants[v].name << " count " << count;
            EXPECT_LE(stopped, exact) << variants[v].name << " count " << count;
        }
    }
}

// The matcher's shortcuts (cached offsets per level and radius, reference
// samples read once, sums cut short) keep exactly the list that plain sums
// over freshly built patterns give, whatever order the levels and radii
// come in.
TEST(FastPaths, MatcherKeepsTheListsOfPlainSums) {
    ByteImage band = detailLikeBand(90, 70, 3);
    DetailPyramid pyramid = buildPyramid(band);
    SadVariant variants[8];
    const int32_t variantCount = availableSadVariants(variants, 8);
    for (int32_t v = 0; v < variantCount; ++v) {
        PatchMatcher matcher(pyramid, pyramid, variants[v].function);
        for (int32_t level : {2, 0, 1, 0}) {
            for (int32_t r : {1, 4, 2}) {
                const ByteImage& img = pyramid.level(level);
                const int32_t refX = img.width / 2, refY = img.height / 2;
                CandidateList fast, plain;
                for (int32_t y = 0; y < img.height; y += 2) {
                    for (int32_t x = 0; x < img.width; x += 2) {
                        for (int32_t a = 0; a < AngleCount; a += 5) {
                            const int32_t s = 2 + (x + y) % 5;
                            matcher.match(level, x, y, refX, refY, r, a, s, fast, 6);
                            const SamplePattern pattern = buildPattern(a, s, r);
                            int32_t extent = 0;
                            for (const SamplePoint& p : pattern)
                                extent = std::max({extent, std::abs((p.fx + 32768) >> 16), std::abs((p.fy + 32768) >> 16)});
                            if (x < extent || y < extent || x >= img.width - extent || y >= img.height - extent)
                                continue;
                            int32_t sad = 0;
                            for (const SamplePoint& p : pattern)
                                sad += std::abs(int32_t(img.at(x + ((p.fx + 32768) >> 16), y + ((p.fy + 32768) >> 16))) -
                                                int32_t(img.at(refX + p.dx, refY + p.dy)));
                            plain.offer(Candidate{sad, x << level, y << level, a, s}, 6);
                        }
                    }
                }
                ASSERT_EQ(fast.count(), plain.count()) << variants[v].name;
                for (int32_t i = 0; i < fast.count(); ++i) {
                    EXPECT_EQ(fast[i].sad, plain[i].sad) << variants[v].name << " level " << level << " r " << r;
                    EXPECT_EQ(fast[i].x, plain[i].x);
                    EXPECT_EQ(fast[i].y, plain[i].y);
                    EXPECT_EQ(fast[i].a, plain[i].a);
                    EXPECT_EQ(fast[i].s, plain[i].s);
                }
            }
        }
    }
}

}
