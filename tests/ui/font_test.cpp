#include "core/bilinear_weights.h"
#include "ui/font.h"
#include "ui/rect_ops.h"
#include "ui/ui_resources.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr uint32_t Paper = 0xFFFFFFFF;

// The lowest inked row (exclusive) and the ink's column range in a canvas
// area that started as paper.
Rect InkBox(const Bitmap& canvas, const Rect& area) {
    Rect ink = EmptyRect();
    for (int32_t y = area.top(); y < area.bottom(); ++y)
        for (int32_t x = area.left(); x < area.right(); ++x)
            if (canvas.at(x, y) != Paper)
                UnionInto(ink, Rect(x, y, x + 1, y + 1));
    return ink;
}

struct EmbeddedFonts : ::testing::Test {
    void SetUp() override {
        InitBilinearWeights();
        resources = LoadTestResources();
        ASSERT_TRUE(resources->complete);
        canvas.resize(300, 60);
        canvas.fill(Paper);
    }
    void TearDown() override { DropTestResources(resources); }
    UiResources* resources = nullptr;
    Bitmap canvas;
};

// A sheet of 8 x 12 cells, 6 x 8 pixels each with a one-pixel gap: character
// c is a block (c % 3) + 1 wide, resting on row 5 of its cell, with a
// descent of 1 for codes divisible by 5.
Bitmap SyntheticSheet() {
    Bitmap sheet;
    sheet.resize(1 + 8 * 7, 1 + 12 * 9);
    sheet.fill(Paper);
    // Faint marks along the top and left of every cell, under the glyphs,
    // make each band the full cell.
    for (int32_t row = 0; row < 12; ++row)
        for (int32_t col = 0; col < 8; ++col) {
            const int32_t x0 = 1 + col * 7, y0 = 1 + row * 9;
            for (int32_t i = 0; i < 6; ++i)
                sheet.at(x0 + i, y0) = packPixel(200, 200, 200);
            for (int32_t i = 0; i < 8; ++i)
                sheet.at(x0, y0 + i) = packPixel(200, 200, 200);
        }
    for (int32_t c = 33; c < 127; ++c) {
        const int32_t x0 = 1 + (c % 8) * 7, y0 = 1 + ((c - 32) / 8) * 9;
        const int32_t bottom = y0 + 6 + (c % 5 == 0 ? 1 : 0);
        for (int32_t y = y0 + 2; y < bottom; ++y)
            for (int32_t x = x0; x < x0 + (c % 3) + 1; ++x)
                sheet.at(x, y) = packPixel(30, 30, 30);
    }
    return sheet;
}

}  // namespace

TEST(FontBuild, CutsCellsBaselinesAndMetricsFromTheSheet) {
    const Bitmap sheet = SyntheticSheet();
    Font font;
    ASSERT_TRUE(BuildFont(sheet, 'a', font));
    // Light grey (200) inverts to 55 of ink: the glyph boxes include the
    // marker pixels, so every box spans its whole cell.
    for (int32_t c = 33; c < 127; ++c) {
        const int32_t x0 = 1 + (c % 8) * 7, y0 = 1 + ((c - 32) / 8) * 9;
        ASSERT_TRUE(font.HasGlyph(c)) << c;
        EXPECT_EQ(font.Glyph(c), Rect(x0, y0, x0 + 6, y0 + 8)) << c;
    }
    EXPECT_EQ(font.map.at(1 + (65 % 8) * 7, 1 + 4 * 9 + 3), 255 - 30);
    // Space and 127 carry only the markers: still "present" cells here.
    EXPECT_TRUE(font.HasGlyph(' '));
    EXPECT_EQ(font.rowBaseline[4], 1 + 4 * 9 + 8);
    EXPECT_EQ(font.ascent, 8);
    EXPECT_EQ(font.lineHeight, 8);
    EXPECT_EQ(font.spaceAdvance, 6 / 2 + 1);
    EXPECT_EQ(font.letterSpacing, 6 / 16 + 1);

    // Without the markers, empty cells give absent glyphs and the boxes are tight.
    Bitmap bare;
    bare.resize(sheet.width, sheet.height);
    for (size_t i = 0; i < sheet.pixelCount(); ++i)
        bare.data[i] = sheet.data[i] == packPixel(200, 200, 200) ? Paper : sheet.data[i];
    Font tight;
    ASSERT_TRUE(BuildFont(bare, 'a', tight));
    EXPECT_FALSE(tight.HasGlyph(' '));
    EXPECT_FALSE(tight.HasGlyph(127));
    EXPECT_EQ(tight.Glyph(' '), Rect(-1, -1, -1, -1));
    EXPECT_EQ(tight.Glyph('A').width(), 65 % 3 + 1);
    EXPECT_EQ(tight.Glyph('A').height(), 5);
    // Row baselines come from the reference glyphs: '#' (35, one lower)
    // for row 0, 'a' (97) for row 8, 'h' (104) for row 9.
    EXPECT_EQ(tight.rowBaseline[0], 1 + 7);
    EXPECT_EQ(tight.rowBaseline[8], 1 + 8 * 9 + 6);
    EXPECT_EQ(tight.rowBaseline[9], 1 + 9 * 9 + 6);
    // 'i' (105) reaches one below its row's line; '#' sets the ascent.
    EXPECT_EQ(tight.Glyph('i').bottom() - tight.rowBaseline[9], 1);
    EXPECT_EQ(tight.ascent, 5);
    EXPECT_EQ(tight.lineHeight, 6);
    // The row-8 reference is the caller's: 'd' (100) reaches one lower.
    Font other;
    ASSERT_TRUE(BuildFont(bare, 'd', other));
    EXPECT_EQ(other.rowBaseline[8], 1 + 8 * 9 + 7);

    Font none;
    EXPECT_FALSE(BuildFont(Bitmap(), 'a', none));
}

