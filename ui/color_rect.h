#pragma once

#include "ui/widget.h"

// A rectangle of one colour: blended when the colour has alpha, written as
// is (alpha 0 included) when it has none.
class ColorRect : public Widget {
public:
    ColorRect(const Rect& r, uint32_t colour) : colour(colour) { bounds = r; }
    int32_t TypeId() const override { return TypeColorRect; }
    void Paint(Bitmap& canvas, const Rect& clip) override;

    uint32_t colour;
};
