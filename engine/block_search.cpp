#include "engine/block_search.h"

#include "engine/parallel_rows.h"
#include "engine/patch_matcher.h"
#include "engine/processing_job.h"
#include "engine/work_image.h"

#include <algorithm>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace {

constexpr int32_t MaxFinalCandidates = 128;

// The final disc of radius r0 for every (angle, scale) in the searched range,
// as linear offsets into detailIn, shared read-only by all workers. All discs
// of one radius list the same reference points, kept once as targets.
struct FinalDiscs {
    int32_t pointCount = 0;
    std::vector<int32_t> stripOffsets;  // (dy + r0) * w0 + dx: point j in a block row's sums
    std::vector<std::vector<int32_t>> sampleOffsets;  // per (a, s): iy * w0 + ix of point j

    FinalDiscs(int32_t r0, ScaleRange scales, int32_t w0) : sampleOffsets(static_cast<size_t>(AngleCount * ScaleCount)) {
        for (int32_t a = 0; a < AngleCount; ++a) {
            for (int32_t s = scales.smin; s <= scales.smax; ++s) {
                SamplePattern pattern = buildPattern(a, s, r0);
                std::vector<int32_t>& offsets = sampleOffsets[static_cast<size_t>(a * ScaleCount + s)];
                offsets.reserve(pattern.size());
                for (const SamplePoint& p : pattern)
                    offsets.push_back(((p.fy + 32768) >> 16) * w0 + ((p.fx + 32768) >> 16));
                if (stripOffsets.empty()) {
                    for (const SamplePoint& p : pattern)
                        stripOffsets.push_back((p.dy + r0) * w0 + p.dx);
                    pointCount = static_cast<int32_t>(pattern.size());
                }
            }
        }
    }
    const std::vector<int32_t>& offsetsFor(const Candidate& c) const {
        return sampleOffsets[static_cast<size_t>(c.a * ScaleCount + c.s)];
    }
};

// Counts of the positions a candidate list holds, by a hash of the position:
// a zero proves that no entry sits at a position, so the list itself is
// searched only on a possible hit.
class PositionFilter {
public:
    void clear() { std::fill(std::begin(counts_), std::end(counts_), static_cast<uint16_t>(0)); }
    bool mayHold(int32_t x, int32_t y) const { return counts_[bucket(x, y)] != 0; }
    void add(int32_t x, int32_t y) { ++counts_[bucket(x, y)]; }
    void remove(int32_t x, int32_t y) { --counts_[bucket(x, y)]; }

private:
    static size_t bucket(int32_t x, int32_t y) {
        return (static_cast<uint32_t>(x) * 0x9E3779B1u + static_cast<uint32_t>(y) * 0x85EBCA77u) >> 24;
    }
    uint16_t counts_[256] = {};
};

