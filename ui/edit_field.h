#pragma once

#include "core/strings.h"
#include "ui/clip_panel.h"
#include "ui/image_widget.h"
#include "ui/text_label.h"
#include "ui/widget.h"

// A one-line text field, 19 pixels high. Focused by a click inside until
// enter (commits), escape (restores the committed text) or a click
// elsewhere (commits).
class EditField : public Widget {
public:
    // text and allowed may be null; an empty allowed set accepts any code
    // from 32 to 127. maxLength -1 means no limit.
    EditField(Point position, int32_t width, const char* text, const char* allowed, int32_t maxLength);
    int32_t TypeId() const override { return TypeEditField; }
    void Update(const InputState& snapshot) override;

    // Sets both the working and the committed text.
    void SetText(const String& text);
    const String& WorkingText() const { return label->text; }

    Bitmap faces[4];
    ImageWidget* faceImage;
    ClipPanel* clip;
    TextLabel* label;
    Bitmap caretPicture;
    ImageWidget* caretImage;
    String allowed;
    int32_t maxLength;
    String committedText;
    int32_t caretIndex = 0;
    bool hover = false;
    bool focused = false;
    int64_t blinkStart = 0;
    bool committed = false;  // one frame

private:
    void Refresh();
    bool CaretVisible() const { return caretPicture.data && pixelAlpha(caretPicture.data[0]) != 0; }
    void SetCaretVisible(bool visible);
    int32_t currentFace_ = 0;
};
