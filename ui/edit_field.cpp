#include "ui/edit_field.h"

#include "platform/clock.h"
#include "platform/frame_request.h"
#include "ui/button_face.h"
#include "ui/rect_ops.h"
#include "ui/ui_resources.h"

#include <cstring>

namespace {

constexpr int64_t BlinkHalfPeriod = 500000;  // microseconds

}  // namespace

EditField::EditField(Point position, int32_t width, const char* text, const char* allowedChars,
                     int32_t maxLength)
    : allowed(allowedChars ? allowedChars : ""), maxLength(maxLength) {
    for (int32_t state = 0; state < 4; ++state)
        RenderButtonFace(state, faces[state], nullptr, nullptr, width, 19, false, -1);
    faceImage = new ImageWidget(position, &faces[0], true);

    const Rect face = faceImage->bounds;
    clip = new ClipPanel(Rect(face.left() + 5, face.top() + 2, face.right() - 5, face.bottom() - 2));
    committedText = text ? text : "";
    label = new TextLabel(clip->bounds.topLeft, committedText, UiFont0(), 0xFF000000, false);
    clip->AddChild(label);

    if (caretPicture.resize(1, std::max(clip->bounds.height(), 1)))
        caretPicture.fill(packPixel(255, 255, 255, 0));
    caretImage = new ImageWidget(clip->bounds.topLeft, &caretPicture, true);

    AddChild(faceImage);
    AddChild(clip);
    AddChild(caretImage);
    FitToChildren();
    caretIndex = committedText.length;
    Refresh();
}

void EditField::SetText(const String& text) {
    committedText = text;
    label->SetText(text);
    if (caretIndex > text.length)
        caretIndex = text.length;
    Refresh();
}

void EditField::SetCaretVisible(bool visible) {
    const uint32_t alpha = visible ? 0xFF000000u : 0;
    for (size_t i = 0; i < caretPicture.pixelCount(); ++i)
        caretPicture.data[i] = (caretPicture.data[i] & 0x00FFFFFF) | alpha;
    caretImage->MarkDirty();
}

void EditField::Update(const InputState& snapshot) {
    committed = false;
    const bool oldHover = hover, oldFocused = focused, oldVisible = CaretVisible();
    const int64_t now = NowMicroseconds();
    const Font* font = UiFont0();
    bool edited = false;

    const bool pressed = (snapshot.pressed & MouseLeft) != 0;
    if (Contains(faceImage->bounds, snapshot.mouseX, snapshot.mouseY)) {
        hover = true;
        if (pressed) {
            caretIndex = font ? CharIndexAtX(*font, label->text, snapshot.mouseX - label->bounds.left())
                              : label->text.length;
            focused = true;
            blinkStart = now;
            edited = true;
        }
    } else {
        hover = false;
        if (pressed && focused) {
            committedText = label->text;
            committed = true;
            focused = false;
            blinkStart = 0;
        }
    }

    String text = label->text;
    const int32_t keyCount = snapshot.keys.length;
    for (int32_t k = 0; k < keyCount && focused; ++k) {
        const uint8_t code = snapshot.keys.data[k];
        const int32_t length = text.length;
        const int32_t oldCaret = caretIndex;
        bool textChanged = false;
        switch (code) {
        case KeyBackspace:
            if (caretIndex > 0) {
                std::memmove(text.data + caretIndex - 1, text.data + caretIndex,
                             static_cast<size_t>(length - caretIndex));
                text.SetLength(length - 1);
                --caretIndex;
                textChanged = true;
            }
            break;
        case KeyDelete:
            if (caretIndex < length) {
                std::memmove(text.data + caretIndex, text.data + caretIndex + 1,
                             static_cast<size_t>(length - caretIndex - 1));
                text.SetLength(length - 1);
                textChanged = true;
            }
            break;
        case KeyLeft:
            if (caretIndex > 0)
                --caretIndex;
            break;
        case KeyRight:
            if (caretIndex < length)
                ++caretIndex;
            break;
        case KeyHome:
            caretIndex = 0;
            break;
        case KeyEnd:
            caretIndex = length;
            break;
        case KeyEnter:
            committedText = text;
            committed = true;
            focused = false;
            blinkStart = 0;
            break;
        case KeyEscape:
            text = committedText;
            caretIndex = 0;
            focused = false;
            blinkStart = 0;
            textChanged = true;
            break;
        default:
            if (maxLength != -1 && length >= maxLength)
                break;
            if (allowed.length ? !allowed.Contains(code) : code < 32)
                break;
            if (!text.SetLength(length + 1))
                break;
            std::memmove(text.data + caretIndex + 1, text.data + caretIndex,
                         static_cast<size_t>(length - caretIndex));
            text.data[caretIndex++] = code;
            textChanged = true;
            break;
        }
        if (textChanged || caretIndex != oldCaret)
            edited = true;
    }
    if (text != label->text)
        label->SetText(text);

    bool visible = false;
    if (focused) {
        if (edited) {
            blinkStart = now;
            visible = true;
        } else {
            visible = ((now - blinkStart) / BlinkHalfPeriod) % 2 == 0;
        }
    }
    if (visible != oldVisible)
        SetCaretVisible(visible);
    // The caret blinks without input: wake for its next change.
    if (focused)
        RequestFrameWithin(static_cast<int32_t>((BlinkHalfPeriod - (now - blinkStart) % BlinkHalfPeriod + 999) / 1000));

    if (hover != oldHover || focused != oldFocused || visible != oldVisible || edited)
        Refresh();
}

// Keeps the caret inside the clip by scrolling the text, then places the
// caret and picks the face.
void EditField::Refresh() {
    const Font* font = UiFont0();
    const int32_t w = font ? TextWidth(*font, label->text, caretIndex) : 0;
    const int32_t caretX = label->bounds.left() + w;
    const Rect c = clip->bounds;
    if (caretX < c.left())
        label->MoveTo(Point{label->bounds.left() + (c.left() - caretX), label->bounds.top()});
    else if (caretX > c.right() - 1)
        label->MoveTo(Point{label->bounds.left() - (caretX - (c.right() - 1)), label->bounds.top()});
    caretImage->MoveTo(Point{label->bounds.left() + w, caretImage->bounds.top()});
    const int32_t face = (focused ? 1 : 0) + 2 * (hover ? 1 : 0);
    if (face != currentFace_) {
        currentFace_ = face;
        faceImage->SetPicture(&faces[face]);
    }
}
