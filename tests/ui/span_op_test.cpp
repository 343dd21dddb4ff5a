#include "core/bilinear_scale.h"
#include "core/bilinear_weights.h"
#include "ui/draw.h"
#include "ui/span_op.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint32_t Sentinel = 0x5A5A5A5A;

Bitmap Filled(int32_t w, int32_t h, uint32_t value) {
    Bitmap b;
    b.resize(w, h);
    b.fill(value);
    return b;
}

// Every pixel distinct: x in red, y in green.
Bitmap Numbered(int32_t w, int32_t h) {
    Bitmap b;
    b.resize(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.at(x, y) = packPixel(x * 3 + 1, y * 5 + 2, (x + y) & 0xFF, 255);
    return b;
}

// Records every span call and writes nothing.
struct RecordingOp : SpanOp {
    struct Call {
        int32_t begin, end, u, v, du, dv;
    };
    uint32_t* base = nullptr;
    std::vector<Call> calls;
    void Span(uint32_t* b, uint32_t* e, SpanValues start, SpanValues step, bool fixed) override {
        EXPECT_TRUE(fixed);
        calls.push_back({static_cast<int32_t>(b - base), static_cast<int32_t>(e - base), start.fixed[0],
                         start.fixed[1], step.fixed[0], step.fixed[1]});
    }
};

struct SpanOps : ::testing::Test {
    void SetUp() override { InitBilinearWeights(); }
};

}  // namespace

TEST(BlendPixel, WeightsAtBothEndsAndBetweenKeepLanesApart) {
    const uint32_t s = 0xFF80FF00, d = 0x00FF00FF;
    // Weight 0 keeps the destination except for the >> 8 of 255 * 255.
    EXPECT_EQ(BlendPixel(s, d, 0), 0x00FE00FE);
    EXPECT_EQ(BlendPixel(s, d, 255), 0xFE7FFE00);
    // Half way, each byte on its own: (s * 128 + d * 127) >> 8.
    const uint32_t m = BlendPixel(s, d, 128);
    EXPECT_EQ(pixelAlpha(m), (255u * 128 + 0 * 127) >> 8);
    EXPECT_EQ(pixelRed(m), (0x80u * 128 + 255 * 127) >> 8);
    EXPECT_EQ(pixelGreen(m), (255u * 128 + 0 * 127) >> 8);
    EXPECT_EQ(pixelBlue(m), (0u * 128 + 255 * 127) >> 8);
    // Full white over full white at any weight never carries into the next byte.
    for (uint32_t a = 0; a < 256; ++a)
        EXPECT_EQ(BlendPixel(0xFFFFFFFF, 0xFFFFFFFF, a), 0xFEFEFEFEu) << a;
}

TEST_F(SpanOps, FillsHonourAlpha) {
    Bitmap canvas = Filled(4, 1, 0xFF102030);
    FillSolid(0x00ABCDEF).Span(canvas.data, canvas.data + 2, {}, {}, false);
    EXPECT_EQ(canvas.at(0, 0), 0x00ABCDEFu);
    EXPECT_EQ(canvas.at(2, 0), 0xFF102030u);

    canvas.fill(0xFF102030);
    FillBlend(0x00FFFFFF).Span(canvas.data, canvas.data + 4, {}, {}, false);
    EXPECT_EQ(canvas.at(3, 0), 0xFF102030u);
    FillBlend(0xFFFFFFFF).Span(canvas.data, canvas.data + 1, {}, {}, false);
    EXPECT_EQ(canvas.at(0, 0), 0xFFFFFFFFu);
    FillBlend(0x80FFFFFF).Span(canvas.data + 1, canvas.data + 2, {}, {}, false);
    EXPECT_EQ(canvas.at(1, 0), BlendPixel(0x80FFFFFF, 0xFF102030, 0x80));
}

TEST_F(SpanOps, BlendNearestUsesTheSourceAlpha) {
    Bitmap src;
    src.resize(3, 1);
    src.at(0, 0) = 0x00FFFFFF;  // transparent: leaves the pixel
    src.at(1, 0) = 0xFF112233;  // opaque: written as is
    src.at(2, 0) = 0x40FFFFFF;  // blended with weight 0x40
    Bitmap canvas = Filled(3, 1, 0xFF000000);
    BlendNearest(&src).Span(canvas.data, canvas.data + 3, RealValues(0, 0), RealValues(1, 0), false);
    EXPECT_EQ(canvas.at(0, 0), 0xFF000000u);
    EXPECT_EQ(canvas.at(1, 0), 0xFF112233u);
    EXPECT_EQ(canvas.at(2, 0), BlendPixel(0x40FFFFFF, 0xFF000000, 0x40));
}

