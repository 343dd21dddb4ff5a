#include "bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

void fillWords(uint32_t* target, size_t count, uint32_t value) {
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        target[i] = value; target[i + 1] = value; target[i + 2] = value; target[i + 3] = value;
        target[i + 4] = value; target[i + 5] = value; target[i + 6] = value; target[i + 7] = value;
    }
    for (; i < count; ++i)
        target[i] = value;
}

void Bitmap::attach(int32_t w, int32_t h, uint32_t* pixels) {
    clear();
    width = w;
    height = h;
    data = pixels;
    ownsData = false;
}

void Bitmap::fillRun(size_t start, size_t count, uint32_t pixel) { fillWords(data + start, count, pixel); }

Rect Bitmap::clipRect(const Rect& r) const {
    return Rect(std::clamp(r.left(), 0, width), std::clamp(r.top(), 0, height), std::clamp(r.right(), 0, width),
                std::clamp(r.bottom(), 0, height));
}

bool Bitmap::clipLine(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1) const {
    return clipLine(x0, y0, x1, y1, bounds());
}

namespace {

// Moves (a, b) onto the edge a = edge along the segment to (a2, b2); a is the
// coordinate across the edge, b the other one. 64-bit so that long segments
// cannot overflow the product.
void moveOntoEdge(int32_t& a, int32_t& b, int32_t a2, int32_t b2, int32_t edge) {
    int64_t num = static_cast<int64_t>(b - b2) * (a - edge);
    int64_t den = static_cast<int64_t>(a) - a2;
    b = static_cast<int32_t>(b - num / den);
    a = edge;
}

}  // namespace

bool Bitmap::clipLine(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1, const Rect& clip) const {
    if (y1 < y0) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int32_t left = clip.left(), right = clip.right() - 1;
    const int32_t top = clip.top(), bottom = clip.bottom() - 1;
    if (right < left || bottom < top)
        return false;

    // Left and right edges first, then top and bottom.
    if (x0 < left && x1 < left) return false;
    if (x0 > right && x1 > right) return false;
    if (x0 < left) moveOntoEdge(x0, y0, x1, y1, left);
    else if (x1 < left) moveOntoEdge(x1, y1, x0, y0, left);
    if (x0 > right) moveOntoEdge(x0, y0, x1, y1, right);
    else if (x1 > right) moveOntoEdge(x1, y1, x0, y0, right);

    if (y0 < top && y1 < top) return false;
    if (y0 > bottom && y1 > bottom) return false;
    // y0 <= y1 still (an end moved along the segment keeps its order in y):
    // only the first end can lie above, only the second below.
    if (y0 < top) moveOntoEdge(y0, x0, y1, x1, top);
    if (y1 > bottom) moveOntoEdge(y1, x1, y0, x0, bottom);

    // Moving onto a y edge can push x back outside when the segment only
    // grazed a corner region: nothing of it is inside then.
    return x0 >= left && x0 <= right && x1 >= left && x1 <= right && y0 >= top && y0 <= bottom && y1 >= top &&
           y1 <= bottom;
}

void Bitmap::drawLine(uint32_t pixel, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    drawLine(pixel, x0, y0, x1, y1, bounds());
}

void Bitmap::drawLine(uint32_t pixel, int32_t x0, int32_t y0, int32_t x1, int32_t y1, const Rect& clip) {
    // Pixels outside the image are never written, whatever the clip says.
    Rect c = clipRect(clip);
    if (!clipLine(x0, y0, x1, y1, c))
        return;
    int32_t dx = x1 - x0, dy = y1 - y0;
    int32_t adx = std::abs(dx), ady = std::abs(dy);
    int32_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    int32_t x = x0, y = y0;
    at(x, y) = pixel;
    if (adx > ady) {
        int32_t err = 2 * ady - adx;
        while (x != x1) {
            x += sx;
            if (err >= 0) {
                y += sy;
                err -= 2 * adx;
            }
            err += 2 * ady;
            at(x, y) = pixel;
        }
    } else {
        int32_t err = 2 * adx - ady;
        while (y != y1) {
            y += sy;
            if (err >= 0) {
                x += sx;
                err -= 2 * ady;
            }
            err += 2 * adx;
            at(x, y) = pixel;
        }
    }
}

bool Bitmap::cropFrom(const Bitmap& source, const Rect& r) {
    if (r.right() <= r.left() || r.bottom() <= r.top() || !source.data || source.width <= 0) {
        clear();
        return true;
    }
    if (!resize(r.width(), r.height()))
        return false;
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(elementAt(0, y), source.elementAt(r.left(), r.top() + y), static_cast<size_t>(width) * 4);
    return true;
}
