#pragma once

#include "core/bitmap.h"
#include "engine/engine_settings.h"

#include <cstdint>

class ProcessingJob;

// The match-count map at 16.16 fixed-point cell coordinates (fx, fy), read
// bilinearly with the fractions cut to eighths and the shared weight table;
// cells outside the grid repeat the nearest edge cell.
int32_t sampleMatchCountMap(const MatchCountMap& map, int32_t fx, int32_t fy);

// Luminance Laplacian of image, neighbours clamped to the image.
FloatImage laplacianOf(const FloatImage& image, int32_t threads = 1);

// Shock-filter sharpening of job.workingImage's luminance, its strength
// following the match counts that the first denoise pass left in
// settings.map. The colour of each pixel is scaled by one ratio. The working
// image is replaced only after the last checkpoint. Throws the job's state
// when it is cancelled. The rows are shared among job.threadCount threads;
// the result does not depend on their number.
void runDeblurPass(ProcessingJob& job, const DeblurSettings& settings);
