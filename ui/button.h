#pragma once

#include "core/strings.h"
#include "ui/image_widget.h"
#include "ui/widget.h"

// A push button, or a toggle (check box, radio member) when toggle is set.
// It holds one ImageWidget showing one of four pre-rendered faces: face
// number = shownOn + 2 * hover.
class Button : public Widget {
public:
    // Texts and pictures may be null. The down faces use onIcon and onText
    // when given. width and height of -1 take the face renderer's default.
    Button(Point position, const Bitmap* icon, const char* text, int32_t width = -1, int32_t height = -1,
           bool progressMode = false, bool toggle = false, bool on = false, const Bitmap* onIcon = nullptr,
           const char* onText = nullptr);
    int32_t TypeId() const override { return TypeButton; }
    void Update(const InputState& snapshot) override;

    // Shows face n (0 .. 3) unless it is already shown.
    void ShowFace(int32_t n);
    // Renders the four faces again with another text at the current size
    // and shows the current face.
    void SetText(const char* text);

    Bitmap faces[4];
    bool toggle;
    bool on;
    bool shownOn;
    bool changeable = true;
    bool hover = false;
    bool pressed = false;
    // One-frame events.
    bool clicked = false;
    bool doubleClicked = false;
    int32_t currentFace;
    ImageWidget* faceImage;

private:
    void RenderFaces(const char* text, const char* onText, int32_t width, int32_t height);

    const Bitmap* icon_;
    const Bitmap* onIcon_;
    bool progressMode_;
};
