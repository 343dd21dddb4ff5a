#include "ui/image_widget.h"

#include "ui/draw.h"
#include "ui/rect_ops.h"

namespace {

Rect PictureRect(Point p, const Bitmap* picture) {
    const int32_t w = picture ? picture->width : 0, h = picture ? picture->height : 0;
    return Rect(p.x, p.y, p.x + w, p.y + h);
}

}  // namespace

ImageWidget::ImageWidget(Point position, const Bitmap* picture, bool blend) : picture(picture), blend(blend) {
    bounds = PictureRect(position, picture);
}

void ImageWidget::SetPicture(const Bitmap* p) {
    picture = p;
    SetBounds(PictureRect(bounds.topLeft, p));
}

void ImageWidget::SetDevicePicture(const Bitmap* p) {
    devicePicture = p;
    MarkDirty();
}

namespace {

void CollectLayers(Widget* widget, const Rect& clip, int32_t scale, std::vector<DeviceLayer>& layers) {
    const Rect r = ClampedInto(widget->bounds, clip);
    if (r.isEmpty())
        return;
    for (int32_t i = 0; i < widget->ChildCount(); ++i)
        CollectLayers(widget->Child(i), r, scale, layers);
    if (widget->TypeId() != TypeImageWidget)
        return;
    const DeviceLayer layer{r, widget->Position(), static_cast<ImageWidget*>(widget)->devicePicture};
    if (LayerFits(layer, scale))
        layers.push_back(layer);
}

}  // namespace

std::vector<DeviceLayer> DeviceLayersIn(Widget& root, int32_t scale) {
    std::vector<DeviceLayer> layers;
    if (scale > 1)
        CollectLayers(&root, root.bounds, scale, layers);
    return layers;
}

void ImageWidget::Paint(Bitmap& canvas, const Rect& clip) {
    if (!picture || picture->isEmpty())
        return;
    CopyNearest copy(picture);
    BlendNearest blended(picture);
    SpanOp& op = blend ? static_cast<SpanOp&>(blended) : static_cast<SpanOp&>(copy);
    DrawImage(canvas, bounds.left(), bounds.top(), picture->width, picture->height, 0, 0, op, &clip);
}
