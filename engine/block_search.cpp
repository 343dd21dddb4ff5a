#include "engine/block_search.h"

#include "engine/patch_matcher.h"
#include "engine/processing_job.h"
#include "engine/work_image.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t MaxFinalCandidates = 128;

void checkpoint(ProcessingJob* job) {
    if (job)
        job->checkCancel();
}

// Per pixel of the band: the sum of the samples put on it and their number.
struct Accumulator {
    int32_t sum = 0;
    int32_t count = 0;
};

}

ScaleRange scaleRangeFor(int32_t scaleMode) {
    switch (scaleMode) {
    case 0:
        return {0, 0};
    case 1:
        return {4, 4};
    case 2:
        return {8, 8};
    case 3:
        return {0, 4};
    case 4:
        return {4, 8};
    case 5:
        return {0, 8};
    default:
        return {4, 4};
    }
}

int32_t startLevel(int32_t patchRadius, int32_t levelCount) {
    int32_t level = 0;
    for (int32_t r = patchRadius; r > 2; r >>= 1)
        ++level;
    return std::max(0, std::min(level, levelCount - 1));
}

void averageDetail(const DetailPyramid& referencePyramid, const DetailPyramid& searchPyramid,
                   const ByteImage& detailIn, ByteImage& detailOut, const PassParams& params, int32_t m,
                   ProcessingJob* job, MatchCountMap* map) {
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
    PatchMatcher matcher(referencePyramid, searchPyramid);
    CandidateList current;
    CandidateList next;
    std::vector<SamplePattern> finalPatterns(MaxFinalCandidates);
    if (map) {
        allocateOrThrow(*map, (w0 - 2 * m + step - 1) / step, (h0 - 2 * m + step - 1) / step);
        map->fill(0);
    }
    const int32_t s0 = job ? job->subProgress : 0;

    const int32_t firstLevel = startLevel(r0, searchPyramid.levelCount());
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
