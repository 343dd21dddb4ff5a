#pragma once

#include "ui/clip_panel.h"
#include "ui/slider.h"
#include "ui/widget.h"

// A viewport with scroll bars on the right and at the bottom (19 pixels
// each, present only when the content overhangs). The caller adds the
// scrolled widgets to Content().
class ScrollView : public Widget {
public:
    ScrollView(Point position, ::Size size);
    int32_t TypeId() const override { return TypeScrollView; }
    void Update(const InputState& snapshot) override;

    ClipPanel* Content() const { return content; }
    // Rebuilds the bars for the current extent.
    void Layout();

    ClipPanel* content;
    Slider* hBar = nullptr;
    Slider* vBar = nullptr;
    Rect extent;
};
