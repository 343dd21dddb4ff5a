#pragma once

#include "core/bitmap.h"

// How much the picture changes from one 8 x 8 block to the next, in 8-bit
// steps of the channels' mean: the root mean square difference of adjacent
// block means, less what noise of deviation noiseSigma puts there. Near 0
// for a flat sky, tens for a busy scene. 0 for pictures with fewer than two
// whole blocks.
float estimateStructure(const Bitmap& picture, float noiseSigma);
