#pragma once

#include "core/bitmap.h"

#include <cstdint>

// Turns a picture stored with the given EXIF/TIFF orientation (1-8) upright:
// 2 mirrors it, 3 turns it half round, 4 flips it, 5 transposes it, 6 turns
// it a quarter clockwise, 7 transposes it the other way, 8 turns it a
// quarter anticlockwise. 1 and values out of range leave it as it is. False
// when memory runs out (the picture is then unchanged).
bool orientUpright(Bitmap& bitmap, int32_t orientation);
