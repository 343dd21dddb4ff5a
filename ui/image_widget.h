#pragma once

#include "ui/widget.h"

// Shows a picture one to one at its top-left corner, copied or blended with
// the picture's own alpha. Does not own the picture.
class ImageWidget : public Widget {
public:
    ImageWidget(Point position, const Bitmap* picture, bool blend);
    int32_t TypeId() const override { return TypeImageWidget; }
    void Paint(Bitmap& canvas, const Rect& clip) override;

    // Shows another picture; the bounds take its size at the same corner.
    void SetPicture(const Bitmap* picture);

    const Bitmap* picture = nullptr;
    bool blend = false;
};
