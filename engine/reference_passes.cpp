#include "engine/reference_passes.h"

#include "engine/block_search.h"
#include "engine/candidate_list.h"
#include "engine/conversions.h"
#include "engine/deblur.h"
#include "engine/processing_job.h"
#include "engine/sample_pattern.h"
#include "engine/work_image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int32_t MaxFinalCandidates = 128;

void checkpoint(ProcessingJob* job) {
    if (job)
        job->checkCancel();
}

struct Accumulator {
    int32_t sum = 0;
    int32_t count = 0;
};

// One cache slot per (angle, scale), rebuilt whenever the radius or level
// asked for differs from the one it holds.
class ReferenceMatcher {
public:
    ReferenceMatcher(const DetailPyramid& reference, const DetailPyramid& search)
        : reference_(reference), search_(search), slots_(static_cast<size_t>(AngleCount * ScaleCount)) {}

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

ReferenceMatcher::Slot& ReferenceMatcher::refresh(int32_t level, int32_t r, int32_t a, int32_t s) {
    Slot& slot = slots_[static_cast<size_t>(a * ScaleCount + s)];
    if (slot.cachedRadius == r && slot.cachedLevel == level)
        return slot;
    slot.cachedRadius = r;
    slot.cachedLevel = level;
    slot.pattern = buildPattern(a, s, r);
    slot.offsets.clear();
    slot.extent = 0;
    int32_t searchWidth = search_.level(level).width;
    int32_t referenceWidth = reference_.level(level).width;
    for (const SamplePoint& p : slot.pattern) {
        int32_t ix = (p.fx + 32768) >> 16;
        int32_t iy = (p.fy + 32768) >> 16;
        slot.extent = std::max(slot.extent, std::max(std::abs(ix), std::abs(iy)));
        slot.offsets.push_back(OffsetPair{iy * searchWidth + ix, p.dy * referenceWidth + p.dx});
    }
    return slot;
}

void ReferenceMatcher::match(int32_t level, int32_t x, int32_t y, int32_t refX, int32_t refY, int32_t r,
                             int32_t a, int32_t s, CandidateList& list, int32_t capacity) {
    const Slot& slot = refresh(level, r, a, s);
    const ByteImage& searchLevel = search_.level(level);
    const ByteImage& referenceLevel = reference_.level(level);
    if (x < slot.extent || y < slot.extent || x >= searchLevel.width - slot.extent ||
        y >= searchLevel.height - slot.extent)
        return;

    const uint8_t* searchCentre = searchLevel.data + static_cast<ptrdiff_t>(y) * searchLevel.width + x;
    const uint8_t* referenceCentre = referenceLevel.data + static_cast<ptrdiff_t>(refY) * referenceLevel.width + refX;
    int32_t sad = 0;
    for (const OffsetPair& o : slot.offsets)
        sad += std::abs(static_cast<int32_t>(searchCentre[o.searchOffset]) -
                        static_cast<int32_t>(referenceCentre[o.referenceOffset]));

    list.offer(Candidate{sad, x << level, y << level, a, s}, capacity);
}

}

void convolveReference(const GaussianKernel& kernel, const FloatImage& in, FloatImage& out) {
    allocateOrThrow(out, in.width, in.height);
    if (in.isEmpty())
        return;
    int32_t cx = (kernel.width - 1) / 2;
    int32_t cy = (kernel.height - 1) / 2;
    int32_t lastX = in.width - 1;
    int32_t lastY = in.height - 1;
    for (int32_t y = 0; y < in.height; ++y) {
        for (int32_t x = 0; x < in.width; ++x) {
            double sum = 0.0;
            for (int32_t j = 0; j < kernel.height; ++j) {
                int32_t sy = std::clamp(y - cy + j, 0, lastY);
                for (int32_t i = 0; i < kernel.width; ++i) {
                    int32_t sx = std::clamp(x - cx + i, 0, lastX);
                    sum += static_cast<double>(kernel.at(i, j)) * static_cast<double>(in.at(sx, sy));
                }
            }
            out.at(x, y) = static_cast<float>(sum);
        }
    }
}

