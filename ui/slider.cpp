#include "ui/slider.h"

#include "ui/rect_ops.h"
#include "ui/ui_resources.h"

#include <algorithm>

namespace {

const Bitmap* Arrow(Bitmap UiResources::*which) { return TheUiResources ? &(TheUiResources->*which) : nullptr; }

}  // namespace

Slider::Slider(Point position, int32_t length, int32_t thumbLength, int32_t minimum, int32_t maximum,
               int32_t value, bool showValue, bool horizontal, int32_t step, int32_t page)
    : minimum(minimum), maximum(maximum), value(value), step(step), page(page), showValue(showValue),
      horizontal(horizontal) {
    const int32_t x = position.x, y = position.y;
    const char* text = showValue ? CStr(Format("%d", value)) : nullptr;
    length = std::max(length, 0);
    thumbLength = std::max(thumbLength, 1);
    if (horizontal) {
        decrementButton = new Button(position, Arrow(&UiResources::arrowLeft), nullptr, 19, 19);
        thumb = new Button(Point{x + 19, y}, nullptr, text, thumbLength, 19);
        incrementButton = new Button(Point{x + length + 19, y}, Arrow(&UiResources::arrowRight), nullptr, 19, 19);
    } else {
        decrementButton = new Button(position, Arrow(&UiResources::arrowUp), nullptr, 19, 19);
        thumb = new Button(Point{x, y + 19}, nullptr, text, 19, thumbLength);
        incrementButton = new Button(Point{x, y + length + 19}, Arrow(&UiResources::arrowDown), nullptr, 19, 19);
    }

    // A transparent strip with an opaque grey track 8 pixels wide.
    if (horizontal ? groovePicture_.resize(length, 19) : groovePicture_.resize(19, length)) {
        groovePicture_.fill(packPixel(0, 0, 0, 0));
        for (int32_t j = 0; j < length; ++j)
            for (int32_t i = 5; i <= 12; ++i) {
                if (horizontal)
                    groovePicture_.at(j, i) = packPixel(128, 128, 128, 255);
                else
                    groovePicture_.at(i, j) = packPixel(128, 128, 128, 255);
            }
    }
    groove = new ImageWidget(horizontal ? Point{x + 19, y} : Point{x, y + 19}, &groovePicture_, true);

    AddChild(decrementButton);
    AddChild(incrementButton);
    AddChild(groove);
    AddChild(thumb);
    FitToChildren();
    ResetDrag();
    Reposition();
    changed = false;
}

int32_t Slider::Clamped(int64_t v) const {
    return static_cast<int32_t>(std::clamp<int64_t>(v, minimum, std::max(minimum, maximum)));
}

void Slider::ResetDrag() {
    dragMouseStart_ = dragMouseLast_ = dragThumbStart_ = Point{NoDrag, NoDrag};
}

void Slider::Reposition() {
    const int64_t range = AxisLength(groove->bounds) - AxisLength(thumb->bounds);
    const int64_t span = int64_t{maximum} - minimum;
    const int32_t grooveStart = Axis(groove->bounds.topLeft);
    int32_t position = grooveStart;
    if (span > 0)
        position = grooveStart + static_cast<int32_t>((range * (int64_t{value} - minimum) + span / 2) / span);
    if (showValue)
        thumb->SetText(CStr(Format("%d", value)));
    const int32_t delta = position - Axis(thumb->bounds.topLeft);
    if (delta == 0)
        return;
    thumb->MarkDirty();
    thumb->Offset(horizontal ? delta : 0, horizontal ? 0 : delta);
    thumb->MarkDirty();
}

// The drag maps the thumb's start plus the mouse's travel onto the value:
//   press on thumb       record mouse (start, last) and thumb corner
//   move while held      p = thumb start + travel - groove start, clamped
//                        to 0 .. range; value = min + (p * span + range / 2) / range
//   release              forget the record
void Slider::Update(const InputState& snapshot) {
    changed = false;
    const int32_t old = value;
    if (decrementButton->clicked)
        value = Clamped(int64_t{value} - step);
    if (incrementButton->clicked)
        value = Clamped(int64_t{value} + step);

    const Point mouse{snapshot.mouseX, snapshot.mouseY};
    if ((snapshot.pressed & MouseLeft) && Contains(groove->bounds, mouse.x, mouse.y)) {
        const int32_t m = Axis(mouse);
        const int32_t direction =
            m < Axis(thumb->bounds.topLeft) ? -1 : (m >= Axis(thumb->bounds.bottomRight) ? 1 : 0);
        value = Clamped(int64_t{value} + int64_t{page} * direction);
    }

    if (!thumb->pressed) {
        ResetDrag();
    } else if (dragMouseStart_.x == NoDrag) {
        dragMouseStart_ = dragMouseLast_ = mouse;
        dragThumbStart_ = thumb->bounds.topLeft;
    } else if (Axis(mouse) != Axis(dragMouseLast_)) {
        const int64_t range = AxisLength(groove->bounds) - AxisLength(thumb->bounds);
        const int64_t span = int64_t{maximum} - minimum;
        const int64_t p = std::clamp<int64_t>(int64_t{Axis(dragThumbStart_)} - Axis(dragMouseStart_) +
                                                  Axis(mouse) - Axis(groove->bounds.topLeft),
                                              0, std::max<int64_t>(range, 0));
        value = Clamped(range >= 1 ? minimum + (p * span + range / 2) / range : minimum);
        dragMouseLast_ = mouse;
    }

    if (value != old) {
        Reposition();
        changed = true;
    }
}
