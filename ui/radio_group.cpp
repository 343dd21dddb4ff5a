#include "ui/radio_group.h"

RadioGroup::RadioGroup(Button* b1, Button* b2, Button* b3, Button* b4, Button* b5, Button* b6, Button* b7,
                       Button* b8) {
    Button* members[MaxMembers] = {b1, b2, b3, b4, b5, b6, b7, b8};
    for (Button* b : members)
        if (b)
            AddChild(b);
    FitToChildren();
    for (int32_t i = 0; i < ChildCount(); ++i)
        if (Member(i)->on) {
            Select(i);
            break;
        }
    // Building the group is not a change the caller has to react to.
    changed = false;
}

void RadioGroup::Select(int32_t index) {
    changed = index != selected;
    if (!changed)
        return;
    selected = index;
    for (int32_t i = 0; i < ChildCount(); ++i) {
        Button* b = Member(i);
        b->changeable = true;
        const int32_t hover = b->hover ? 2 : 0;
        if (i == index) {
            if (!b->on) {
                b->on = true;
                b->shownOn = true;
                b->ShowFace(hover + 1);
            }
            b->changeable = false;
        } else if (b->on) {
            b->on = false;
            b->shownOn = false;
            b->ShowFace(hover);
        }
    }
}

void RadioGroup::Update(const InputState&) {
    // Runs after the members: one clicked on this frame is on and not yet
    // the selected one.
    for (int32_t i = 0; i < ChildCount(); ++i)
        if (Member(i)->on && i != selected) {
            Select(i);
            return;
        }
    Select(selected);
}
