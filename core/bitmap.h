#pragma once

#include "image.h"

#include <cstdint>

// 32-bit pixels: bits 0-7 blue, 8-15 green, 16-23 red, 24-31 alpha, so the
// bytes in memory are B, G, R, A.
inline constexpr uint32_t packPixel(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha = 255) {
    return (alpha << 24) + (red << 16) + (green << 8) + blue;
}
inline constexpr uint32_t pixelRed(uint32_t p) { return (p >> 16) & 0xFF; }
inline constexpr uint32_t pixelGreen(uint32_t p) { return (p >> 8) & 0xFF; }
inline constexpr uint32_t pixelBlue(uint32_t p) { return p & 0xFF; }
inline constexpr uint32_t pixelAlpha(uint32_t p) { return p >> 24; }

// Writes one word into count consecutive pixels.
void fillWords(uint32_t* target, size_t count, uint32_t value);

class Bitmap : public Image<uint32_t> {
public:
    bool resizeLike(Size s) { return resize(s.width, s.height); }

    // Borrows a buffer that somebody else owns (the window's back buffer).
    void attach(int32_t w, int32_t h, uint32_t* pixels);

    void fillRun(size_t start, size_t count, uint32_t pixel);

    Rect clipRect() const { return bounds(); }
    Rect clipRect(const Rect& r) const;

    // Clips the segment to the pixels inside the clip rectangle (default:
    // the bounds); false when nothing is left.
    bool clipLine(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1) const;
    bool clipLine(int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1, const Rect& clip) const;

    // Bresenham line, both end points included, no blending.
    void drawLine(uint32_t pixel, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    void drawLine(uint32_t pixel, int32_t x0, int32_t y0, int32_t x1, int32_t y1, const Rect& clip);

    // Copies the rectangle of the source into this image, which takes the
    // rectangle's size. An empty rectangle or a source without pixels leaves
    // this image empty. Returns false only when allocation fails.
    bool cropFrom(const Bitmap& source, const Rect& r);
};

// Cell counts of the block search, in a Bitmap-shaped grid of int32.
using MatchCountMap = Image<int32_t>;
