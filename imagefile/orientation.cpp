#include "imagefile/orientation.h"

bool orientUpright(Bitmap& bitmap, int32_t orientation) {
    if (orientation < 2 || orientation > 8 || bitmap.isEmpty())
        return true;
    const int32_t sw = bitmap.width, sh = bitmap.height;
    const bool swap = orientation >= 5;
    Bitmap upright;
    if (!upright.resize(swap ? sh : sw, swap ? sw : sh))
        return false;
    const int32_t w = upright.width, h = upright.height;
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* target = upright.elementAt(0, y);
        for (int32_t x = 0; x < w; ++x) {
            // Which stored pixel is seen at (x, y) once upright.
            int32_t sx = x, sy = y;
            switch (orientation) {
            case 2: sx = sw - 1 - x; break;
            case 3: sx = sw - 1 - x, sy = sh - 1 - y; break;
            case 4: sy = sh - 1 - y; break;
            case 5: sx = y, sy = x; break;
            case 6: sx = y, sy = sh - 1 - x; break;
            case 7: sx = sw - 1 - y, sy = sh - 1 - x; break;
            default: sx = sw - 1 - y, sy = x; break;  // 8
            }
            target[x] = bitmap.at(sx, sy);
        }
    }
    bitmap.moveFrom(upright);
    return true;
}
