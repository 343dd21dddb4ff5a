#include "ui/text_label.h"

TextLabel::TextLabel(Point position, const String& text, const Font* font, uint32_t colour, bool shadow)
    : text(text), font(font), colour(colour), shadow(shadow) {
    bounds = TextRect(position);
}

Rect TextLabel::TextRect(Point p) const {
    const int32_t s = shadow ? 1 : 0;
    const int32_t w = font ? TextWidth(*font, text) : 0, h = font ? font->lineHeight : 0;
    return Rect(p.x, p.y, p.x + w + s, p.y + h + s);
}

void TextLabel::SetText(const String& t) {
    text = t;
    SetBounds(TextRect(bounds.topLeft));
}

void TextLabel::Paint(Bitmap& canvas, const Rect& clip) {
    if (!font)
        return;
    if (shadow)
        DrawText(*font, canvas, 0xFF000000, bounds.left() + 1, bounds.top() + 1, text, &clip);
    DrawText(*font, canvas, colour, bounds.left(), bounds.top(), text, &clip);
}
