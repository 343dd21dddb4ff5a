#pragma once

#include "core/geometry.h"

#include <cstdint>

// Rectangle arithmetic of the widget toolkit. Coordinates are back-buffer
// pixels; right and bottom are exclusive.

// The reset value of bounds and dirty areas: the first union with any real
// rectangle yields that rectangle.
inline constexpr int32_t EmptyRectExtent = 1 << 30;
inline Rect EmptyRect() { return Rect(EmptyRectExtent, EmptyRectExtent, -EmptyRectExtent, -EmptyRectExtent); }

// Grows r to include other, coordinate by coordinate.
inline void UnionInto(Rect& r, const Rect& other) {
    if (other.topLeft.x < r.topLeft.x) r.topLeft.x = other.topLeft.x;
    if (other.topLeft.y < r.topLeft.y) r.topLeft.y = other.topLeft.y;
    if (other.bottomRight.x > r.bottomRight.x) r.bottomRight.x = other.bottomRight.x;
    if (other.bottomRight.y > r.bottomRight.y) r.bottomRight.y = other.bottomRight.y;
}

// Clamps each coordinate of r into the x or y range of other: the
// intersection for overlapping rectangles, otherwise an empty rectangle on
// an edge of other.
inline void ClampInto(Rect& r, const Rect& other) {
    auto clamp = [](int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); };
    r.topLeft.x = clamp(r.topLeft.x, other.topLeft.x, other.bottomRight.x);
    r.bottomRight.x = clamp(r.bottomRight.x, other.topLeft.x, other.bottomRight.x);
    r.topLeft.y = clamp(r.topLeft.y, other.topLeft.y, other.bottomRight.y);
    r.bottomRight.y = clamp(r.bottomRight.y, other.topLeft.y, other.bottomRight.y);
}

inline Rect ClampedInto(Rect r, const Rect& other) {
    ClampInto(r, other);
    return r;
}

inline bool Contains(const Rect& r, int32_t x, int32_t y) {
    return x >= r.left() && x < r.right() && y >= r.top() && y < r.bottom();
}

// Bounding box of n points; right and bottom are one past the largest x and y.
inline Rect BoundingBox(const Point* points, int32_t n) {
    Rect r = EmptyRect();
    for (int32_t i = 0; i < n; ++i)
        UnionInto(r, Rect(points[i].x, points[i].y, points[i].x, points[i].y));
    if (n > 0) {
        r.bottomRight.x += 1;
        r.bottomRight.y += 1;
    }
    return r;
}
