#include "imagefile/image_file.h"

#include "test_images.h"

#include <gtest/gtest.h>

TEST(JpegQuality, ReadsBackTheQualityAFileWasWrittenAt) {
    Bitmap picture = makePhoto(64, 48), flat = generated(16, 16, [](int32_t, int32_t) { return packPixel(200, 40, 90); });
    for (int32_t quality : {1, 5, 10, 20, 35, 50, 62, 75, 90, 100}) {
        const ByteArray bytes = encoded(quality == 100 ? flat : picture, ImageFileJpeg, quality);
        EXPECT_EQ(jpegQuality(bytes.data, static_cast<size_t>(bytes.length)), quality);
        EXPECT_EQ(0, jpegQuality(bytes.data, 20));  // cut inside the header, before any table
        // At 100 a flat colour comes back as it was, within what JPEG loses.
        EXPECT_LE(quality < 100 ? 0 : largestDifference(flat, decoded(bytes, ImageFileJpeg)), 2);
    }
    const ByteArray png = encoded(picture, ImageFilePng);  // no JPEG header at all, or no bytes
    EXPECT_EQ(0, jpegQuality(png.data, static_cast<size_t>(png.length)) + jpegQuality(png.data, 0));
    // Both tables count: quality 90's luminance beside quality 20's chrominance does not read 90 (each table has a
    // marker of its own, the first at 20 after the JFIF header, the second 69 bytes on).
    ByteArray mixed, low;
    ASSERT_TRUE(encode(picture, ImageFileJpeg, 90, nullptr, mixed) && encode(picture, ImageFileJpeg, 20, nullptr, low));
    ASSERT_EQ(std::pair(0xDB, 0xDB), std::pair(+mixed.data[90], +low.data[90]));
    std::memcpy(mixed.data + 94, low.data + 94, 64);
    EXPECT_LT(jpegQuality(mixed.data, size_t(mixed.length)), 90);
    EXPECT_EQ(0, jpegFileQuality(String(VISTREL_TESTDATA_DIR "/formats/jpeg/missing.jpg")));
    // A grey JPEG has a luminance table only; this one is the standard table scaled for quality 88.
    EXPECT_EQ(jpegFileQuality(String(VISTREL_TESTDATA_DIR "/formats/jpeg/pillow/hopper_gray.jpg")), 88);
}
