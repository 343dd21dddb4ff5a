#include "imagefile/image_file.h"

#include "test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

bool roundTrip(const Bitmap& source, ImageFileType type, Bitmap& result, ByteArray* file = nullptr) {
    ByteArray bytes;
    if (!encode(source, type, 90, nullptr, bytes))
        return false;
    decode(result, bytes.data, static_cast<size_t>(bytes.length), type, nullptr);
    if (file)
        *file = bytes;
    return !result.isEmpty();
}

void makeTranslucent(Bitmap& bitmap) {
    for (int32_t y = 0; y < bitmap.height; ++y)
        for (int32_t x = 0; x < bitmap.width; ++x) {
            uint32_t alpha = (x * 37 + y * 11) % 256;
            bitmap.at(x, y) = (bitmap.at(x, y) & 0xFFFFFF) | (alpha << 24);
        }
}

// Mean and largest difference over the colour channels.
void colourError(const Bitmap& a, const Bitmap& b, double& mean, int32_t& worst) {
    double sum = 0;
    worst = 0;
    for (size_t i = 0; i < a.pixelCount(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            int32_t d = std::abs(static_cast<int32_t>((a.data[i] >> shift) & 0xFF) -
                                 static_cast<int32_t>((b.data[i] >> shift) & 0xFF));
            sum += d;
            worst = d > worst ? d : worst;
        }
    mean = sum / (3.0 * a.pixelCount());
}

}  // namespace

TEST(RoundTrip, LosslessTypesGiveBackTheSamePixels) {
    Bitmap photo;
    makePhoto(photo, 45, 31);
    for (ImageFileType type : {ImageFileBmp, ImageFileTga, ImageFilePcx, ImageFilePng, ImageFileIco, ImageFileGif}) {
        Bitmap back;
        ASSERT_TRUE(roundTrip(photo, type, back)) << type;
        EXPECT_TRUE(samePixels(photo, back)) << type;
    }
}

TEST(RoundTrip, OddWidthsAndSinglePixelLines) {
    // Row padding (BMP, ICO), odd PCX line lengths and partial GIF blocks.
    for (Size size : {Size{1, 1}, Size{1, 9}, Size{18, 1}, Size{35, 16}, Size{3, 2}}) {
        Bitmap photo;
        makePhoto(photo, size.width, size.height, 7);
        for (ImageFileType type :
             {ImageFileBmp, ImageFileTga, ImageFilePcx, ImageFilePng, ImageFileIco, ImageFileGif}) {
            Bitmap back;
            ASSERT_TRUE(roundTrip(photo, type, back)) << type << " " << size.width << "x" << size.height;
            EXPECT_TRUE(samePixels(photo, back)) << type << " " << size.width << "x" << size.height;
        }
    }
}

TEST(RoundTrip, AnAlphaChannelIsWrittenOnlyWhenAPixelIsBelow255) {
    Bitmap opaque;
    makePhoto(opaque, 9, 7);
    Bitmap oneTranslucent;
    oneTranslucent.copyFrom(opaque);
    oneTranslucent.at(4, 3) = (oneTranslucent.at(4, 3) & 0xFFFFFF) | 0xFE000000u;

    ByteArray file;
    ASSERT_TRUE(encode(opaque, ImageFilePng, 90, nullptr, file));
    EXPECT_EQ(2, file.data[25]);  // IHDR colour type: RGB
    ASSERT_TRUE(encode(oneTranslucent, ImageFilePng, 90, nullptr, file));
    EXPECT_EQ(6, file.data[25]);  // RGBA

    ASSERT_TRUE(encode(opaque, ImageFileTga, 90, nullptr, file));
    EXPECT_EQ(24, file.data[16]);
    EXPECT_EQ(0, file.data[17]);
    EXPECT_EQ(18 + 9 * 7 * 3, file.length);
    ASSERT_TRUE(encode(oneTranslucent, ImageFileTga, 90, nullptr, file));
    EXPECT_EQ(32, file.data[16]);
    EXPECT_EQ(0, file.data[17]);

    ASSERT_TRUE(encode(opaque, ImageFileIco, 90, nullptr, file));
    EXPECT_EQ(24u, le16(file.data + 12));
    ASSERT_TRUE(encode(oneTranslucent, ImageFileIco, 90, nullptr, file));
    EXPECT_EQ(32u, le16(file.data + 12));

    Bitmap back;
    decode(back, file.data, static_cast<size_t>(file.length), ImageFileIco, nullptr);
    EXPECT_EQ(0xFEu, pixelAlpha(back.at(4, 3)));
    EXPECT_EQ(0xFFu, pixelAlpha(back.at(0, 0)));
}

