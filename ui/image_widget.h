#pragma once

#include "platform/device_layer.h"
#include "ui/widget.h"

#include <vector>

// Shows a picture one to one at its top-left corner, copied or blended with
// the picture's own alpha. Does not own the picture.
class ImageWidget : public Widget {
public:
    ImageWidget(Point position, const Bitmap* picture, bool blend);
    int32_t TypeId() const override { return TypeImageWidget; }
    void Paint(Bitmap& canvas, const Rect& clip) override;

    // Shows another picture; the bounds take its size at the same corner.
    void SetPicture(const Bitmap* picture);

    // The same picture at the screen's resolution, shown instead of it when
    // the window's device scale is above 1 and it is that many times the
    // size; null for none. Not owned.
    void SetDevicePicture(const Bitmap* p);

    const Bitmap* picture = nullptr;
    const Bitmap* devicePicture = nullptr;
    bool blend = false;
};

// The device pictures of the image widgets under root, each clipped to its
// ancestors as painting would, in painting order; none at a scale of 1.
std::vector<DeviceLayer> DeviceLayersIn(Widget& root, int32_t scale);
