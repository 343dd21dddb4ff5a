#pragma once

#include "core/bitmap.h"

#include <cstdint>

struct Font;

// Two source coordinates (or two steps): 32-bit floats, or 16.16 fixed point
// when the span call says so.
union SpanValues {
    float real[2];
    int32_t fixed[2];
};

inline SpanValues RealValues(float u, float v) {
    SpanValues s;
    s.real[0] = u;
    s.real[1] = v;
    return s;
}
inline SpanValues FixedValues(int32_t u, int32_t v) {
    SpanValues s;
    s.fixed[0] = u;
    s.fixed[1] = v;
    return s;
}

// 16.16 from a float: times 65536, rounded toward minus infinity. Values
// beyond the 32-bit range saturate and NaN becomes 0, so hostile
// coordinates never reach an undefined conversion.
int32_t ToFixedSaturated(float value);

// Blends src over dst with weight a (0 .. 255): per byte, alpha included,
// (s * a + d * (255 - a)) >> 8, two byte lanes at a time. Each 16-bit lane
// peaks at 255 * 255, so nothing carries into the neighbouring lane.
inline uint32_t BlendPixel(uint32_t src, uint32_t dst, uint32_t a) {
    const uint32_t na = 255 - a;
    const uint32_t rb = (((src & 0x00FF00FF) * a + (dst & 0x00FF00FF) * na) >> 8) & 0x00FF00FF;
    const uint32_t ag = ((((src >> 8) & 0x00FF00FF) * a + ((dst >> 8) & 0x00FF00FF) * na) >> 8) & 0x00FF00FF;
    return rb | (ag << 8);
}

// Writes one horizontal run of destination pixels [dstBegin, dstEnd).
// Sampling ops step through their source in 16.16 fixed point: the source
// column is u >> 16 and the row v >> 16. Only CopyBilinearClamped and
// CopyNearestBackground check bounds; for the others the caller keeps every
// sampled position (and, for bilinear, the right and lower neighbours)
// inside the source.
class SpanOp {
public:
    virtual ~SpanOp() = default;
    // How many source coordinates the op consumes per vertex.
    virtual int32_t CoordinateCount() const { return 2; }
    virtual void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step,
                      bool stepsAreFixedPoint) = 0;

protected:
    // Start and step in 16.16, converted once per span.
    static void FixedStart(SpanValues start, SpanValues step, bool stepsAreFixedPoint, int32_t& u, int32_t& v,
                           int32_t& du, int32_t& dv);
};

class FillSolid : public SpanOp {
public:
    explicit FillSolid(uint32_t colour) : colour(colour) {}
    int32_t CoordinateCount() const override { return 0; }
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues, SpanValues, bool) override;
    uint32_t colour;
};

class FillBlend : public SpanOp {
public:
    explicit FillBlend(uint32_t colour) : colour(colour) {}
    int32_t CoordinateCount() const override { return 0; }
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues, SpanValues, bool) override;
    uint32_t colour;
};

class CopyNearest : public SpanOp {
public:
    explicit CopyNearest(const Bitmap* source) : source(source) {}
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) override;
    const Bitmap* source;
};

class BlendNearest : public SpanOp {
public:
    explicit BlendNearest(const Bitmap* source) : source(source) {}
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) override;
    const Bitmap* source;
};

class CopyBilinear : public SpanOp {
public:
    explicit CopyBilinear(const Bitmap* source) : source(source) {}
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) override;
    const Bitmap* source;
};

class BlendBilinear : public SpanOp {
public:
    explicit BlendBilinear(const Bitmap* source) : source(source) {}
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) override;
    const Bitmap* source;
};

// Bilinear with the four neighbours clamped into the source: safe anywhere,
// used for scaled copies. Shares its arithmetic with the whole-image scaler.
class CopyBilinearClamped : public SpanOp {
public:
    explicit CopyBilinearClamped(const Bitmap* source) : source(source) {}
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) override;
    const Bitmap* source;
};

// Nearest source pixel, or the background colour outside the source
// (coordinates compare as unsigned, so negative ones are outside too).
class CopyNearestBackground : public SpanOp {
public:
    CopyNearestBackground(const Bitmap* source, uint32_t background) : source(source), background(background) {}
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) override;
    const Bitmap* source;
    uint32_t background;
};

// Draws ink from an 8-bit coverage map in one colour: coverage =
// (map * alpha + 128) >> 8; 254 and above writes the opaque colour, 0 leaves
// the pixel, anything between blends.
class GlyphColorize : public SpanOp {
public:
    GlyphColorize(const ByteImage* map, uint32_t colour) : map(map), colour(colour) {}
    void Span(uint32_t* dstBegin, uint32_t* dstEnd, SpanValues start, SpanValues step, bool fixed) override;
    const ByteImage* map;
    uint32_t colour;
};
