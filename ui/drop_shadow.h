#pragma once

#include "core/bitmap.h"
#include "ui/quad_image.h"
#include "ui/widget.h"

// A soft shadow cast toward the lower right of a rectangle: five quads
// (three corners, the right and the lower edge) sharing one small blurred
// picture. It reaches 2 * margin pixels beyond the rectangle.
class DropShadow : public Widget {
public:
    static constexpr int32_t Margin = 10;

    DropShadow(Point position, ::Size size);
    int32_t TypeId() const override { return TypeDropShadow; }

    // Places the pieces around the rectangle; called again whenever the
    // shadowed widget moves or changes size.
    void Layout(Point position, ::Size size);

    Bitmap shadowPicture;  // (4 * margin) square, black with a blurred alpha
    int32_t margin = Margin;
    Point position;
    ::Size size;

private:
    QuadImage* pieces_[5] = {};
};

// A (4 * margin) square picture: a (2 * margin) square of ones in its middle,
// blurred with the given half width, scaled by 0.75 and turned into the
// alpha of opaque black.
bool BuildShadowPicture(float radius, int32_t margin, Bitmap& picture);
