#pragma once

#include "ui/widget.h"

// A plain container used to clip its children to a smaller rectangle than
// their owner's (the text of an edit field, the content of a scroll view).
class ClipPanel : public Widget {
public:
    ClipPanel() = default;
    explicit ClipPanel(const Rect& r) { bounds = r; }
    int32_t TypeId() const override { return TypeClipPanel; }
    bool QueryFlag() const override { return true; }
};
