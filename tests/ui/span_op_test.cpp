#include "core/bilinear_weights.h"
#include "tests/support/images.h"
#include "ui/span_op.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t Sentinel = 0x5A5A5A5A;

Bitmap Filled(int32_t w, int32_t h, uint32_t v) { return generated(w, h, [v](int32_t, int32_t) { return v; }); }

struct SpanOps : ::testing::Test { void SetUp() override { InitBilinearWeights(); } };

}  // namespace

TEST(BlendPixel, WeightsAtBothEndsAndBetweenKeepLanesApart) {
    const uint32_t s = 0xFF80FF00, d = 0x00FF00FF;
    EXPECT_EQ(BlendPixel(s, d, 0), 0x00FE00FE);  // weight 0 keeps the destination except for the >> 8 of 255 * 255
    EXPECT_EQ(BlendPixel(s, d, 255), 0xFE7FFE00);
    // Half way, each byte on its own: (s * 128 + d * 127) >> 8 gives 7F, BE, 7F, 7E.
    EXPECT_EQ(BlendPixel(s, d, 128), 0x7FBE7F7Eu);
    // Full white over full white at any weight never carries into the next byte.
    for (uint32_t a = 0; a < 256; ++a) EXPECT_EQ(BlendPixel(0xFFFFFFFF, 0xFFFFFFFF, a), 0xFEFEFEFEu) << a;
}

TEST_F(SpanOps, FillsHonourAlpha) {
    Bitmap canvas = Filled(4, 1, 0xFF102030);
    FillSolid(0x00ABCDEF).Span(canvas.data, canvas.data + 2, {}, {}, false);
    EXPECT_EQ(std::pair(canvas.at(0, 0), canvas.at(2, 0)), std::pair(0x00ABCDEFu, 0xFF102030u));

    canvas.fill(0xFF102030);
    FillBlend(0x00FFFFFF).Span(canvas.data, canvas.data + 4, {}, {}, false);  // transparent: nothing changes
    FillBlend(0xFFFFFFFF).Span(canvas.data, canvas.data + 1, {}, {}, false);
    FillBlend(0x80FFFFFF).Span(canvas.data + 1, canvas.data + 2, {}, {}, false);
    const uint32_t half = BlendPixel(0x80FFFFFF, 0xFF102030, 0x80);
    EXPECT_EQ(pixels(canvas), (std::vector<uint32_t>{0xFFFFFFFF, half, 0xFF102030, 0xFF102030}));
}

TEST_F(SpanOps, GlyphColorizeThresholds) {
    const uint8_t values[5] = {0, 1, 128, 254, 255};
    const ByteImage map = generated<ByteImage>(5, 1, [&values](int32_t x, int32_t) { return values[x]; });
    Bitmap canvas = Filled(5, 1, Sentinel);
    // Opaque colour: coverage = (v * 255 + 128) >> 8: only map 255 reaches 254 and writes; map 254 gives 253, blends.
    GlyphColorize(&map, 0xFF204080).Span(canvas.data, canvas.data + 5, FixedValues(0, 0), FixedValues(65536, 0), true);
    const auto ink = [](uint32_t coverage) { return BlendPixel(0xFF204080, Sentinel, coverage); };
    EXPECT_EQ(pixels(canvas), (std::vector<uint32_t>{Sentinel, ink(1), ink(128), ink(253), 0xFF204080u}));

    // Half-transparent colour: full ink only reaches coverage 128, and the colour is drawn opaque.
    canvas.fill(Sentinel);
    GlyphColorize(&map, 0x80204080).Span(canvas.data, canvas.data + 5, FixedValues(0, 0), FixedValues(65536, 0), true);
    EXPECT_EQ(std::tuple(canvas.at(0, 0), canvas.at(1, 0), canvas.at(4, 0)),
              std::tuple(Sentinel, ink((1 * 128 + 128) >> 8), ink((255 * 128 + 128) >> 8)));
}

TEST_F(SpanOps, BilinearSamplesInEighths) {
    const uint32_t corners[4] = {0xFF000000, 0xFF0000FF, 0xFF00FF00, 0xFFFF0000};  // row by row
    const Bitmap src = generated(2, 2, [&corners](int32_t x, int32_t y) { return corners[2 * y + x]; });
    Bitmap canvas = Filled(1, 1, Sentinel), clamped = Filled(1, 1, Sentinel);
    // Three eighths across, five eighths down.
    const SpanValues at = FixedValues(3 << 13, 5 << 13), step = FixedValues(0, 0);
    CopyBilinear(&src).Span(canvas.data, canvas.data + 1, at, step, true);
    // Weights in 64ths: top-right 3 * 3, bottom-left 5 * 5, bottom-right 3 * 5.
    const uint32_t blue = (255 * 9) >> 6, green = (255 * 25) >> 6, red = (255 * 15) >> 6;
    EXPECT_EQ(canvas.at(0, 0), packPixel(red, green, blue, 255));
    // The clamped op agrees inside the picture.
    CopyBilinearClamped(&src).Span(clamped.data, clamped.data + 1, at, step, true);
    EXPECT_EQ(clamped.at(0, 0), canvas.at(0, 0));
}
