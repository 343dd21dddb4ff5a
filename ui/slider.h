#pragma once

#include "ui/button.h"
#include "ui/image_widget.h"
#include "ui/widget.h"

// A scroll-bar style slider: decrement arrow, groove, thumb and increment
// arrow, each 19 pixels across. Arrows move by step, a click in the groove
// by page toward the mouse, and the thumb can be dragged.
class Slider : public Widget {
public:
    Slider(Point position, int32_t length, int32_t thumbLength, int32_t minimum, int32_t maximum, int32_t value,
           bool showValue, bool horizontal, int32_t step, int32_t page);
    int32_t TypeId() const override { return TypeSlider; }
    void Update(const InputState& snapshot) override;

    // Moves the thumb to where value lies (and re-renders its text when it
    // shows the value). Call after writing value.
    void Reposition();

    int32_t minimum, maximum, value;
    int32_t step, page;
    bool showValue;
    bool horizontal;
    Button* decrementButton;
    Button* incrementButton;
    ImageWidget* groove;
    Button* thumb;
    bool changed = false;  // one frame

private:
    static constexpr int32_t NoDrag = 1 << 30;

    int32_t Axis(Point p) const { return horizontal ? p.x : p.y; }
    int32_t AxisLength(const Rect& r) const { return horizontal ? r.width() : r.height(); }
    int32_t Clamped(int64_t v) const;
    void ResetDrag();

    Bitmap groovePicture_;
    Point dragMouseStart_, dragMouseLast_, dragThumbStart_;
};