void gaussianBlurReference(const FloatImage& in, float sigma, FloatImage& out) {
    GaussianKernel row(sigma, GaussianCutoffRatio, GaussianKernel::Row);
    GaussianKernel column(sigma, GaussianCutoffRatio, GaussianKernel::Column);
    FloatImage rows;
    convolveReference(row, in, rows);
    convolveReference(column, rows, out);
}

BandSplit splitBandsReference(const Bitmap& image, float splitRadius) {
    const float sigma = halfWidthToSigma(splitRadius);
    BandSplit bands;
    {
        FloatImage luminance = toLuminance(image);
        FloatImage blurred;
        gaussianBlurReference(luminance, sigma, blurred);
        // The detail is formed as the blur minus the luminance, negated.
        size_t n = luminance.pixelCount();
        for (size_t i = 0; i < n; ++i)
            luminance.data[i] = -(blurred.data[i] - luminance.data[i]);
        bands.detail = floatToBytes(luminance, -0.5f, 0.5f);
    }
    FloatImage blurred[3];
    for (int32_t c = 0; c < 3; ++c) {
        FloatImage channel = extractChannel(image, static_cast<Channel>(c));
        gaussianBlurReference(channel, sigma, blurred[c]);
    }
    bands.lowPass = floatsToBitmap(&blurred[0], &blurred[1], &blurred[2], nullptr, 0.0f, 1.0f);
    return bands;
}

