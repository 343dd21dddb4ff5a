#include "core/bilinear_weights.h"
#include "tests/support/images.h"
#include "ui/font.h"
#include "ui/rect_ops.h"
#include "ui/ui_resources.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t Paper = 0xFFFFFFFF;

// The lowest inked row (exclusive) and the ink's column range in a canvas area that started as paper.
Rect InkBox(const Bitmap& canvas, const Rect& area) {
    Rect ink = EmptyRect();
    for (int32_t y = area.top(); y < area.bottom(); ++y)
        for (int32_t x = area.left(); x < area.right(); ++x)
            if (canvas.at(x, y) != Paper) UnionInto(ink, Rect(x, y, x + 1, y + 1));
    return ink;
}

struct EmbeddedFonts : ::testing::Test {
    void SetUp() override {
        InitBilinearWeights();
        resources = TheUiResources = new UiResources;
        ASSERT_TRUE(resources->complete);
    }
    void TearDown() override { delete resources; }
    UiResources* resources = nullptr;
    Bitmap canvas = generated(300, 60, [](int32_t, int32_t) { return Paper; });
};

}  // namespace

TEST_F(EmbeddedFonts, EveryPrintableCharacterHasAGlyph) {
    for (const Font* font : {&resources->font0, &resources->font2}) {
        for (int32_t c = 33; c <= 126; ++c) EXPECT_TRUE(font->HasGlyph(c)) << c;
        EXPECT_FALSE(font->HasGlyph(' '));
        EXPECT_TRUE(font->ascent > 0 && font->lineHeight > font->ascent) << font->ascent << " " << font->lineHeight;
    }
    // The interface font fits a 19-pixel control; the heading font is larger.
    EXPECT_LE(resources->font0.lineHeight, 15);
    EXPECT_GT(resources->font2.lineHeight, resources->font0.lineHeight);
}

TEST_F(EmbeddedFonts, WidthsAndControlCodes) {
    const Font& f = resources->font0;
    EXPECT_EQ(TextWidth(f, "A", 1), f.Glyph('A').width() + f.letterSpacing);
    EXPECT_EQ(TextWidth(f, "", 0), 0);
    EXPECT_EQ(TextWidth(f, "A B", 3),
              f.Glyph('A').width() + f.spaceAdvance + f.Glyph('B').width() + 3 * f.letterSpacing);
    EXPECT_EQ(TextWidth(f, "AB", 2, 1), TextWidth(f, "A", 1));
    const char raised[] = {1, 1, 2, 2, 1};
    EXPECT_EQ(TextWidth(f, raised, 5), 0);
    DrawText(f, canvas, 0xFF000000, 10, 10, raised, 5, nullptr);
    EXPECT_TRUE(InkBox(canvas, canvas.bounds()).isEmpty());
    EXPECT_EQ(TextWidth(f, "A\303\251A", 4), 2 * TextWidth(f, "A", 1));  // bytes 128 and up are skipped without advance

    // Code 1 raises the following glyphs by two pixels.
    DrawText(f, canvas, 0xFF000000, 10, 20, "x\1x", 3, nullptr);
    const int32_t advance = f.Advance('x');
    EXPECT_EQ(InkBox(canvas, Rect(10 + advance, 0, 10 + 2 * advance, 60)).bottom(),
              InkBox(canvas, Rect(10, 0, 10 + advance, 60)).bottom() - 2);
}