TEST_F(SpanOps, GlyphColorizeThresholds) {
    ByteImage map;
    map.resize(5, 1);
    const uint8_t values[5] = {0, 1, 128, 254, 255};
    for (int i = 0; i < 5; ++i)
        map.at(i, 0) = values[i];
    Bitmap canvas = Filled(5, 1, Sentinel);
    // Opaque colour: coverage = (v * 255 + 128) >> 8, so only map 255 reaches
    // coverage 254 and writes; map 254 gives 253 and blends.
    GlyphColorize(&map, 0xFF204080).Span(canvas.data, canvas.data + 5, FixedValues(0, 0),
                                          FixedValues(65536, 0), true);
    EXPECT_EQ(canvas.at(0, 0), Sentinel);
    EXPECT_EQ(canvas.at(1, 0), BlendPixel(0xFF204080, Sentinel, 1));
    EXPECT_EQ(canvas.at(2, 0), BlendPixel(0xFF204080, Sentinel, 128));
    EXPECT_EQ(canvas.at(3, 0), BlendPixel(0xFF204080, Sentinel, 253));
    EXPECT_EQ(canvas.at(4, 0), 0xFF204080u);

    // Half-transparent colour: full ink only reaches coverage 128, and the
    // colour is drawn opaque.
    canvas.fill(Sentinel);
    GlyphColorize(&map, 0x80204080).Span(canvas.data, canvas.data + 5, FixedValues(0, 0),
                                          FixedValues(65536, 0), true);
    EXPECT_EQ(canvas.at(0, 0), Sentinel);
    EXPECT_EQ(canvas.at(1, 0), BlendPixel(0xFF204080, Sentinel, 1));  // (1 * 128 + 128) >> 8
    EXPECT_EQ(canvas.at(4, 0), BlendPixel(0xFF204080, Sentinel, (255 * 128 + 128) >> 8));
}

TEST_F(SpanOps, BilinearSamplesInEighths) {
    Bitmap src;
    src.resize(2, 2);
    src.at(0, 0) = 0xFF000000;
    src.at(1, 0) = 0xFF0000FF;
    src.at(0, 1) = 0xFF00FF00;
    src.at(1, 1) = 0xFFFF0000;
    Bitmap canvas = Filled(1, 1, Sentinel);
    // Three eighths across, five eighths down.
    CopyBilinear(&src).Span(canvas.data, canvas.data + 1, FixedValues(3 << 13, 5 << 13), FixedValues(0, 0), true);
    // Weights in 64ths: top-right 3 * 3, bottom-left 5 * 5, bottom-right 3 * 5.
    const uint32_t blue = (255 * 9) >> 6, green = (255 * 25) >> 6, red = (255 * 15) >> 6;
    EXPECT_EQ(canvas.at(0, 0), packPixel(red, green, blue, 255));
    // The clamped op agrees inside the picture.
    Bitmap clamped = Filled(1, 1, Sentinel);
    CopyBilinearClamped(&src).Span(clamped.data, clamped.data + 1, FixedValues(3 << 13, 5 << 13),
                                   FixedValues(0, 0), true);
    EXPECT_EQ(clamped.at(0, 0), canvas.at(0, 0));
}

TEST_F(SpanOps, ClampedBilinearRepeatsTheEdgesAndMatchesTheScaler) {
    const Bitmap src = Numbered(4, 3);
    Bitmap canvas = Filled(8, 1, Sentinel);
    // Starting left of and above the picture, stepping past its right edge.
    const int32_t u = -3 * 65536 + 0x5000, v = -2 * 65536, du = 0x14000;
    CopyBilinearClamped(&src).Span(canvas.data, canvas.data + 8, FixedValues(u, v), FixedValues(du, 0), true);
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(canvas.at(i, 0), sampleBilinearClamped(src, u + i * du, v)) << i;
    EXPECT_EQ(canvas.at(0, 0), src.at(0, 0));
    EXPECT_EQ(canvas.at(7, 0), src.at(3, 0));
}

TEST_F(SpanOps, NearestBackgroundOutsideIncludingNegative) {
    const Bitmap src = Numbered(2, 2);
    Bitmap canvas = Filled(4, 1, Sentinel);
    // -1.5, -0.5, 0.5, 1.5 along x at row 1.
    CopyNearestBackground(&src, 0xFF00FF00)
        .Span(canvas.data, canvas.data + 4, RealValues(-1.5f, 1.0f), RealValues(1.0f, 0.0f), false);
    EXPECT_EQ(canvas.at(0, 0), 0xFF00FF00u);
    EXPECT_EQ(canvas.at(1, 0), 0xFF00FF00u);
    EXPECT_EQ(canvas.at(2, 0), src.at(0, 1));
    EXPECT_EQ(canvas.at(3, 0), src.at(1, 1));
    // A row above the picture is all background.
    CopyNearestBackground(&src, 0xFF0000FF)
        .Span(canvas.data, canvas.data + 4, RealValues(0.0f, -0.25f), RealValues(0.5f, 0.0f), false);
    for (int32_t i = 0; i < 4; ++i)
        EXPECT_EQ(canvas.at(i, 0), 0xFF0000FFu);
}

TEST_F(SpanOps, DrawImageCopiesOneToOneAndClips) {
    const Bitmap src = Numbered(6, 5);
    Bitmap canvas = Filled(10, 10, Sentinel);
    CopyNearest op(&src);
    const Rect clip(3, 2, 20, 5);
    DrawImage(canvas, 2, 1, 6, 5, 0, 0, op, &clip);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x) {
            const bool inside = x >= 3 && x < 8 && y >= 2 && y < 5;
            EXPECT_EQ(canvas.at(x, y), inside ? src.at(x - 2, y - 1) : Sentinel) << x << "," << y;
        }
}