void averageDetailReference(const DetailPyramid& referencePyramid, const DetailPyramid& searchPyramid,
                            const ByteImage& detailIn, ByteImage& detailOut, const PassParams& params, int32_t m,
                            ProcessingJob* job, MatchCountMap* map) {
    const int32_t firstLevel = startLevel(params.patchRadius, searchPyramid.levelCount());
    requireDiscsInBand(params, m, referencePyramid, firstLevel);
    const int32_t w0 = detailIn.width;
    const int32_t h0 = detailIn.height;
    allocateOrThrow(detailOut, w0, h0);
    detailOut.fill(0);
    checkpoint(job);

    const int32_t step = params.blockStep;
    const int32_t r0 = params.patchRadius;
    const ScaleRange scales = scaleRangeFor(params.scaleMode);
    const int32_t fineCapacity = std::min(params.maxMatchesFine, MaxFinalCandidates);

    std::vector<Accumulator> accumulator(static_cast<size_t>(w0) * static_cast<size_t>(h0));
    ReferenceMatcher matcher(referencePyramid, searchPyramid);
    CandidateList current;
    CandidateList next;
    std::vector<SamplePattern> finalPatterns(MaxFinalCandidates);
    if (map) {
        allocateOrThrow(*map, (w0 - 2 * m + step - 1) / step, (h0 - 2 * m + step - 1) / step);
        map->fill(0);
    }
    const int32_t s0 = job ? job->subProgress : 0;

    const int32_t searchW0 = searchPyramid.level(0).width;
    const int32_t searchH0 = searchPyramid.level(0).height;

    for (int32_t by = m; by < h0 - m; by += step) {
        if (job)
            job->setSubProgress(s0 + (97 - s0) * (by - m) / (h0 - 2 * m));
        for (int32_t bx = m; bx < w0 - m; bx += step) {
            checkpoint(job);
            const int32_t cx = bx + step / 2;
            const int32_t cy = by + step / 2;
            const int32_t sx = searchW0 * cx / w0;
            const int32_t sy = searchH0 * cy / h0;

            current.clear();
            for (int32_t l = firstLevel, k = 1; l >= 0; --l, ++k) {
                const int32_t r = ((1 << l) / 2 + r0) >> l;
                const int32_t refX = cx >> l;
                const int32_t refY = cy >> l;
                const int32_t angleStep = std::max(1, AngleCount >> (k + 1));
                const int32_t scaleStep = std::max(1, 8 >> k);
                const int32_t capacity = l == 0 ? fineCapacity : params.maxMatchesCoarse;
                const ByteImage& level = searchPyramid.level(l);

                if (l == firstLevel) {
                             // Exhaustive search of the window around the block.
                             const int32_t win = params.searchRadius >> l;
                             const int32_t yEnd = std::min(level.height - 2 * r - 1, (sy >> l) + win);
                             const int32_t xEnd = std::min(level.width - 2 * r - 1, (sx >> l) + win);
                             for (int32_t y = std::max(2 * r, (sy >> l) - win); y < yEnd; ++y)
                                 for (int32_t x = std::max(2 * r, (sx >> l) - win); x < xEnd; ++x)
                                     for (int32_t a = 0; a < AngleCount; a += angleStep)
                                         matcher.match(l, x, y, refX, refY, r, a, (scales.smin + scales.smax) / 2, current,
                                                       capacity);
                             continue;
                }

                // Refinement around each candidate of the coarser level.
                next.clear();
                for (int32_t qi = 0; qi < current.count(); ++qi) {
                             const Candidate q = current[qi];
                             for (int32_t yy = (q.y >> l) - 1; yy <= (q.y >> l) + 1; ++yy) {
                                 for (int32_t xx = (q.x >> l) - 1; xx <= (q.x >> l) + 1; ++xx) {
                                     bool seen = false;
                                     for (int32_t ni = 0; ni < next.count() && !seen; ++ni)
                                         seen = next[ni].x == (xx << l) && next[ni].y == (yy << l);
                                     if (seen)
                                         continue;
                                     for (int32_t da = -angleStep; da <= angleStep; da += angleStep) {
                                         const int32_t a = (q.a + da + AngleCount) & (AngleCount - 1);
                                         const int32_t sLast = std::min(scales.smax, q.s + scaleStep);
                                         for (int32_t s = std::max(scales.smin, q.s - scaleStep); s <= sLast; s += scaleStep)
                                             matcher.match(l, xx, yy, refX, refY, r, a, s, next, capacity);
                                     }
                                 }
                             }
                }
                current.copyFrom(next);
            }

            // Average the discs of the candidates under the cutoff.
            const int32_t candidates = std::min(current.count(), MaxFinalCandidates);
            for (int32_t i = 0; i < candidates; ++i)
                finalPatterns[static_cast<size_t>(i)] = buildPattern(current[i].a, current[i].s, r0);
            int32_t accepted = 0;
            if (candidates > 0) {
                const int32_t threshold = static_cast<int32_t>(finalPatterns[0].size()) * params.cutoff;
                accepted = 1;
                while (accepted < candidates && current[accepted].sad < threshold)
                             ++accepted;
            }
            if (map)
                map->at((bx - m) / step, (by - m) / step) = accepted;

            if (accepted == 0)
                continue;
            const SamplePattern& own = finalPatterns[0];
            for (size_t j = 0; j < own.size(); ++j) {
                Accumulator& target =
                             accumulator[static_cast<size_t>(cy + own[j].dy) * static_cast<size_t>(w0) + (cx + own[j].dx)];
                for (int32_t i = 0; i < accepted; ++i) {
                             const SamplePoint& p = finalPatterns[static_cast<size_t>(i)][j];
                             const Candidate& c = current[i];
                             target.sum += detailIn.at(c.x + ((p.fx + 32768) >> 16), c.y + ((p.fy + 32768) >> 16));
                             target.count += 1;
                }
            }
        }
    }
    checkpoint(job);

    // A pixel no disc reached keeps its input detail: zero would stand for
    // -128 and darken what is added back.
    const size_t n = detailOut.pixelCount();
    for (size_t i = 0; i < n; ++i) {
        const Accumulator& acc = accumulator[i];
        detailOut.data[i] = acc.count > 0 ? static_cast<uint8_t>(std::clamp(acc.sum / acc.count, 0, 255))
                                                   : detailIn.data[i];
    }
}

void runDenoisePassReference(ProcessingJob& job, int32_t, const PassParams& params, MatchCountMap* map) {
    job.checkCancel();
    if (job.workingImage.isEmpty())
        return;
    const int32_t w = job.workingImage.width;
    const int32_t h = job.workingImage.height;
    const int32_t m = 2 * params.patchRadius;
    Bitmap padded = padByReplication(job.workingImage, m);

    job.checkCancel();
    job.setSubProgress(job.subProgress + 2);

    job.checkCancel();
    BandSplit bands = splitBandsReference(padded, params.splitRadius);
    padded.clear();

    job.checkCancel();
    job.setSubProgress(job.subProgress + 2);
    job.checkCancel();
    job.setSubProgress(job.subProgress + 1);

    ByteImage detailOut;
    {
        // The blocks and the matches come from the same band.
        DetailPyramid reference = buildPyramid(bands.detail);
        DetailPyramid search = buildPyramid(bands.detail);
        averageDetailReference(reference, search, bands.detail, detailOut, params, m, &job, map);
    }

    job.checkCancel();
    Bitmap merged = mergeDetail(bands.lowPass, detailOut, params.detailRepeats);

    job.checkCancel();
    Bitmap cropped;
    if (!cropped.cropFrom(merged, Rect(m, m, w + m, h + m)))
        throw std::bad_alloc();

    job.checkCancel();
    allocateOrThrow(job.workingImage, w, h);
    std::copy(cropped.data, cropped.data + cropped.pixelCount(), job.workingImage.data);
}

