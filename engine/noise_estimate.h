#pragma once

#include "core/bitmap.h"

// The standard deviation, in 8-bit steps, of white noise added to each colour
// channel of the picture, estimated from the picture alone. 0 for pictures
// smaller than 3 x 3 or with no usable pixel.
float estimateNoiseSigma(const Bitmap& picture);
