#include "core/bilinear_weights.h"
#include "core/bitmap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

int countPixels(const Bitmap& b, uint32_t value) {
    int n = 0;
    for (size_t i = 0; i < b.pixelCount(); ++i)
        n += b.data[i] == value;
    return n;
}

}  // namespace

TEST(Bitmap, ResizeKeepsPixelsAtSameSizeAndEmptiesAtWidthZero) {
    Bitmap b;
    ASSERT_TRUE(b.resize(3, 2));
    b.fill(0x12345678);
    uint32_t* before = b.data;
    b.resize(3, 2);
    EXPECT_EQ(before, b.data);
    EXPECT_EQ(6, countPixels(b, 0x12345678));

    b.resize(0, 7);
    EXPECT_EQ(0, b.width);
    EXPECT_EQ(0, b.height);
    EXPECT_EQ(nullptr, b.data);
    EXPECT_TRUE(b.ownsData);

    ASSERT_TRUE(b.resize(4, 0));
    EXPECT_EQ(4, b.width);
    EXPECT_EQ(0u, b.pixelCount());
}

TEST(Bitmap, HostileSizesFailWithoutAllocating) {
    Bitmap b;
    EXPECT_FALSE(b.resize(-1, 5));
    EXPECT_TRUE(b.isEmpty());
    FloatImage f;
    EXPECT_FALSE(f.resize(0x7fffffff, 0x7fffffff));
    EXPECT_TRUE(f.isEmpty());
}

TEST(Bitmap, AttachBorrowsAndClearNeverFreesBorrowedPixels) {
    std::vector<uint32_t> pixels(12, 7);
    {
        Bitmap b;
        b.resize(2, 2);
        b.attach(4, 3, pixels.data());
        EXPECT_FALSE(b.ownsData);
        EXPECT_EQ(pixels.data(), b.data);
        b.clear();
        EXPECT_TRUE(b.ownsData);
        EXPECT_EQ(nullptr, b.data);
        b.attach(4, 3, pixels.data());
    }  // destructor must not free the vector's storage
    EXPECT_EQ(7u, pixels[11]);
}

TEST(Bitmap, MoveFromTakesBufferAndEmptiesSource) {
    Bitmap a, b;
    a.resize(5, 4);
    a.fill(1);
    uint32_t* block = a.data;
    b.resize(2, 2);
    b.moveFrom(a);
    EXPECT_EQ(block, b.data);
    EXPECT_EQ(5, b.width);
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(nullptr, a.data);
}

TEST(Bitmap, PackingAndRuns) {
    EXPECT_EQ(0x80FF4020u, packPixel(255, 64, 32, 128));
    Bitmap b;
    b.resize(10, 1);
    b.fill(0);
    b.fillRun(2, 5, 9);
    EXPECT_EQ(0u, b.data[1]);
    EXPECT_EQ(9u, b.data[2]);
    EXPECT_EQ(9u, b.data[6]);
    EXPECT_EQ(0u, b.data[7]);
    uint32_t src[3] = {4, 5, 6};
    b.copyRun(7, 3, src);
    EXPECT_EQ(6u, b.data[9]);
}

TEST(Bitmap, ClipRectClampsEachEdge) {
    Bitmap b;
    b.resize(10, 8);
    EXPECT_EQ(Rect(0, 0, 10, 8), b.clipRect());
    EXPECT_EQ(Rect(10, 2, 10, 5), b.clipRect(Rect(12, 2, 20, 5)));
    EXPECT_EQ(Rect(0, 0, 3, 8), b.clipRect(Rect(-5, -5, 3, 50)));
}