TEST_F(SpanOps, DrawImageStepsAlongRowsOnly) {
    // Half-size copy: destination (x, y) samples source (2x, 2y); v must
    // not drift along the row.
    const Bitmap src = Numbered(8, 8);
    Bitmap canvas = Filled(4, 4, Sentinel);
    CopyNearest op(&src);
    DrawImage(canvas, 0, 0, 4, 4, 0, 0, op, nullptr, 2.0f, 2.0f);
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 4; ++x)
            EXPECT_EQ(canvas.at(x, y), src.at(2 * x, 2 * y)) << x << "," << y;

    // Clipping on the left still samples where the unclipped row would.
    Bitmap clipped = Filled(4, 4, Sentinel);
    const Rect clip(1, 1, 4, 4);
    DrawImage(clipped, 0, 0, 4, 4, 0.5f, 0, op, &clip, 1.5f, 1.0f);
    for (int32_t y = 1; y < 4; ++y)
        for (int32_t x = 1; x < 4; ++x)
            EXPECT_EQ(clipped.at(x, y), src.at(static_cast<int32_t>(0.5f + 1.5f * x), y)) << x << "," << y;
}

TEST_F(SpanOps, PolygonAxisAlignedQuadDrawsItsSourceOneToOne) {
    const Bitmap src = Numbered(12, 9);
    Bitmap canvas = Filled(30, 30, Sentinel);
    CopyNearest op(&src);
    // Source region (2, 1) .. (12, 9) onto (7, 5) .. (17, 13), perimeter order.
    const PolygonVertex quad[4] = {{7, 13, {2, 9}}, {17, 13, {12, 9}}, {17, 5, {12, 1}}, {7, 5, {2, 1}}};
    FillPolygon(canvas, quad, 4, op, nullptr);
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 30; ++x) {
            const bool inside = x >= 7 && x < 17 && y >= 5 && y < 13;
            ASSERT_EQ(canvas.at(x, y), inside ? src.at(x - 5, y - 4) : Sentinel) << x << "," << y;
        }
}

TEST_F(SpanOps, PolygonClipsAndSkipsWhatLiesOutside) {
    Bitmap canvas = Filled(20, 20, Sentinel);
    RecordingOp rec;
    rec.base = canvas.data;
    const Rect clip(5, 5, 15, 15);
    // Wholly right of the clip: no span at all.
    const PolygonVertex right[4] = {{16, 10}, {19, 10}, {19, 6}, {16, 6}};
    FillPolygon(canvas, right, 4, rec, &clip);
    const PolygonVertex below[3] = {{0, 15}, {20, 15}, {10, 19}};
    FillPolygon(canvas, below, 3, rec, &clip);
    const PolygonVertex far[4] = {{0, 0}, {16384, 0}, {16384, 10}, {0, 10}};
    FillPolygon(canvas, far, 4, rec, nullptr);
    EXPECT_TRUE(rec.calls.empty());

    // Straddling the clip's left and top: spans start at the clip, with the
    // coordinates advanced by the skipped pixels.
    const PolygonVertex quad[4] = {{0, 10, {0, 10}}, {10, 10, {10, 10}}, {10, 0, {10, 0}}, {0, 0, {0, 0}}};
    FillPolygon(canvas, quad, 4, rec, &clip);
    ASSERT_EQ(rec.calls.size(), 5u);  // rows 5 .. 9
    for (size_t i = 0; i < rec.calls.size(); ++i) {
        const auto& c = rec.calls[i];
        EXPECT_EQ(c.begin, (5 + static_cast<int32_t>(i)) * 20 + 5);
        EXPECT_EQ(c.end, (5 + static_cast<int32_t>(i)) * 20 + 10);
        EXPECT_EQ(c.u >> 16, 5);
        EXPECT_EQ(c.v >> 16, 5 + static_cast<int32_t>(i));
        EXPECT_EQ(c.dv, 0);
    }
    for (uint32_t* p = canvas.data; p < canvas.data + 400; ++p)
        ASSERT_EQ(*p, Sentinel);
}

TEST_F(SpanOps, PolygonTriangleStaysInsideItsEdges) {
    Bitmap canvas = Filled(16, 16, 0);
    FillSolid op(0xFFFFFFFF);
    const PolygonVertex tri[3] = {{0, 0}, {16, 16}, {0, 16}};
    FillPolygon(canvas, tri, 3, op, nullptr);
    for (int32_t y = 0; y < 16; ++y) {
        int32_t run = 0;
        while (run < 16 && canvas.at(run, y) == 0xFFFFFFFF)
            ++run;
        for (int32_t x = run; x < 16; ++x)
            EXPECT_EQ(canvas.at(x, y), 0u);
        // The lower-left half: row y is filled to about column y.
        EXPECT_GE(run, y - 1) << y;
        EXPECT_LE(run, y + 1) << y;
    }
}
