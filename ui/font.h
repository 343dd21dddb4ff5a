#pragma once

#include "core/bitmap.h"
#include "core/geometry.h"
#include "core/strings.h"

#include <cstdint>

// A bitmap typeface cut from a glyph sheet: dark ink on light paper, 8
// column bands by 12 row bands, character c (32 .. 127) in the cell of
// column band c mod 8 and row band (c - 32) / 8.
struct Font {
    static constexpr int32_t FirstCode = 32;
    static constexpr int32_t CodeCount = 96;
    static constexpr int32_t RowCount = 12;

    Font() = default;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Ink coverage, 255 = full ink.
    ByteImage map;
    // Tight box of each glyph in the map; all -1 when the character has none.
    Rect glyphs[CodeCount];
    int32_t rowBaseline[RowCount] = {};
    int32_t spaceAdvance = 0;
    int32_t letterSpacing = 0;
    int32_t lineHeight = 0;
    int32_t ascent = 0;

    bool HasGlyph(int32_t code) const {
        return code >= FirstCode && code < FirstCode + CodeCount && glyphs[code - FirstCode].left() >= 0;
    }
    const Rect& Glyph(int32_t code) const { return glyphs[code - FirstCode]; }
    // Pen advance of a character code of 32 or more.
    int32_t Advance(int32_t code) const;
};

// Builds a font from a glyph sheet picture. rowEightReference is the
// glyph whose bottom gives the baseline of row 8 ('a' or 'f'); the other
// rows use fixed reference glyphs. False only when the sheet is empty or
// the map cannot be allocated.
bool BuildFont(const Bitmap& sheet, char rowEightReference, Font& font);

// The 8-bit map of a picture: (G * 183 + R * 54 + B * 19 + 128) >> 8,
// inverted so that dark becomes high. Shared with the icon masks.
bool InvertedLumaMap(const Bitmap& picture, ByteImage& map);

// Draws text with its top-left corner at (x, y). Codes 1 and 2 raise and
// lower the baseline by 2 pixels; other codes below 32 and bytes 128 and up
// are skipped. Drawing stops once the pen reaches the clip's right edge.
void DrawText(const Font& font, Bitmap& canvas, uint32_t colour, int32_t x, int32_t y, const char* text,
              int32_t length, const Rect* clip);
inline void DrawText(const Font& font, Bitmap& canvas, uint32_t colour, int32_t x, int32_t y, const String& text,
                     const Rect* clip) {
    DrawText(font, canvas, colour, x, y, text.chars(), text.length, clip);
}

// Width in pixels of the first maxChars characters (all when negative),
// trailing letter spacing included.
int32_t TextWidth(const Font& font, const char* text, int32_t length, int32_t maxChars = -1);
inline int32_t TextWidth(const Font& font, const String& text, int32_t maxChars = -1) {
    return TextWidth(font, text.chars(), text.length, maxChars);
}

// Index of the first character by the end of which (trailing spacing not
// counted) the text is at least x wide; the length when none is.
int32_t CharIndexAtX(const Font& font, const char* text, int32_t length, int32_t x);
inline int32_t CharIndexAtX(const Font& font, const String& text, int32_t x) {
    return CharIndexAtX(font, text.chars(), text.length, x);
}
