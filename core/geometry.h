#pragma once

#include <cstdint>

// Plain value types shared by images, widgets and windows.

struct Point {
    int32_t x = 0;
    int32_t y = 0;
};

struct Size {
    int32_t width = 0;
    int32_t height = 0;
};

// Right and bottom are exclusive; the whole of a w x h image is (0, 0, w, h).
struct Rect {
    Point topLeft;
    Point bottomRight;

    Rect() = default;
    Rect(int32_t l, int32_t t, int32_t r, int32_t b) : topLeft{l, t}, bottomRight{r, b} {}

    int32_t left() const { return topLeft.x; }
    int32_t top() const { return topLeft.y; }
    int32_t right() const { return bottomRight.x; }
    int32_t bottom() const { return bottomRight.y; }
    int32_t width() const { return bottomRight.x - topLeft.x; }
    int32_t height() const { return bottomRight.y - topLeft.y; }
    bool isEmpty() const { return bottomRight.x <= topLeft.x || bottomRight.y <= topLeft.y; }

    bool operator==(const Rect& o) const {
        return topLeft.x == o.topLeft.x && topLeft.y == o.topLeft.y && bottomRight.x == o.bottomRight.x &&
               bottomRight.y == o.bottomRight.y;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};