TEST(RoundTrip, IconsUpTo255PixelsEachWay) {
    Bitmap icon;
    makePhoto(icon, 255, 255);
    Bitmap back;
    ASSERT_TRUE(roundTrip(icon, ImageFileIco, back));
    EXPECT_TRUE(samePixels(icon, back));

    ByteArray file;
    Bitmap wide, tall;
    makePhoto(wide, 256, 255);
    makePhoto(tall, 255, 256);
    EXPECT_FALSE(encode(wide, ImageFileIco, 90, nullptr, file));
    EXPECT_EQ(0, file.length);
    EXPECT_FALSE(encode(tall, ImageFileIco, 90, nullptr, file));
}

TEST(RoundTrip, WbmpWmfUnknownAndEmptyNeverEncode) {
    Bitmap photo;
    makePhoto(photo, 8, 8);
    ByteArray file;
    EXPECT_FALSE(encode(photo, ImageFileWbmp, 90, nullptr, file));
    EXPECT_EQ(0, file.length);
    EXPECT_FALSE(encode(photo, ImageFileWmf, 90, nullptr, file));
    EXPECT_FALSE(encode(photo, ImageFileUnknown, 90, nullptr, file));
    Bitmap empty;
    for (ImageFileType type = 0; type <= ImageFileUnknown; ++type)
        EXPECT_FALSE(encode(empty, type, 90, nullptr, file)) << type;
}

namespace {

// A 1 x 1 GIF with a black-and-white table and two images, the first
// drawing white (index 1), the second black; each optionally preceded by a
// graphic control block that marks index 1 transparent.
std::vector<uint8_t> twoImageGif(bool control) {
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    const uint8_t graphicControl[] = {0x21, 0xF9, 4, 0x01, 10, 0, 1, 0};
    const uint8_t white[] = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x4C, 0x01, 0};
    const uint8_t black[] = {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0};
    for (const uint8_t* image : {white, black}) {
        if (control)
            gif.insert(gif.end(), graphicControl, graphicControl + sizeof(graphicControl));
        gif.insert(gif.end(), image, image + sizeof(white));
    }
    gif.push_back(0x3B);
    return gif;
}

}  // namespace

TEST(GifReading, AnAnimationShowsItsFirstFrameOpaque) {
    std::vector<uint8_t> gif = twoImageGif(true);
    Bitmap bitmap;
    decode(bitmap, gif.data(), gif.size(), ImageFileGif, nullptr);
    ASSERT_EQ(1, bitmap.width);
    // White although index 1 is the transparent one, and not the black of
    // the second frame.
    EXPECT_EQ(packPixel(255, 255, 255, 255), bitmap.at(0, 0));
}

TEST(GifReading, ImagesWithoutFrameTimingAreDrawnTogether) {
    // How our own tiled files are built: the later image is drawn over the
    // earlier one.
    std::vector<uint8_t> gif = twoImageGif(false);
    Bitmap bitmap;
    decode(bitmap, gif.data(), gif.size(), ImageFileGif, nullptr);
    ASSERT_EQ(1, bitmap.width);
    EXPECT_EQ(packPixel(0, 0, 0, 255), bitmap.at(0, 0));
}