void runDeblurPassReference(ProcessingJob& job, const DeblurSettings& settings) {
    job.checkCancel();
    const Bitmap& image = job.workingImage;
    const int32_t w = image.width;
    const int32_t h = image.height;
    FloatImage luminance = toLuminance(image);

    job.checkCancel();
    job.setSubProgress(job.subProgress + 1);

    FloatImage sign;
    {
        FloatImage blurred;
        gaussianBlurReference(luminance, halfWidthToSigma(settings.radius), blurred);
        sign = laplacianOf(blurred);
    }

    job.checkCancel();
    FloatImage filtered;
    allocateOrThrow(filtered, w, h);

    const bool haveMap = !settings.map.isEmpty() && settings.mapSpacing != 0 && settings.mapFullScale != 0;
    const float cellsPerPixel = settings.mapSpacing != 0 ? 1.0f / static_cast<float>(settings.mapSpacing) : 0.0f;
    const float fullScale = static_cast<float>(settings.mapFullScale);
    const float amountRange = settings.amountMax - settings.amountMin;
    const int32_t lastX = w - 1;
    const int32_t lastY = h - 1;

    for (int32_t k = 0; k < settings.iterations; ++k) {
        job.setSubProgress(job.subProgress + 2);
        for (int32_t y = 0; y < h; ++y) {
            job.checkCancel();
            const int32_t fy = static_cast<int32_t>(std::floor(static_cast<float>(y) * cellsPerPixel * 65536.0f));
            for (int32_t x = 0; x < w; ++x) {
                const float c = luminance.at(x, y);
                const float l = luminance.at(std::max(x - 1, 0), y);
                const float r = luminance.at(std::min(x + 1, lastX), y);
                const float u = luminance.at(x, std::max(y - 1, 0));
                const float d = luminance.at(x, std::min(y + 1, lastY));

                float weight = settings.amountMin;
                if (haveMap) {
                    const int32_t fx =
                        static_cast<int32_t>(std::floor(static_cast<float>(x) * cellsPerPixel * 65536.0f));
                    const float t = static_cast<float>(sampleMatchCountMap(settings.map, fx, fy)) / fullScale;
                    weight = settings.amountMin + t * amountRange;
                }
                const float e = sign.at(x, y) < 0.0f ? std::max({c, l, r, u, d}) : std::min({c, l, r, u, d});
                filtered.at(x, y) = (1.0f - weight) * c + weight * e;
            }
        }
        if (k < settings.iterations - 1)
            std::copy(filtered.data, filtered.data + filtered.pixelCount(), luminance.data);
    }
    luminance.clear();
    sign.clear();

    job.checkCancel();
    job.setSubProgress(job.subProgress + 2);

    Bitmap result;
    allocateOrThrow(result, w, h);
    for (int32_t y = 0; y < h; ++y) {
        job.checkCancel();
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t pixel = image.at(x, y);
            const int32_t luma = std::max(lumaOf(pixel), 1);
            const float ratio = filtered.at(x, y) / (static_cast<float>(luma) * InverseByte);
            uint32_t channels[3];
            const uint32_t source[3] = {pixelRed(pixel), pixelGreen(pixel), pixelBlue(pixel)};
            for (int32_t i = 0; i < 3; ++i) {
                const float v = static_cast<float>(source[i]) * InverseByte * ratio * 255.0f;
                channels[i] = v >= 255.0f ? 255u : (v > 0.0f ? static_cast<uint32_t>(std::lrintf(v)) : 0u);
            }
            result.at(x, y) = packPixel(channels[0], channels[1], channels[2], 255);
        }
    }

    job.checkCancel();
    job.workingImage.moveFrom(result);
}
