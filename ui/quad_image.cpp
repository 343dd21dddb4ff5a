#include "ui/quad_image.h"

#include "ui/draw.h"
#include "ui/rect_ops.h"

#include <cmath>

namespace {

int32_t Floor(float v) {
    // Positions beyond the filler's reach are never drawn; keep the
    // conversion defined for them.
    const double f = std::floor(static_cast<double>(v));
    if (!(f > -1073741824.0))
        return -1073741824;
    if (f > 1073741823.0)
        return 1073741823;
    return static_cast<int32_t>(f);
}

}  // namespace

void QuadImage::SetCorners(const QuadCorner c[4]) {
    Point points[4];
    for (int32_t i = 0; i < 4; ++i) {
        corners[i] = c[i];
        points[i] = Point{Floor(c[i].x), Floor(c[i].y)};
    }
    SetBounds(BoundingBox(points, 4));
}

void QuadImage::Paint(Bitmap& canvas, const Rect& clip) {
    if (!picture || picture->isEmpty())
        return;
    CopyNearest copyNearest(picture);
    BlendNearest blendNearest(picture);
    CopyBilinear copyBilinear(picture);
    BlendBilinear blendBilinear(picture);
    SpanOp& op = bilinear ? (blend ? static_cast<SpanOp&>(blendBilinear) : static_cast<SpanOp&>(copyBilinear))
                          : (blend ? static_cast<SpanOp&>(blendNearest) : static_cast<SpanOp&>(copyNearest));
    // Perimeter order: bottom-left, bottom-right, top-right, top-left.
    const int32_t order[4] = {2, 3, 1, 0};
    PolygonVertex v[4];
    for (int32_t i = 0; i < 4; ++i) {
        const QuadCorner& c = corners[order[i]];
        v[i].x = c.x;
        v[i].y = c.y;
        v[i].values[0] = c.u;
        v[i].values[1] = c.v;
    }
    FillPolygon(canvas, v, 4, op, &clip);
}