TEST_F(EmbeddedFonts, EveryPrintableCharacterHasAGlyph) {
    for (const Font* font : {&resources->font0, &resources->font2}) {
        for (int32_t c = 33; c <= 126; ++c)
            EXPECT_TRUE(font->HasGlyph(c)) << c;
        EXPECT_FALSE(font->HasGlyph(' '));
        EXPECT_GT(font->ascent, 0);
        EXPECT_GT(font->lineHeight, font->ascent);
    }
    // The interface font fits a 19-pixel control; the heading font is larger.
    EXPECT_LE(resources->font0.lineHeight, 15);
    EXPECT_GT(resources->font2.lineHeight, resources->font0.lineHeight);
}

TEST_F(EmbeddedFonts, BaselinesLineUpAcrossRows) {
    // One glyph resting on the line from each of several sheet rows; row 8
    // is measured by its reference glyph, 'a' for the interface font and 'f'
    // for the heading font (a round 'a' may overshoot the line).
    for (const Font* font : {&resources->font0, &resources->font2}) {
        const std::string text = font == &resources->font0 ? "#1AHPXahrz" : "#1AHPXfhrz";
        canvas.fill(Paper);
        DrawText(*font, canvas, 0xFF000000, 4, 10, text.data(), static_cast<int32_t>(text.size()), nullptr);
        int32_t pen = 4;
        for (char c : text) {
            const Rect g = font->Glyph(c);
            const Rect ink = InkBox(canvas, Rect(pen, 0, pen + g.width(), canvas.height));
            EXPECT_EQ(ink.bottom(), 10 + font->ascent) << c;
            pen += font->Advance(c);
        }
    }
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
    // Bytes 128 and up are skipped without advance.
    const char high[] = {'A', static_cast<char>(0xC3), static_cast<char>(0xA9), 'A'};
    EXPECT_EQ(TextWidth(f, high, 4), 2 * TextWidth(f, "A", 1));

    // Code 1 raises the following glyphs by two pixels.
    const char up[] = {'x', 1, 'x'};
    DrawText(f, canvas, 0xFF000000, 10, 20, up, 3, nullptr);
    const int32_t advance = f.Advance('x');
    const Rect first = InkBox(canvas, Rect(10, 0, 10 + advance, 60));
    const Rect second = InkBox(canvas, Rect(10 + advance, 0, 10 + 2 * advance, 60));
    EXPECT_EQ(second.bottom(), first.bottom() - 2);
}

