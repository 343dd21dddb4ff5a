#include "ui/color_rect.h"

#include "ui/draw.h"

void ColorRect::Paint(Bitmap& canvas, const Rect& clip) {
    FillSolid solid(colour);
    FillBlend blend(colour);
    SpanOp& op = pixelAlpha(colour) ? static_cast<SpanOp&>(blend) : static_cast<SpanOp&>(solid);
    DrawImage(canvas, clip.left(), clip.top(), clip.width(), clip.height(), 0, 0, op, &clip);
}
