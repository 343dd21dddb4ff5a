#pragma once

#include "core/strings.h"
#include "ui/font.h"
#include "ui/widget.h"

// One line of text. Its size is always the text's width and the font's line
// height, one pixel more each way with a shadow.
class TextLabel : public Widget {
public:
    TextLabel(Point position, const String& text, const Font* font, uint32_t colour, bool shadow);
    int32_t TypeId() const override { return TypeTextLabel; }
    void Paint(Bitmap& canvas, const Rect& clip) override;

    void SetText(const String& text);

    String text;
    const Font* font;
    uint32_t colour;
    bool shadow;

private:
    Rect TextRect(Point p) const;
};
