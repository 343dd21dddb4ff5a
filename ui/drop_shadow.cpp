#include "ui/drop_shadow.h"

#include "engine/gaussian.h"

#include <algorithm>
#include <cmath>

bool BuildShadowPicture(float radius, int32_t margin, Bitmap& picture) {
    const int32_t n = 4 * margin;
    FloatImage square, blurred;
    if (margin <= 0 || !square.resize(n, n) || !picture.resize(n, n)) {
        picture.clear();
        return false;
    }
    square.fill(0.0f);
    for (int32_t y = margin; y < 3 * margin; ++y)
        for (int32_t x = margin; x < 3 * margin; ++x)
            square.at(x, y) = 1.0f;
    gaussianBlur(square, halfWidthToSigma(radius), blurred);
    if (blurred.width != n || blurred.height != n) {
        picture.clear();
        return false;
    }
    for (int32_t i = 0; i < n * n; ++i) {
        const float value = blurred.data[i] * 0.75f;
        const long alpha = std::lrintf(value * 255.0f);
        picture.data[i] = packPixel(0, 0, 0, static_cast<uint32_t>(std::clamp(alpha, 0L, 255L)));
    }
    return true;
}

DropShadow::DropShadow(Point p, ::Size s) {
    BuildShadowPicture(3.0f, margin, shadowPicture);
    Layout(p, s);
}

void DropShadow::Layout(Point p, ::Size s) {
    position = p;
    size = s;
    const float l = static_cast<float>(p.x), t = static_cast<float>(p.y);
    const float r = l + static_cast<float>(s.width), b = t + static_cast<float>(s.height);
    const float sw = static_cast<float>(2 * margin);
    const float h = static_cast<float>(shadowPicture.width / 2);
    // Destination rectangle and source rectangle of each piece.
    struct Piece {
        float x0, y0, x1, y1, u0, v0, u1, v1;
    };
    const Piece pieces[5] = {
        {r, t, r + sw, t + sw, h, 0, 2 * h, h},              // upper right corner
        {l, b, l + sw, b + sw, 0, h, h, 2 * h},              // lower left corner
        {r, b, r + sw, b + sw, h, h, 2 * h, 2 * h},          // lower right corner
        {r, t + h, r + sw, b, h, h, 2 * h, h},               // right edge: the middle row stretched
        {l + h, b, r, b + sw, h, h, h, 2 * h},               // lower edge: the middle column stretched
    };
    for (int32_t i = 0; i < 5; ++i) {
        const Piece& q = pieces[i];
        const QuadCorner corners[4] = {
            {q.x0, q.y0, q.u0, q.v0}, {q.x1, q.y0, q.u1, q.v0}, {q.x0, q.y1, q.u0, q.v1}, {q.x1, q.y1, q.u1, q.v1}};
        if (!pieces_[i]) {
            pieces_[i] = new QuadImage(&shadowPicture, true, false);
            AddChild(pieces_[i]);
        }
        pieces_[i]->SetCorners(corners);
    }
    FitToChildren();
}
