#include "ui/span_op.h"

#include "core/bilinear_scale.h"
#include "core/bilinear_weights.h"

#include <cmath>

int32_t ToFixedSaturated(float value) {
    const double scaled = std::floor(static_cast<double>(value) * 65536.0);
    if (!(scaled == scaled))
        return 0;
    if (scaled >= 2147483647.0)
        return INT32_MAX;
    if (scaled <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(scaled);
}

void SpanOp::FixedStart(SpanValues start, SpanValues step, bool stepsAreFixedPoint, int32_t& u, int32_t& v,
                        int32_t& du, int32_t& dv) {
    if (stepsAreFixedPoint) {
        u = start.fixed[0];
        v = start.fixed[1];
        du = step.fixed[0];
        dv = step.fixed[1];
    } else {
        u = ToFixedSaturated(start.real[0]);
        v = ToFixedSaturated(start.real[1]);
        du = ToFixedSaturated(step.real[0]);
        dv = ToFixedSaturated(step.real[1]);
    }
}

namespace {

// Positions advance with wrapping arithmetic: a hostile step must not be
// undefined behaviour, and a wrapped position fails the bounds checks.
inline int32_t Advance(int32_t p, int32_t d) {
    return static_cast<int32_t>(static_cast<uint32_t>(p) + static_cast<uint32_t>(d));
}

// Bilinear sample of the four neighbours (x, y) .. (x + 1, y + 1) without
// clamping. A neighbour whose weight is 0 is not read, so a position exactly
// on the last column or row stays inside the source.
inline uint32_t SampleBilinear(const Bitmap& s, int32_t u, int32_t v) {
    const int32_t x = u >> 16, y = v >> 16;
    const uint32_t weights = BilinearWeights[8 * ((v >> 13) & 7) + ((u >> 13) & 7)];
    const int32_t dx[4] = {0, 1, 0, 1}, dy[4] = {0, 0, 1, 1};
    uint32_t rb = 0, ag = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t w = (weights >> (8 * i)) & 0xFF;
        if (w == 0)
            continue;
        const uint32_t p = s.at(x + dx[i], y + dy[i]);
        rb += w * (p & 0x00FF00FF);
        ag += w * ((p >> 8) & 0x00FF00FF);
    }
    return ((rb >> 6) & 0x00FF00FF) | (((ag >> 6) & 0x00FF00FF) << 8);
}

// Source pixel s drawn with its own alpha as the weight.
inline void BlendOwnAlpha(uint32_t* d, uint32_t s) {
    const uint32_t a = s >> 24;
    if (a == 255)
        *d = s;
    else if (a != 0)
        *d = BlendPixel(s, *d, a);
}

}  // namespace

void FillSolid::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues, SpanValues, bool) {
    for (uint32_t* d = dstBegin; d < dstEnd; ++d)
        *d = colour;
}

void FillBlend::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues, SpanValues, bool) {
    const uint32_t a = colour >> 24;
    if (a == 0)
        return;
    for (uint32_t* d = dstBegin; d < dstEnd; ++d)
        *d = a == 255 ? colour : BlendPixel(colour, *d, a);
}

void CopyNearest::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) {
    int32_t u, v, du, dv;
    FixedStart(start, step, fixed, u, v, du, dv);
    for (uint32_t* d = dstBegin; d < dstEnd; ++d, u = Advance(u, du), v = Advance(v, dv))
        *d = source->at(u >> 16, v >> 16);
}

void BlendNearest::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) {
    int32_t u, v, du, dv;
    FixedStart(start, step, fixed, u, v, du, dv);
    for (uint32_t* d = dstBegin; d < dstEnd; ++d, u = Advance(u, du), v = Advance(v, dv))
        BlendOwnAlpha(d, source->at(u >> 16, v >> 16));
}

void CopyBilinear::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) {
    int32_t u, v, du, dv;
    FixedStart(start, step, fixed, u, v, du, dv);
    for (uint32_t* d = dstBegin; d < dstEnd; ++d, u = Advance(u, du), v = Advance(v, dv))
        *d = SampleBilinear(*source, u, v);
}

void BlendBilinear::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) {
    int32_t u, v, du, dv;
    FixedStart(start, step, fixed, u, v, du, dv);
    for (uint32_t* d = dstBegin; d < dstEnd; ++d, u = Advance(u, du), v = Advance(v, dv))
        BlendOwnAlpha(d, SampleBilinear(*source, u, v));
}

void CopyBilinearClamped::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step,
                               bool fixed) {
    if (source->isEmpty())
        return;
    int32_t u, v, du, dv;
    FixedStart(start, step, fixed, u, v, du, dv);
    copyBilinearClampedSpan(*source, dstBegin, static_cast<int32_t>(dstEnd - dstBegin), u, v, du, dv);
}

void CopyNearestBackground::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step,
                                 bool fixed) {
    int32_t u, v, du, dv;
    FixedStart(start, step, fixed, u, v, du, dv);
    const uint32_t w = static_cast<uint32_t>(source->width), h = static_cast<uint32_t>(source->height);
    for (uint32_t* d = dstBegin; d < dstEnd; ++d, u = Advance(u, du), v = Advance(v, dv)) {
        const uint32_t x = static_cast<uint32_t>(u >> 16), y = static_cast<uint32_t>(v >> 16);
        *d = (x < w && y < h && source->data) ? source->at(static_cast<int32_t>(x), static_cast<int32_t>(y))
                                              : background;
    }
}

void GlyphColorize::Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) {
    int32_t u, v, du, dv;
    FixedStart(start, step, fixed, u, v, du, dv);
    const uint32_t alpha = colour >> 24;
    const uint32_t opaque = colour | 0xFF000000u;
    for (uint32_t* d = dstBegin; d < dstEnd; ++d, u = Advance(u, du), v = Advance(v, dv)) {
        const uint32_t coverage = (map->at(u >> 16, v >> 16) * alpha + 128) >> 8;
        if (coverage >= 254)
            *d = opaque;
        else if (coverage != 0)
            *d = BlendPixel(opaque, *d, coverage);
    }
}
