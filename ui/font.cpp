#include "ui/font.h"

#include "ui/draw.h"
#include "ui/rect_ops.h"
#include "ui/span_op.h"

#include <algorithm>

namespace {

struct Band {
    int32_t begin, end;
};

// Runs of inked lines (columns or rows). A band starts at an inked line
// after an empty one, the state before line 1 being that of line 0; one
// still open at the far edge ends there.
int32_t FindBands(const bool* inked, int32_t count, Band* bands, int32_t maxBands) {
    int32_t found = 0;
    if (count <= 0)
        return 0;
    bool previous = inked[0];
    int32_t start = -1;
    for (int32_t i = 1; i < count && found < maxBands; ++i) {
        if (inked[i] && !previous)
            start = i;
        else if (!inked[i] && previous && start >= 0) {
            bands[found++] = Band{start, i};
            start = -1;
        }
        previous = inked[i];
    }
    if (start >= 0 && found < maxBands)
        bands[found++] = Band{start, count};
    return found;
}

// The baseline reference of each sheet row; row 8 is the font's own choice.
constexpr char RowReference[Font::RowCount] = {'#', '.', '1', '?', 'A', 'H', 'P', 'X', 0, 'h', 'r', 'z'};

int32_t AsCode(char c) { return static_cast<int32_t>(static_cast<signed char>(c)); }

}  // namespace

int32_t Font::Advance(int32_t code) const {
    return (HasGlyph(code) ? Glyph(code).width() : spaceAdvance) + letterSpacing;
}

bool InvertedLumaMap(const Bitmap& picture, ByteImage& map) {
    if (picture.isEmpty() || !map.resize(picture.width, picture.height))
        return false;
    const size_t n = picture.pixelCount();
    for (size_t i = 0; i < n; ++i) {
        const uint32_t p = picture.data[i];
        const uint32_t luma = (pixelGreen(p) * 183 + pixelRed(p) * 54 + pixelBlue(p) * 19 + 128) >> 8;
        map.data[i] = static_cast<uint8_t>(255 - luma);
    }
    return true;
}

bool BuildFont(const Bitmap& sheet, char rowEightReference, Font& font) {
    if (!InvertedLumaMap(sheet, font.map))
        return false;
    const ByteImage& map = font.map;
    const int32_t w = map.width, h = map.height;

    bool* columnInked = new bool[static_cast<size_t>(w)]();
    bool* rowInked = new bool[static_cast<size_t>(h)]();
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (map.at(x, y)) {
                columnInked[x] = true;
                rowInked[y] = true;
            }
    Band columns[8], rows[Font::RowCount];
    const int32_t columnCount = FindBands(columnInked, w, columns, 8);
    const int32_t rowCount = FindBands(rowInked, h, rows, Font::RowCount);
    delete[] columnInked;
    delete[] rowInked;

    for (int32_t code = Font::FirstCode; code < Font::FirstCode + Font::CodeCount; ++code) {
        Rect box(-1, -1, -1, -1);
        const int32_t column = code % 8, row = (code - Font::FirstCode) / 8;
        if (column < columnCount && row < rowCount) {
            Rect ink = EmptyRect();
            for (int32_t y = rows[row].begin; y < rows[row].end; ++y)
                for (int32_t x = columns[column].begin; x < columns[column].end; ++x)
                    if (map.at(x, y))
                        UnionInto(ink, Rect(x, y, x + 1, y + 1));
            if (!ink.isEmpty())
                box = ink;
        }
        font.glyphs[code - Font::FirstCode] = box;
    }

    for (int32_t row = 0; row < Font::RowCount; ++row) {
        const int32_t reference = AsCode(row == 8 ? rowEightReference : RowReference[row]);
        if (font.HasGlyph(reference))
            font.rowBaseline[row] = font.Glyph(reference).bottom();
        else
            font.rowBaseline[row] = row < rowCount ? rows[row].end : 0;
    }

    int32_t ascent = 0, descent = 0;
    for (int32_t code = Font::FirstCode; code < Font::FirstCode + Font::CodeCount; ++code) {
        if (!font.HasGlyph(code))
            continue;
        const Rect& g = font.Glyph(code);
        const int32_t baseline = font.rowBaseline[(code - Font::FirstCode) / 8];
        ascent = std::max(ascent, baseline - g.top());
        descent = std::max(descent, g.bottom() - baseline);
    }
    font.ascent = ascent;
    font.lineHeight = ascent + descent;

    const int32_t widthOfA = font.HasGlyph('A') ? font.Glyph('A').width() : 0;
    font.spaceAdvance = widthOfA / 2 + 1;
    font.letterSpacing = widthOfA / 16 + 1;
    return true;
}

void DrawText(const Font& font, Bitmap& canvas, uint32_t colour, int32_t x, int32_t y, const char* text,
              int32_t length, const Rect* clip) {
    Rect e = canvas.bounds();
    if (clip)
        e = ClampedInto(*clip, e);
    if (y >= e.bottom() || int64_t{y} + font.lineHeight <= e.top() || x >= e.right())
        return;
    GlyphColorize op(&font.map, colour);
    int32_t baseline = y + font.ascent;
    int64_t pen = x;
    for (int32_t i = 0; i < length; ++i) {
        const int32_t code = AsCode(text[i]);
        if (code == 1)
            baseline -= 2;
        else if (code == 2)
            baseline += 2;
        else if (code >= Font::FirstCode) {
            if (font.HasGlyph(code)) {
                const Rect& g = font.Glyph(code);
                const int32_t row = (code - Font::FirstCode) / 8;
                DrawImage(canvas, static_cast<int32_t>(pen), baseline + g.top() - font.rowBaseline[row], g.width(),
                          g.height(), static_cast<float>(g.left()), static_cast<float>(g.top()), op, &e);
            }
            pen += font.Advance(code);
        }
        if (pen >= e.right())
            break;
    }
}

int32_t TextWidth(const Font& font, const char* text, int32_t length, int32_t maxChars) {
    const int32_t n = maxChars >= 0 ? std::min(length, maxChars) : length;
    int32_t width = 0;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t code = AsCode(text[i]);
        if (code >= Font::FirstCode)
            width += font.Advance(code);
    }
    return width;
}

int32_t CharIndexAtX(const Font& font, const char* text, int32_t length, int32_t x) {
    int32_t width = 0;
    for (int32_t i = 0; i < length; ++i) {
        const int32_t code = AsCode(text[i]);
        width += font.Advance(code < Font::FirstCode ? ' ' : code);
        if (width - font.letterSpacing >= x)
            return i;
    }
    return length;
}