// What one worker owns: its matcher (and caches), its lists, and the sums of
// the block row it is working on, which cover only the rows that row's discs
// reach and are added to the shared sums once the row is done.
struct Worker {
    Worker(const DetailPyramid& reference, const DetailPyramid& search) : matcher(reference, search) {}
    PatchMatcher matcher;
    CandidateList current;
    CandidateList next;
    std::vector<int32_t> sums;
    std::vector<int32_t> counts;
    std::vector<int32_t> rowSads;  // one window row of sums per angle
    PositionFilter nextPositions;  // of the entries of next
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

void requireDiscsInBand(const PassParams& params, int32_t m, const DetailPyramid& reference, int32_t firstLevel) {
    // The last block starts less than m before the band's end; its centre
    // lies half a step further and its disc r0 beyond that.
    const int32_t step = params.blockStep;
    if (step < 1 || step / 2 + params.patchRadius > m)
        throw std::invalid_argument("block discs reach past the margin");
    const ByteImage& band = reference.level(0);
    for (int32_t l = 1; l <= firstLevel; ++l) {
        const int32_t r = ((1 << l) / 2 + params.patchRadius) >> l;
        const ByteImage& level = reference.level(l);
        for (const auto& [side, levelSide] : {std::pair{band.width, level.width}, {band.height, level.height}}) {
            if (side - m <= m)
                continue;  // no blocks that way
            const int32_t first = m + step / 2;
            const int32_t last = first + (side - 2 * m - 1) / step * step;
            if ((first >> l) < r || (last >> l) + r >= levelSide)
                throw std::invalid_argument("a coarse block disc reaches past its level");
        }
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
                   ProcessingJob* job, MatchCountMap* map, int32_t threads) {
    const int32_t firstLevel = startLevel(params.patchRadius, searchPyramid.levelCount());
    requireDiscsInBand(params, m, referencePyramid, firstLevel);
    const int32_t w0 = detailIn.width;
    const int32_t h0 = detailIn.height;
    allocateOrThrow(detailOut, w0, h0);
    detailOut.fill(0);
    if (job)
        job->checkCancel();

    const int32_t step = params.blockStep;
    const int32_t r0 = params.patchRadius;
    const ScaleRange scales = scaleRangeFor(params.scaleMode);
    const int32_t fineCapacity = std::min(params.maxMatchesFine, MaxFinalCandidates);

    // Sums and counts of every pixel; integer, so the order in which the
    // workers add to them does not matter.
    std::vector<int32_t> sums(static_cast<size_t>(w0) * static_cast<size_t>(h0), 0);
    std::vector<int32_t> counts(sums.size(), 0);
    std::mutex sumsLock;
    if (map) {
        allocateOrThrow(*map, (w0 - 2 * m + step - 1) / step, (h0 - 2 * m + step - 1) / step);
        map->fill(0);
    }
    const int32_t s0 = job ? job->subProgress : 0;

    const int32_t searchW0 = searchPyramid.level(0).width;
    const int32_t searchH0 = searchPyramid.level(0).height;
    const int32_t blockRows = h0 - m > m ? (h0 - 2 * m + step - 1) / step : 0;
    const FinalDiscs discs(r0, scales, w0);
    const int32_t stripRows = 2 * r0 + 1;

    ParallelRows rows(job, threads, blockRows);
    std::vector<Worker> workers;
    workers.reserve(static_cast<size_t>(rows.workerCount()));
    for (int32_t i = 0; i < rows.workerCount(); ++i)
        workers.emplace_back(referencePyramid, searchPyramid);

    rows.run([&](int32_t row, int32_t workerIndex) {
        Worker& worker = workers[static_cast<size_t>(workerIndex)];
        CandidateList& current = worker.current;
        CandidateList& next = worker.next;
        const int32_t by = m + row * step;
        // Progress follows the furthest block row started by any worker; only
        // the calling thread publishes it.
        auto publishProgress = [&] {
            if (workerIndex == 0 && job)
                job->setSubProgress(s0 + (97 - s0) * ((rows.rowsStarted() - 1) * step) / (h0 - 2 * m));
        };
        publishProgress();

        // The discs of this block row reach rows top .. top + 2 r0.
        const int32_t top = by + step / 2 - r0;
        worker.sums.assign(static_cast<size_t>(stripRows) * static_cast<size_t>(w0), 0);
        worker.counts.assign(worker.sums.size(), 0);

        for (int32_t bx = m; bx < w0 - m; bx += step) {
            rows.checkpoint(workerIndex);
            if (rows.workerCount() > 1)
                publishProgress();
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
                    // Exhaustive search of the window around the block: the
                    // sums of a whole window row per angle at once, then
                    // offered in the order of the position-by-position loop
                    // (row, column, angle).
                    const int32_t win = params.searchRadius >> l;
                    const int32_t yEnd = std::min(level.height - 2 * r - 1, (sy >> l) + win);
                    const int32_t xEnd = std::min(level.width - 2 * r - 1, (sx >> l) + win);
                    const int32_t xStart = std::max(2 * r, (sx >> l) - win);
                    const int32_t s = (scales.smin + scales.smax) / 2;
                    const int32_t angles = (AngleCount + angleStep - 1) / angleStep;
                    const int32_t width = xEnd - xStart;
                    if (width <= 0)
                        continue;
                    worker.rowSads.resize(static_cast<size_t>(angles) * static_cast<size_t>(width));
                    for (int32_t y = std::max(2 * r, (sy >> l) - win); y < yEnd; ++y) {
                        for (int32_t ai = 0; ai < angles; ++ai)
                            worker.matcher.scoreRow(l, y, xStart, xEnd, refX, refY, r, ai * angleStep, s,
                                                    worker.rowSads.data() + static_cast<size_t>(ai) * width);
                        int32_t limit = current.limit(capacity);
                        for (int32_t x = xStart; x < xEnd; ++x) {
                            for (int32_t ai = 0; ai < angles; ++ai) {
                                const int32_t sad = worker.rowSads[static_cast<size_t>(ai) * width + (x - xStart)];
                                if (sad >= 0 && sad < limit) {
                                    current.offer(Candidate{sad, x << l, y << l, ai * angleStep, s}, capacity);
                                    limit = current.limit(capacity);
                                }
                            }
                        }
                    }
                    continue;
                }

                // Refinement around each candidate of the coarser level. The
                // sums of the three positions of a row are taken together for
                // each angle and scale, then offered position by position.
                next.clear();
                worker.nextPositions.clear();
                for (int32_t qi = 0; qi < current.count(); ++qi) {
                    const Candidate q = current[qi];
                    const int32_t sFirst = std::max(scales.smin, q.s - scaleStep);
                    const int32_t sLast = std::min(scales.smax, q.s + scaleStep);
                    const int32_t x0 = (q.x >> l) - 1;
                    auto holds = [&](int32_t xx, int32_t yy) {
                        if (!worker.nextPositions.mayHold(xx << l, yy << l))
                            return false;
                        for (int32_t ni = 0; ni < next.count(); ++ni)
                            if (next[ni].x == (xx << l) && next[ni].y == (yy << l))
                                return true;
                        return false;
                    };
                    int32_t runSads[3][ScaleCount][3];
                    auto score = [&](int32_t yy, int32_t from, int32_t to) {
                        for (int32_t ai = 0; ai < 3; ++ai) {
                            const int32_t a = (q.a + (ai - 1) * angleStep + AngleCount) & (AngleCount - 1);
                            int32_t run[3];
                            for (int32_t s = sFirst, si = 0; s <= sLast; s += scaleStep, ++si) {
                                worker.matcher.scoreRun(l, yy, from, to, refX, refY, r, a, s, run);
                                std::copy(run, run + (to - from), runSads[ai][si] + (from - x0));
                            }
                        }
                    };
                    for (int32_t yy = (q.y >> l) - 1; yy <= (q.y >> l) + 1; ++yy) {
                        // Positions next already holds are skipped, so only
                        // the others are scored, together. Offering may drop
                        // the entry that made a position held; such a
                        // position is scored when its turn comes.
                        bool scored[3] = {false, false, false};
                        int32_t from = 3, to = 0;
                        for (int32_t i = 0; i < 3; ++i) {
                            if (!holds(x0 + i, yy)) {
                                from = std::min(from, i);
                                to = i + 1;
                            }
                        }
                        if (from < to) {
                            score(yy, x0 + from, x0 + to);
                            for (int32_t i = from; i < to; ++i)
                                scored[i] = true;
                        }
                        for (int32_t xx = x0; xx <= x0 + 2; ++xx) {
                            if (holds(xx, yy))
                                continue;
                            if (!scored[xx - x0]) {
                                score(yy, xx, xx + 1);
                                scored[xx - x0] = true;
                            }
                            for (int32_t ai = 0; ai < 3; ++ai) {
                                const int32_t a = (q.a + (ai - 1) * angleStep + AngleCount) & (AngleCount - 1);
                                for (int32_t s = sFirst, si = 0; s <= sLast; s += scaleStep, ++si) {
                                    const int32_t sad = runSads[ai][si][xx - x0];
                                    if (sad < 0 || !next.accepts(sad, capacity))
                                        continue;
                                    // A full list drops its last entry for this one.
                                    if (next.count() >= capacity) {
                                        const Candidate& dropped = next[next.count() - 1];
                                        worker.nextPositions.remove(dropped.x, dropped.y);
                                    }
                                    next.offer(Candidate{sad, xx << l, yy << l, a, s}, capacity);
                                    worker.nextPositions.add(xx << l, yy << l);
                                }
                            }
                        }
                    }
                }
                current.copyFrom(next);
            }

            // Average the discs of the candidates under the cutoff; the first
            // (best) one always counts.
            const int32_t candidates = std::min(current.count(), MaxFinalCandidates);
            int32_t accepted = 0;
            if (candidates > 0) {
                const int32_t threshold = discs.pointCount * params.cutoff;
                accepted = 1;
                while (accepted < candidates && current[accepted].sad < threshold)
                    ++accepted;
            }
            if (map)
                map->at((bx - m) / step, (by - m) / step) = accepted;
            if (accepted == 0)
                continue;

            // The whole disc lies in the band: point j lands at a fixed
            // offset from the block's centre in this row's sums.
            const int32_t points = discs.pointCount;
            int32_t* sums = worker.sums.data() + cx;
            int32_t* counts = worker.counts.data() + cx;
            const int32_t* targets = discs.stripOffsets.data();
            for (int32_t j = 0; j < points; ++j)
                counts[targets[j]] += accepted;
            for (int32_t i = 0; i < accepted; ++i) {
                const Candidate& c = current[i];
                const uint8_t* base = detailIn.data + static_cast<ptrdiff_t>(c.y) * w0 + c.x;
                const int32_t* offsets = discs.offsetsFor(c).data();
                for (int32_t j = 0; j < points; ++j)
                    sums[targets[j]] += base[offsets[j]];
            }
        }

        std::lock_guard<std::mutex> lock(sumsLock);
        for (int32_t y = 0; y < stripRows; ++y) {
            const size_t from = static_cast<size_t>(y) * static_cast<size_t>(w0);
            const size_t to = static_cast<size_t>(top + y) * static_cast<size_t>(w0);
            for (int32_t x = 0; x < w0; ++x) {
                sums[to + static_cast<size_t>(x)] += worker.sums[from + static_cast<size_t>(x)];
                counts[to + static_cast<size_t>(x)] += worker.counts[from + static_cast<size_t>(x)];
            }
        }
    });
    // Where the single-threaded loop leaves it, whichever thread did the last
    // rows.
    if (job && blockRows > 0)
        job->setSubProgress(s0 + (97 - s0) * ((blockRows - 1) * step) / (h0 - 2 * m));
    if (job)
        job->checkCancel();

    // A pixel no disc reached keeps its input detail: zero would stand for
    // -128 and darken what is added back.
    const size_t n = detailOut.pixelCount();
    for (size_t i = 0; i < n; ++i)
        detailOut.data[i] = counts[i] > 0 ? static_cast<uint8_t>(std::clamp(sums[i] / counts[i], 0, 255))
                                          : detailIn.data[i];
}
