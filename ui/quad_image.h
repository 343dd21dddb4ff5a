#pragma once

#include "ui/widget.h"

// One corner of a quad: destination position and source position, in pixels.
struct QuadCorner {
    float x, y, u, v;
};

// A picture mapped onto a four-cornered shape through the polygon filler.
// Corners are given top-left, top-right, bottom-left, bottom-right of the
// source region. Does not own the picture.
class QuadImage : public Widget {
public:
    QuadImage(const Bitmap* picture, bool blend, bool bilinear)
        : picture(picture), blend(blend), bilinear(bilinear) {}
    int32_t TypeId() const override { return TypeQuadImage; }
    void Paint(Bitmap& canvas, const Rect& clip) override;

    // Stores the corners; the bounds become their bounding box (positions
    // rounded down, right and bottom one past).
    void SetCorners(const QuadCorner corners[4]);

    const Bitmap* picture;
    QuadCorner corners[4] = {};
    bool blend;
    bool bilinear;
};
