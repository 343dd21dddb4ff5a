#pragma once

#include "core/bitmap.h"
#include "engine/engine_settings.h"

#include <cstdint>

class ProcessingJob;

// The two bands of a picture: the colour blurred at the split radius, and the
// grey detail (luminance minus its blur) coded as bytes with 128 for zero.
struct BandSplit {
    Bitmap lowPass;
    ByteImage detail;
};
BandSplit splitBands(const Bitmap& image, float splitRadius, int32_t threads = 1);

// Adds detail - 128 to the red, green and blue of every pixel of lowPass,
// repeats times, clamping each time; alpha becomes 255.
Bitmap mergeDetail(const Bitmap& lowPass, const ByteImage& detail, int32_t repeats, int32_t threads = 1);

// The picture with margin replicated edge pixels on every side.
Bitmap padByReplication(const Bitmap& image, int32_t margin);

// One denoise/magnify pass over job.workingImage, replaced only at the end:
// split, rebuild the detail from similar discs, add it back, crop the margin.
// passNumber only labels the pass. map, when given, receives the match
// counts per block. Throws the job's state when it is cancelled. The heavy
// loops use job.threadCount threads; the result does not depend on it.
void runDenoisePass(ProcessingJob& job, int32_t passNumber, const PassParams& params, MatchCountMap* map);
