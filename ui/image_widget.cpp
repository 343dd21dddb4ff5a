#include "ui/image_widget.h"

#include "ui/draw.h"

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

void ImageWidget::Paint(Bitmap& canvas, const Rect& clip) {
    if (!picture || picture->isEmpty())
        return;
    CopyNearest copy(picture);
    BlendNearest blended(picture);
    SpanOp& op = blend ? static_cast<SpanOp&>(blended) : static_cast<SpanOp&>(copy);
    DrawImage(canvas, bounds.left(), bounds.top(), picture->width, picture->height, 0, 0, op, &clip);
}
