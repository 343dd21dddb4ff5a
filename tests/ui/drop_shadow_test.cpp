#include "core/bilinear_weights.h"
#include "ui/drop_shadow.h"
#include "ui/quad_image.h"
#include "ui/rect_ops.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t White = 0xFFFFFFFF;

bool InShadow(int32_t x, int32_t y, const Rect& r) {
    const bool rightArm = x >= r.right() && x < r.right() + 20 && y >= r.top() && y < r.bottom() + 20;
    const bool lowerArm = y >= r.bottom() && y < r.bottom() + 20 && x >= r.left() && x < r.right() + 20;
    return rightArm || lowerArm;
}

}  // namespace

TEST(DropShadow, PictureIsABlurredSquareOfBlack) {
    Bitmap picture;
    ASSERT_TRUE(BuildShadowPicture(3.0f, 10, picture));
    ASSERT_EQ(picture.width, 40);
    ASSERT_EQ(picture.height, 40);
    for (size_t i = 0; i < picture.pixelCount(); ++i)
        ASSERT_EQ(picture.data[i] & 0x00FFFFFF, 0u);
    // Deep inside the square: close to 0.75 of full alpha (191); in the
    // corner: nothing; the edge of the square about half way.
    EXPECT_GE(pixelAlpha(picture.at(20, 20)), 180u);
    EXPECT_LE(pixelAlpha(picture.at(20, 20)), 191u);
    EXPECT_EQ(pixelAlpha(picture.at(0, 0)), 0u);
    EXPECT_LT(pixelAlpha(picture.at(1, 20)), 8u);
    const uint32_t edge = pixelAlpha(picture.at(10, 20));
    EXPECT_GT(edge, 60u);
    EXPECT_LT(edge, 130u);
    // Symmetric about the middle.
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 40; ++x)
            ASSERT_EQ(picture.at(x, y), picture.at(39 - x, 39 - y)) << x << "," << y;
}

TEST(DropShadow, PiecesCoverTheRightAndLowerSidesOnly) {
    InitBilinearWeights();
    DropShadow shadow(Point{0, 0}, Size{100, 50});
    ASSERT_EQ(shadow.ChildCount(), 5);
    // Each piece's corners span its destination; together they tile
    // x 100 .. 120 for y 0 .. 70 and y 50 .. 70 for x 0 .. 120.
    int64_t area = 0;
    for (int32_t i = 0; i < 5; ++i) {
        const auto* q = static_cast<const QuadImage*>(shadow.Child(i));
        EXPECT_TRUE(q->blend);
        EXPECT_FALSE(q->bilinear);
        EXPECT_EQ(q->picture, &shadow.shadowPicture);
        const Rect r(static_cast<int32_t>(q->corners[0].x), static_cast<int32_t>(q->corners[0].y),
                     static_cast<int32_t>(q->corners[3].x), static_cast<int32_t>(q->corners[3].y));
        area += int64_t{r.width()} * r.height();
        for (int32_t y = r.top(); y < r.bottom(); ++y)
            for (int32_t x = r.left(); x < r.right(); ++x)
                ASSERT_TRUE(InShadow(x, y, Rect(0, 0, 100, 50))) << i << ": " << x << "," << y;
        // Bounds: the corners' box, one past right and bottom.
        EXPECT_EQ(q->bounds, Rect(r.left(), r.top(), r.right() + 1, r.bottom() + 1));
    }
    EXPECT_EQ(area, 20 * 70 + 100 * 20);

    // Painted onto white: only the L-shaped band changes, darker toward the
    // rectangle, and nothing above or left of the rectangle.
    const Rect target(30, 30, 130, 80);
    Bitmap canvas;
    canvas.resize(200, 140);
    canvas.fill(White);
    shadow.Layout(target.topLeft, Size{100, 50});
    PaintSubtree(&shadow, canvas, canvas.bounds());
    int32_t changed = 0;
    for (int32_t y = 0; y < canvas.height; ++y)
        for (int32_t x = 0; x < canvas.width; ++x)
            if (canvas.at(x, y) != White) {
                ++changed;
                ASSERT_TRUE(InShadow(x, y, target)) << x << "," << y;
            }
    EXPECT_GT(changed, 1000);
    const uint32_t nearEdge = pixelRed(canvas.at(131, 60)), farEdge = pixelRed(canvas.at(148, 60));
    EXPECT_LT(nearEdge, farEdge);
    EXPECT_LT(nearEdge, 90u);  // black over white at alpha near 191
    // The right and lower edges are the same shadow turned.
    EXPECT_EQ(pixelRed(canvas.at(80, 81)), nearEdge);
    // The shadow fades in about a margin below the rectangle's top and right
    // of its left edge.
    EXPECT_GT(pixelRed(canvas.at(131, 31)), 240u);
    EXPECT_GT(pixelRed(canvas.at(31, 81)), 240u);
    EXPECT_LT(pixelRed(canvas.at(131, 45)), 200u);
}