TEST(Bitmap, LinesClipAndDraw) {
    Bitmap b;
    b.resize(10, 10);
    b.fill(0);
    // Both ends left of the clip: nothing.
    b.drawLine(1, -5, 2, -1, 7, Rect(0, 0, 10, 10));
    EXPECT_EQ(0, countPixels(b, 1));
    // A horizontal line clipped on both sides draws exactly the pixels inside.
    b.drawLine(1, -20, 4, 30, 4, Rect(2, 0, 7, 10));
    EXPECT_EQ(5, countPixels(b, 1));
    for (int x = 2; x < 7; ++x)
        EXPECT_EQ(1u, b.at(x, 4));

    // A diagonal draws both ends and one pixel per major step.
    b.fill(0);
    b.drawLine(2, 0, 0, 9, 9);
    EXPECT_EQ(10, countPixels(b, 2));
    EXPECT_EQ(2u, b.at(0, 0));
    EXPECT_EQ(2u, b.at(9, 9));

    // Ties make y the major axis; a shallow line steps x every pixel.
    b.fill(0);
    b.drawLine(3, 0, 0, 9, 3);
    EXPECT_EQ(10, countPixels(b, 3));
    for (int x = 0; x < 10; ++x) {
        int n = 0;
        for (int y = 0; y < 10; ++y)
            n += b.at(x, y) == 3;
        EXPECT_EQ(1, n) << "column " << x;
    }

    int x0 = -10, y0 = 5, x1 = 20, y1 = 5;
    ASSERT_TRUE(b.clipLine(x0, y0, x1, y1));
    EXPECT_EQ(0, x0);
    EXPECT_EQ(9, x1);

    // A segment that passes the corner outside the clip draws nothing.
    b.fill(0);
    b.drawLine(4, -3, 2, 2, -3, Rect(0, 0, 10, 10));
    EXPECT_EQ(0, countPixels(b, 4));
}

TEST(Bitmap, LineClipMovesEndOntoEdgeAlongTheSegment) {
    Bitmap b;
    b.resize(100, 100);
    int x0 = -10, y0 = 0, x1 = 10, y1 = 20;
    ASSERT_TRUE(b.clipLine(x0, y0, x1, y1));
    EXPECT_EQ(0, x0);
    EXPECT_EQ(10, y0);
    EXPECT_EQ(10, x1);
    EXPECT_EQ(20, y1);
}

TEST(Bitmap, CropFromCopiesRowsAndEmptyRectEmpties) {
    Bitmap src;
    src.resize(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            src.at(x, y) = static_cast<uint32_t>(10 * y + x);
    Bitmap out;
    ASSERT_TRUE(out.cropFrom(src, Rect(1, 1, 3, 3)));
    ASSERT_EQ(2, out.width);
    ASSERT_EQ(2, out.height);
    EXPECT_EQ(11u, out.at(0, 0));
    EXPECT_EQ(22u, out.at(1, 1));
    out.cropFrom(src, Rect(2, 2, 2, 3));
    EXPECT_TRUE(out.isEmpty());
    Bitmap none;
    out.cropFrom(none, Rect(0, 0, 1, 1));
    EXPECT_TRUE(out.isEmpty());
}

TEST(FloatImage, SampleOrFallsBackOutside) {
    FloatImage f;
    f.resize(2, 2);
    f.fill(0.5f);
    EXPECT_EQ(0.5f, f.sampleOr(1, 1, 9.0f));
    EXPECT_EQ(9.0f, f.sampleOr(-1, 0, 9.0f));
    EXPECT_EQ(9.0f, f.sampleOr(0, 2, 9.0f));
}

TEST(BilinearWeights, EntriesPackFourWeightsSummingTo64) {
    InitBilinearWeights();
    for (int fy = 0; fy < 8; ++fy)
        for (int fx = 0; fx < 8; ++fx) {
            uint32_t e = BilinearWeights[8 * fy + fx];
            uint32_t tl = e & 0xFF, tr = (e >> 8) & 0xFF, bl = (e >> 16) & 0xFF, br = e >> 24;
            EXPECT_EQ(static_cast<uint32_t>((8 - fx) * (8 - fy)), tl);
            EXPECT_EQ(static_cast<uint32_t>(fx * (8 - fy)), tr);
            EXPECT_EQ(static_cast<uint32_t>((8 - fx) * fy), bl);
            EXPECT_EQ(static_cast<uint32_t>(fx * fy), br);
            EXPECT_EQ(64u, tl + tr + bl + br);
        }
    EXPECT_EQ(64u, BilinearWeights[0]);
}
