#pragma once

#include "core/bitmap.h"
#include "core/geometry.h"
#include "ui/span_op.h"

#include <cstdint>

// Fills the destination rectangle (x, y, x + width, y + height), clamped into
// clip and the canvas (the canvas alone when clip is null), with one span per
// row. Row y' starting at column x0 samples from u = (x0 - x) * stepX + srcX,
// v = (y' - y) * stepY + srcY and steps by (stepX, 0): v stays fixed along a
// row, so scaled pictures are not sheared.
void DrawImage(Bitmap& canvas, int32_t x, int32_t y, int32_t width, int32_t height, float srcX, float srcY,
               SpanOp& op, const Rect* clip, float stepX = 1.0f, float stepY = 1.0f);

// One corner of a filled polygon: destination position and up to two source
// coordinates, interpolated across the polygon for ops that sample.
struct PolygonVertex {
    float x = 0;
    float y = 0;
    float values[2] = {0, 0};
};

// Fills a convex polygon in scanline order, clipped to clip and the canvas.
// Vertices 16384 pixels or more from the origin draw nothing, as does a
// polygon lying wholly outside the clip (no span is issued then).
void FillPolygon(Bitmap& canvas, const PolygonVertex* vertices, int32_t count, SpanOp& op, const Rect* clip);