TEST_F(EmbeddedFonts, DrawingStopsAtTheClipsRightEdge) {
    const Font& f = resources->font0;
    const Rect clip(0, 0, 40, 60);
    DrawText(f, canvas, 0xFF000000, 2, 5, "WWWWWWWWWWWWWWWW", 16, &clip);
    const Rect ink = InkBox(canvas, canvas.bounds());
    EXPECT_LE(ink.right(), 40);
    EXPECT_GE(ink.right(), 40 - f.Advance('W'));
    // Text starting right of the clip or below it draws nothing.
    canvas.fill(Paper);
    DrawText(f, canvas, 0xFF000000, 40, 5, "W", 1, &clip);
    DrawText(f, canvas, 0xFF000000, 2, 60, "W", 1, nullptr);
    DrawText(f, canvas, 0xFF000000, 2, -f.lineHeight, "W", 1, nullptr);
    EXPECT_TRUE(InkBox(canvas, canvas.bounds()).isEmpty());
}

TEST_F(EmbeddedFonts, CharIndexAtXFindsTheCharacterUnderThePointer) {
    const Font& f = resources->font0;
    const int32_t a = f.Glyph('A').width();
    EXPECT_EQ(CharIndexAtX(f, "AB", 2, -5), 0);
    EXPECT_EQ(CharIndexAtX(f, "AB", 2, a), 0);
    EXPECT_EQ(CharIndexAtX(f, "AB", 2, a + 1), 1);
    EXPECT_EQ(CharIndexAtX(f, "AB", 2, 1000), 2);
    EXPECT_EQ(CharIndexAtX(f, "", 0, 0), 0);
    // A control code counts as a space.
    const char tab[] = {'A', 9, 'B'};
    EXPECT_EQ(CharIndexAtX(f, tab, 3, a + f.letterSpacing + f.spaceAdvance), 1);
}

TEST_F(EmbeddedFonts, MasksAndArrows) {
    const UiResources& r = *resources;
    ASSERT_EQ(r.compareIcon.width, 18);
    ASSERT_EQ(r.compareIcon.height, 18);
    ASSERT_EQ(r.copyrightSign.width, 17);
    ASSERT_EQ(r.copyrightSign.height, 17);
    EXPECT_EQ(r.stripPicture.width, 338);
    EXPECT_EQ(r.stripPicture.height, 239);
    EXPECT_EQ(r.aboutPicture.width, 580);
    EXPECT_EQ(r.aboutPicture.height, 659);
    // Black everywhere; ink on the mask is opaque, paper transparent.
    for (size_t i = 0; i < r.compareIcon.pixelCount(); ++i)
        ASSERT_EQ(r.compareIcon.data[i] & 0x00FFFFFF, 0u);
    EXPECT_GT(pixelAlpha(r.compareIcon.at(4, 9)), 200u);
    EXPECT_LT(pixelAlpha(r.copyrightSign.at(8, 8)), 32u);
    EXPECT_GT(pixelAlpha(r.copyrightSign.at(0, 8)) + pixelAlpha(r.copyrightSign.at(1, 8)), 200u);

    const Bitmap& left = r.arrowLeft;
    ASSERT_FALSE(left.isEmpty());
    EXPECT_LE(left.width, 16);
    // Cropped to the ink: the outer columns and rows carry some.
    auto columnInked = [](const Bitmap& b, int32_t x) {
        for (int32_t y = 0; y < b.height; ++y)
            if (pixelAlpha(b.at(x, y)))
                return true;
        return false;
    };
    EXPECT_TRUE(columnInked(left, 0));
    EXPECT_TRUE(columnInked(left, left.width - 1));
    ASSERT_EQ(r.arrowRight.width, left.width);
    ASSERT_EQ(r.arrowDown.width, left.height);
    ASSERT_EQ(r.arrowUp.height, left.width);
    for (int32_t y = 0; y < left.height; ++y)
        for (int32_t x = 0; x < left.width; ++x) {
            EXPECT_EQ(r.arrowRight.at(left.width - 1 - x, y), left.at(x, y));
            EXPECT_EQ(r.arrowDown.at(y, left.width - 1 - x), left.at(x, y));
            EXPECT_EQ(r.arrowUp.at(y, x), left.at(x, y));
        }
    // The point of "<" is on the left: its leftmost ink is in the middle rows.
    int32_t firstRow = -1;
    for (int32_t y = 0; y < left.height && firstRow < 0; ++y)
        if (pixelAlpha(left.at(0, y)))
            firstRow = y;
    EXPECT_GT(firstRow, 0);
    EXPECT_LT(firstRow, left.height - 1);
}
