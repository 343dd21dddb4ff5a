#pragma once

#include "ui/button.h"
#include "ui/widget.h"

// Makes up to eight toggle buttons mutually exclusive. The selected member
// cannot be clicked off.
class RadioGroup : public Widget {
public:
    static constexpr int32_t MaxMembers = 8;

    // Takes ownership of the given buttons (trailing ones may be null) and
    // selects the first that is on.
    RadioGroup(Button* b1, Button* b2 = nullptr, Button* b3 = nullptr, Button* b4 = nullptr,
               Button* b5 = nullptr, Button* b6 = nullptr, Button* b7 = nullptr, Button* b8 = nullptr);
    int32_t TypeId() const override { return TypeRadioGroup; }
    void Update(const InputState& snapshot) override;

    // Selects member index (-1 for none); sets changed when that differs.
    void Select(int32_t index);
    Button* Member(int32_t i) const { return static_cast<Button*>(Child(i)); }

    int32_t selected = -1;
    bool changed = false;  // one frame
};
