#include "ui/draw.h"

#include "ui/rect_ops.h"

#include <algorithm>
#include <cmath>

namespace {

Rect EffectiveClip(const Bitmap& canvas, const Rect* clip) {
    Rect e = canvas.bounds();
    if (clip)
        e = ClampedInto(*clip, e);
    return e;
}

int32_t Saturate(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

void DrawImage(Bitmap& canvas, int32_t x, int32_t y, int32_t width, int32_t height, float srcX, float srcY,
               SpanOp& op, const Rect* clip, float stepX, float stepY) {
    if (canvas.isEmpty() || width <= 0 || height <= 0)
        return;
    const Rect e = EffectiveClip(canvas, clip);
    Rect r(x, y, Saturate(int64_t{x} + width), Saturate(int64_t{y} + height));
    ClampInto(r, e);
    if (r.isEmpty())
        return;
    const float u = static_cast<float>(r.left() - x) * stepX + srcX;
    for (int32_t row = r.top(); row < r.bottom(); ++row) {
        const float v = static_cast<float>(row - y) * stepY + srcY;
        uint32_t* line = canvas.elementAt(0, row);
        op.Span(line + r.left(), line + r.right(), RealValues(u, v), RealValues(stepX, 0.0f), false);
    }
}

namespace {

struct FixedVertex {
    int64_t x, y;  // 16.16
    int64_t values[2];
};

// Walks one side of the polygon row by row, from the top vertex toward
// decreasing or increasing vertex indices.
struct EdgeWalker {
    int32_t index;
    int32_t direction;
    int32_t rowsLeft = 0;
    int64_t x = 0, dx = 0;
    int64_t values[2] = {0, 0}, steps[2] = {0, 0};

    // Moves to the next edge that covers at least one row; false when the
    // polygon's edges are used up.
    bool NextEdge(const FixedVertex* v, int32_t n, int32_t k, int32_t& edgesLeft) {
        while (edgesLeft > 0) {
            const int32_t a = index, b = (index + direction + n) % n;
            --edgesLeft;
            index = b;
            const int64_t rows = (v[b].y >> 16) - (v[a].y >> 16);
            if (rows <= 0)
                continue;
            // Per row, with the start moved from a.y to the next row boundary.
            const int64_t dy = v[b].y - v[a].y + 1;
            const int64_t fraction = ~v[a].y & 0xFFFF;
            dx = (v[b].x - v[a].x) * 65536 / dy;
            x = v[a].x + ((dx * fraction) >> 16);
            for (int32_t i = 0; i < k; ++i) {
                steps[i] = (v[b].values[i] - v[a].values[i]) * 65536 / dy;
                values[i] = v[a].values[i] + ((steps[i] * fraction) >> 16);
            }
            rowsLeft = static_cast<int32_t>(rows);
            return true;
        }
        return false;
    }

    bool NextRow(const FixedVertex* v, int32_t n, int32_t k, int32_t& edgesLeft) {
        x += dx;
        for (int32_t i = 0; i < k; ++i)
            values[i] += steps[i];
        if (--rowsLeft > 0)
            return true;
        return NextEdge(v, n, k, edgesLeft);
    }
};

constexpr int32_t MaxPolygonVertices = 16;

}  // namespace

void FillPolygon(Bitmap& canvas, const PolygonVertex* vertices, int32_t count, SpanOp& op, const Rect* clip) {
    if (canvas.isEmpty() || count < 3 || count > MaxPolygonVertices)
        return;
    const Rect e = EffectiveClip(canvas, clip);
    if (e.isEmpty())
        return;
    const int32_t k = std::clamp(op.CoordinateCount(), 0, 2);

    FixedVertex v[MaxPolygonVertices];
    for (int32_t i = 0; i < count; ++i) {
        // The negated test also refuses NaN.
        if (!(std::fabs(vertices[i].x) < 16384.0f) || !(std::fabs(vertices[i].y) < 16384.0f))
            return;
        v[i].x = ToFixedSaturated(vertices[i].x);
        v[i].y = ToFixedSaturated(vertices[i].y);
        for (int32_t j = 0; j < 2; ++j)
            v[i].values[j] = j < k ? ToFixedSaturated(vertices[i].values[j]) : 0;
    }

    bool allLeft = true, allRight = true, allAbove = true, allBelow = true;
    int32_t top = 0;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t px = v[i].x >> 16, py = v[i].y >> 16;
        allLeft = allLeft && px < e.left();
        allRight = allRight && px >= e.right();
        allAbove = allAbove && py < e.top();
        allBelow = allBelow && py >= e.bottom();
        if (v[i].y < v[top].y)
            top = i;
    }
    if (allLeft || allRight || allAbove || allBelow)
        return;

    int32_t edgesLeft = count;
    EdgeWalker a{top, -1}, b{top, +1};
    if (!a.NextEdge(v, count, k, edgesLeft) || !b.NextEdge(v, count, k, edgesLeft))
        return;

    for (int64_t row = v[top].y >> 16; row < e.bottom(); ++row) {
        if (row >= e.top()) {
            const EdgeWalker* l = &a;
            const EdgeWalker* r = &b;
            if ((l->x >> 16) > (r->x >> 16))
                std::swap(l, r);
            int64_t xa = l->x >> 16;
            const int64_t xb = r->x >> 16;
            if (xa < xb && xb > e.left() && xa < e.right()) {
                const int64_t width = r->x - l->x + 1;
                const int64_t fraction = ~l->x & 0xFFFF;
                int64_t start[2] = {0, 0}, step[2] = {0, 0};
                for (int32_t i = 0; i < k; ++i) {
                    step[i] = (r->values[i] - l->values[i]) * 65536 / width;
                    start[i] = l->values[i] + ((step[i] * fraction) >> 16);
                }
                if (xa < e.left()) {
                    for (int32_t i = 0; i < k; ++i)
                        start[i] += step[i] * (e.left() - xa);
                    xa = e.left();
                }
                const int64_t end = std::min<int64_t>(xb, e.right());
                uint32_t* line = canvas.elementAt(0, static_cast<int32_t>(row));
                op.Span(line + xa, line + end, FixedValues(Saturate(start[0]), Saturate(start[1])),
                        FixedValues(Saturate(step[0]), Saturate(step[1])), true);
            }
        }
        if (!a.NextRow(v, count, k, edgesLeft) || !b.NextRow(v, count, k, edgesLeft))
            break;
    }
}
