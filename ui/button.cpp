#include "ui/button.h"

#include "ui/button_face.h"
#include "ui/rect_ops.h"

Button::Button(Point position, const Bitmap* icon, const char* text, int32_t width, int32_t height,
               bool progressMode, bool toggle, bool on, const Bitmap* onIcon, const char* onText)
    : toggle(toggle), on(on), shownOn(on), currentFace(on ? 1 : 0), icon_(icon), onIcon_(onIcon),
      progressMode_(progressMode) {
    RenderFaces(text, onText, width, height);
    faceImage = new ImageWidget(position, &faces[currentFace], true);
    AddChild(faceImage);
    bounds = faceImage->bounds;
}

void Button::RenderFaces(const char* text, const char* onText, int32_t width, int32_t height) {
    for (int32_t state = 0; state < 4; ++state) {
        const bool down = (state & 1) != 0;
        const Bitmap* icon = down && onIcon_ ? onIcon_ : icon_;
        const char* t = down && onText ? onText : text;
        RenderButtonFace(state, faces[state], icon, t, width, height, progressMode_, -1);
    }
}

void Button::SetText(const char* text) {
    const ::Size s = faceImage->Size();
    RenderFaces(text, nullptr, s.width, s.height);
    faceImage->SetPicture(&faces[currentFace]);
}

void Button::ShowFace(int32_t n) {
    if (n == currentFace)
        return;
    currentFace = n;
    faceImage->SetPicture(&faces[n]);
}

// Frame by frame, left button only:
//   press inside            pressed, down look (hover on)
//   move out while held     unpressed look, pressed kept
//   move back while held    down look again
//   release inside          clicked (a toggle flips first), pressed cleared
//   release outside         pressed cleared, no click
//   drag in from outside    no hover while held
// A press and release between two snapshots reads as held in the first
// frame and released in the next, so it clicks.
void Button::Update(const InputState& snapshot) {
    clicked = false;
    doubleClicked = false;
    const bool held = (snapshot.held & MouseLeft) != 0;
    if (Contains(faceImage->bounds, snapshot.mouseX, snapshot.mouseY)) {
        hover = true;
        if (snapshot.doubleClicked & MouseLeft)
            doubleClicked = true;
        if (snapshot.pressed & MouseLeft)
            pressed = true;
        if (!held && pressed) {
            if (changeable && toggle)
                on = !on;
            pressed = false;
            clicked = true;
        }
        if (changeable)
            shownOn = pressed ? !on : on;
        if (held && !pressed)
            hover = false;
        if (!held)
            pressed = false;
    } else {
        hover = false;
        if (changeable)
            shownOn = on;
        if (!held)
            pressed = false;
    }
    ShowFace((shownOn ? 1 : 0) + 2 * (hover ? 1 : 0));
}
