#include "core/bitmap.h"
#include "tests/support/images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

static int countPixels(const Bitmap& b, uint32_t v) { return int(std::count(b.data, b.data + b.pixelCount(), v)); }

TEST(Bitmap, HostileSizesFailAndLeaveTheImageEmpty) {
    // Negative, past the size limit, then past what memory holds.
    FloatImage f;
    for (auto [w, h] : {std::pair{-1, 5}, {0x7fffffff, 0x7fffffff}, {0x3fffffff, 0x3fffffff}})
        EXPECT_TRUE(!f.resize(w, h) && f.isEmpty()) << w;
    EXPECT_TRUE(f.resize(5, 0) && f.pixelCount() == 0);  // no rows is no failure
    EXPECT_TRUE(f.resize(3, 2) && f.resize(0, 2) && f.isEmpty());  // nor no columns, which empties it
    // A borrowed buffer moves on still borrowed; the image left behind owns what it allocates next.
    uint32_t pixels[4] = {};
    Bitmap borrowed, moved;
    borrowed.attach(2, 2, pixels);
    moved.moveFrom(borrowed);
    EXPECT_EQ(std::pair(false, true), std::pair(moved.ownsData, borrowed.ownsData));
    // Nor can a copy of a borrowed buffer claiming such a size be made.
    borrowed.attach(0x7fffffff, 0x7fffffff, pixels);
    EXPECT_TRUE(!moved.copyFrom(borrowed) && moved.isEmpty());
}

TEST(Bitmap, ClipRectClampsEachEdge) {
    const Bitmap b = generated(10, 8, [](int32_t, int32_t) { return 0u; });
    EXPECT_EQ(Rect(0, 0, 10, 8), b.clipRect());
    EXPECT_EQ(Rect(10, 2, 10, 5), b.clipRect(Rect(12, 2, 20, 5)));
    EXPECT_EQ(Rect(0, 0, 3, 8), b.clipRect(Rect(-5, -5, 3, 50)));
}

TEST(Bitmap, CropCopiesItsRectAndAnEmptyRectGivesAnEmptyPicture) {
    const Bitmap source = generated(4, 3, [](int32_t x, int32_t y) { return static_cast<uint32_t>(4 * y + x); });
    Bitmap crop;
    ASSERT_TRUE(crop.cropFrom(source, Rect(1, 1, 3, 3)));
    EXPECT_EQ(Rect(0, 0, 2, 2), crop.bounds());
    EXPECT_EQ((std::vector<uint32_t>{5, 6, 9, 10}), pixels(crop));
    EXPECT_TRUE(crop.cropFrom(source, Rect(2, 1, 2, 3)) && crop.isEmpty());
    EXPECT_TRUE(!crop.cropFrom(source, Rect(0, 0, 0x7fffffff, 0x7fffffff)) && crop.isEmpty());  // past the size limit
}

TEST(Bitmap, LinesClipAndDraw) {
    Bitmap b = generated(10, 10, [](int32_t, int32_t) { return 0u; });
    b.fillRun(0, 100, 9);
    EXPECT_EQ(100, countPixels(b, 9));  // every pixel: twelve runs of eight and the four after them
    b.fill(0);
    // Both ends left of the clip: nothing; lines cut at both ends by a clip one row or column wide: the pixels inside.
    b.drawLine(1, -5, 2, -1, 7, Rect(0, 0, 10, 10));
    b.drawLine(1, -20, 4, 30, 4, Rect(2, 4, 7, 5)), b.drawLine(1, 8, -20, 8, 30, Rect(8, 0, 9, 10));
    EXPECT_EQ(15, countPixels(b, 1));
    EXPECT_EQ(std::vector<uint32_t>(5, 1), std::vector<uint32_t>(&b.at(2, 4), &b.at(7, 4)));

    // A diagonal (a tie: y is the major axis) draws both ends and one pixel per major step.
    b.fill(0), b.drawLine(2, 0, 0, 9, 9);
    EXPECT_EQ(std::tuple(10, 2u, 2u), std::tuple(countPixels(b, 2), b.at(0, 0), b.at(9, 9)));

    // A segment that passes the corner outside the clip draws nothing.
    b.fill(0), b.drawLine(4, -3, 2, 2, -3, Rect(0, 0, 10, 10));
    EXPECT_EQ(0, countPixels(b, 4));
}

TEST(Bitmap, LineClipMovesEndOntoEdgeAlongTheSegment) {
    const Bitmap b = generated(100, 100, [](int32_t, int32_t) { return 0u; });
    // Either end past each edge: the segment and the clipped one (unequal across and down, so mixed-up x and y show).
    const std::vector<int> rows[][2] = {
        {{-10, 0, 10, 20}, {0, 10, 10, 20}},   {{10, 0, -10, 10}, {10, 0, 0, 5}},   {{95, 0, 105, 10}, {95, 0, 99, 4}},
        {{110, 0, 90, 10}, {99, 5, 90, 10}},   {{0, -10, 20, 10}, {10, 0, 20, 10}}, {{0, 95, 10, 105}, {0, 95, 4, 99}},
        {{-10, 50, 120, 50}, {0, 50, 99, 50}},                                 // past both
        {{-9, 0, 120, 0}, {0, 0, 99, 0}}, {{-9, 99, 120, 99}, {0, 99, 99, 99}},  // along each edge, past both ends
        {{0, -9, 0, 120}, {0, 0, 0, 99}}, {{99, -9, 99, 120}, {99, 0, 99, 99}},
        {{105, 0, 99, 6}, {99, 6, 99, 6}},     {{-5, 0, 0, 5}, {0, 5, 0, 5}},  // from past an edge onto it
    };
    for (const auto& r : rows) {
        int x0 = r[0][0], y0 = r[0][1], x1 = r[0][2], y1 = r[0][3];
        ASSERT_TRUE(b.clipLine(x0, y0, x1, y1));
        EXPECT_EQ(r[1], (std::vector<int>{x0, y0, x1, y1})) << r[0][0] << "," << r[0][1];
    }
}

// To (9, 3); to (8, 4), whose error is exactly 0 at every other step, where the minor axis steps too.
TEST(Bitmap, LinesStepTheMinorAxisAtHalfway) {
    Bitmap b = generated(10, 10, [](int32_t, int32_t) { return 0u; });
    for (const std::vector<int>& minor : {std::vector{0, 0, 1, 1, 1, 2, 2, 2, 3, 3}, {0, 1, 1, 2, 2, 3, 3, 4, 4}})
        for (bool steep : {false, true}) {
            b.fill(0);
            const int last = static_cast<int>(minor.size()) - 1;
            b.drawLine(1, 0, 0, steep ? minor.back() : last, steep ? last : minor.back());
            for (int major = 0; major <= last; ++major)
                EXPECT_EQ(1u, steep ? b.at(minor[major], major) : b.at(major, minor[major])) << major;
            EXPECT_EQ(last + 1, countPixels(b, 1)) << steep;  // and no other pixel
        }
}
