#pragma once

#include "core/bitmap.h"
#include "engine/denoise.h"
#include "engine/detail_pyramid.h"
#include "engine/engine_settings.h"
#include "engine/gaussian.h"

#include <cstdint>

class ProcessingJob;

// The straightforward single-threaded versions of the heavy steps, written
// for clarity rather than speed: one loop per definition, every kernel tap
// clamped, the sample patterns of the search rebuilt whenever the radius
// changes. The fast versions must give the same bits; the tests compare the
// two and the benchmarks time them side by side.

void convolveReference(const GaussianKernel& kernel, const FloatImage& in, FloatImage& out);
void gaussianBlurReference(const FloatImage& in, float sigma, FloatImage& out);
BandSplit splitBandsReference(const Bitmap& image, float splitRadius);

void averageDetailReference(const DetailPyramid& referencePyramid, const DetailPyramid& searchPyramid,
                            const ByteImage& detailIn, ByteImage& detailOut, const PassParams& params, int32_t m,
                            ProcessingJob* job, MatchCountMap* map);

// Whole passes built from the reference steps; job.threadCount is ignored.
void runDenoisePassReference(ProcessingJob& job, int32_t passNumber, const PassParams& params, MatchCountMap* map);
void runDeblurPassReference(ProcessingJob& job, const DeblurSettings& settings);
