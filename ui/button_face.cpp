#include "ui/button_face.h"

#include "core/portable_math.h"
#include "ui/draw.h"
#include "ui/ui_resources.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t Transparent = 0x00000000;
constexpr uint32_t Black = 0xFF000000;
constexpr uint32_t White = 0xFFFFFFFF;

uint32_t Grey(int32_t level) {
    const uint32_t l = static_cast<uint32_t>(std::clamp(level, 0, 255));
    return packPixel(l, l, l);
}

void Put(Bitmap& b, int32_t x, int32_t y, uint32_t colour) {
    if (x >= 0 && y >= 0 && x < b.width && y < b.height)
        b.at(x, y) = colour;
}

void FillRow(Bitmap& b, int32_t x, int32_t y, int32_t count, uint32_t colour) {
    for (int32_t i = 0; i < count; ++i)
        Put(b, x + i, y, colour);
}

}  // namespace

void RenderButtonFace(int32_t state, Bitmap& target, const Bitmap* icon, const char* text, int32_t width,
                      int32_t height, bool progressMode, int32_t percent) {
    const bool iconOnly = icon && !text;
    if (width == -1)
        width = iconOnly ? icon->width : 50;
    if (height == -1)
        height = iconOnly ? icon->height : 19;
    if (width <= 0 || height <= 0 || !target.resize(width, height)) {
        target.clear();
        return;
    }
    target.fill(Transparent);

    const bool down = (state & FaceDown) != 0;
    const bool hover = (state & FaceHover) != 0;
    const int32_t d = down && !progressMode ? 1 : 0;

    // A vertical sine swell, brighter in the middle rows.
    const double pi = static_cast<double>(3.1415927f);
    const int32_t base = down ? 80 : 160;
    for (int32_t y = d; y <= height + d - 2; ++y) {
        int32_t level = base + static_cast<int32_t>(std::nearbyint(portableSin(y * pi / height) * 96.0));
        level = std::min(level, 255);
        if (level < 1)
            level = 0;
        if (!progressMode) {
            FillRow(target, d, y, width - 1, Grey(level));
        } else {
            const int32_t p = std::clamp(((width - 2) * percent) / 100, 0, width - 1);
            const uint32_t red = static_cast<uint32_t>(std::max(level - 64, 0));
            FillRow(target, d, y, p, packPixel(red, 0, 0));
            FillRow(target, p + d, y, width - p - 1, Grey(level - 64));
        }
    }

    // Icon and text, centred together.
    const Font* font = UiFont0();
    const int32_t textLength = text ? static_cast<int32_t>(std::strlen(text)) : 0;
    const int32_t iconWidth = icon ? icon->width : 0;
    const int32_t gap = icon && text ? 4 : 0;
    const int32_t textWidth = text && font ? TextWidth(*font, text, textLength) : 0;
    const int32_t x0 = (width - (iconWidth + gap + textWidth)) / 2 + d;
    if (icon && !icon->isEmpty()) {
        BlendNearest op(icon);
        DrawImage(target, x0, (height - icon->height) / 2 + d, icon->width, icon->height, 0, 0, op, nullptr);
    }
    if (text && font)
        DrawText(*font, target, progressMode ? White : Black, x0 + iconWidth + gap,
                 (height - font->lineHeight) / 2 + d, text, textLength, nullptr);

    const uint32_t border = progressMode ? packPixel(192, 64, 64) : (hover ? White : packPixel(192, 192, 192));
    if (width >= 2 && height >= 2) {
        const int32_t l = d, t = d, r = width + d - 2, b = height + d - 2;
        FillRow(target, l, t, r - l + 1, border);
        FillRow(target, l, b, r - l + 1, border);
        for (int32_t y = t; y <= b; ++y) {
            Put(target, l, y, border);
            Put(target, r, y, border);
        }
        // Rounded corners: the outline's corners go, the pixels diagonally
        // inside them take the border.
        Put(target, l, t, Transparent);
        Put(target, r, t, Transparent);
        Put(target, l, b, Transparent);
        Put(target, r, b, Transparent);
        Put(target, l + 1, t + 1, border);
        Put(target, width + d - 3, t + 1, border);
        Put(target, l + 1, height + d - 3, border);
        Put(target, width + d - 3, height + d - 3, border);
    }

    if (d == 0) {
        for (int32_t x = 2; x <= width - 2; ++x)
            Put(target, x, height - 1, Black);
        for (int32_t y = 2; y <= height - 2; ++y)
            Put(target, width - 1, y, Black);
        Put(target, width - 2, height - 2, Black);
    }
}
