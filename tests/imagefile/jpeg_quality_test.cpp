#include "imagefile/image_file.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

Bitmap stripes() {
    Bitmap b;
    b.resize(64, 48);
    for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x)
            b.at(x, y) = packPixel((x * 13) & 255, (y * 11) & 255, ((x ^ y) * 7) & 255);
    return b;
}

TEST(JpegQuality, ReadsBackTheQualityAFileWasWrittenAt) {
    const Bitmap picture = stripes();
    for (int32_t quality : {1, 5, 10, 20, 35, 50, 62, 75, 90, 100}) {
        ByteArray bytes;
        ASSERT_TRUE(encode(picture, ImageFileJpeg, quality, nullptr, bytes));
        EXPECT_EQ(jpegQuality(bytes.data, static_cast<size_t>(bytes.length)), quality);
    }

    const std::string dir = MakeScratchFolder("vistrel-quality");
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + "/q30.jpg";
    ASSERT_TRUE(save(picture, String(path), 30, nullptr));
    EXPECT_EQ(jpegFileQuality(String(path)), 30);
    EXPECT_EQ(0, jpegFileQuality(String(dir + "/missing.jpg")));
    // A grey JPEG has a luminance table only; this one is the standard table
    // scaled for quality 88.
    EXPECT_EQ(jpegFileQuality(String(VISTREL_TESTDATA_DIR "/formats/jpeg/pillow/hopper_gray.jpg")), 88);
    RemoveScratchFolder(dir);
}

TEST(JpegQuality, NoHeaderGivesZero) {
    ByteArray png;
    ASSERT_TRUE(encode(stripes(), ImageFilePng, 90, nullptr, png));
    EXPECT_EQ(0, jpegQuality(png.data, static_cast<size_t>(png.length)));

    ByteArray jpeg;
    ASSERT_TRUE(encode(stripes(), ImageFileJpeg, 40, nullptr, jpeg));
    EXPECT_EQ(0, jpegQuality(jpeg.data, 20));  // cut inside the header, before any table
    EXPECT_EQ(0, jpegQuality(jpeg.data, 0));
}

}  // namespace
