#pragma once

#include "core/bitmap.h"
#include "core/geometry.h"

#include <cstdint>

// A picture shown at the screen's own resolution over part of the back
// buffer: it has the device scale's square of screen pixels for each client
// pixel, its top-left corner falls on origin, and only the part inside shown
// (client coordinates) appears. The picture stays its owner's.
struct DeviceLayer {
    Rect shown;
    Point origin;
    const Bitmap* picture = nullptr;
};

// True when the picture covers shown at that scale from origin, so that the
// backend may show it.
inline bool LayerFits(const DeviceLayer& layer, int32_t scale) {
    if (scale <= 1 || !layer.picture || layer.shown.isEmpty())
        return false;
    const Rect& r = layer.shown;
    return r.left() >= layer.origin.x && r.top() >= layer.origin.y &&
           int64_t{r.right() - layer.origin.x} * scale <= layer.picture->width &&
           int64_t{r.bottom() - layer.origin.y} * scale <= layer.picture->height;
}
