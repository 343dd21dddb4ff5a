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

// Reads the value of a short or long tag from the first IFD of a
// little-endian TIFF file; -1 when absent.
int64_t tiffTag(const ByteArray& file, uint32_t tag) {
    const uint8_t* p = file.data;
    if (file.length < 8 || p[0] != 'I' || p[1] != 'I')
        return -1;
    uint32_t ifd = le32(p + 4);
    uint32_t count = le16(p + ifd);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* e = p + ifd + 2 + 12 * i;
        if (le16(e) == tag)
            return le16(e + 2) == 3 ? le16(e + 8) : le32(e + 8);
    }
    return -1;
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

TEST(RoundTrip, AlphaIsKeptWhereTheFormatHasIt) {
    Bitmap photo;
    makePhoto(photo, 20, 13);
    makeTranslucent(photo);
    for (ImageFileType type : {ImageFileTga, ImageFilePcx, ImageFilePng, ImageFileIco}) {
        Bitmap back;
        ASSERT_TRUE(roundTrip(photo, type, back)) << type;
        EXPECT_TRUE(samePixels(photo, back)) << type;
    }
    // BMP and GIF are written without alpha: colours stay, alpha becomes 255.
    for (ImageFileType type : {ImageFileBmp, ImageFileGif}) {
        Bitmap back;
        ASSERT_TRUE(roundTrip(photo, type, back)) << type;
        ASSERT_EQ(photo.pixelCount(), back.pixelCount());
        for (size_t i = 0; i < photo.pixelCount(); ++i)
            ASSERT_EQ(photo.data[i] | 0xFF000000u, back.data[i]) << type << " pixel " << i;
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

TEST(RoundTrip, BmpIsA24BitBottomUpFileWithTheClassicHeaders) {
    Bitmap photo;
    makePhoto(photo, 5, 3);
    ByteArray file;
    ASSERT_TRUE(encode(photo, ImageFileBmp, 90, nullptr, file));
    ASSERT_EQ(54 + 16 * 3, file.length);  // rows padded to 16 bytes
    EXPECT_EQ(54u, le32(file.data + 10));
    EXPECT_EQ(40u, le32(file.data + 14));
    EXPECT_EQ(3u, le32(file.data + 22));  // positive height: bottom-up
    EXPECT_EQ(24u, le16(file.data + 28));
    // The first stored pixel is the bottom-left one, as B, G, R.
    uint32_t p = photo.at(0, 2);
    EXPECT_EQ(pixelBlue(p), file.data[54]);
    EXPECT_EQ(pixelGreen(p), file.data[55]);
    EXPECT_EQ(pixelRed(p), file.data[56]);
}

TEST(RoundTrip, GifTilesKeepEveryColourOfAPhoto) {
    Bitmap photo;
    makePhoto(photo, 70, 47, 3);  // many distinct colours, partial edge blocks
    ByteArray file;
    Bitmap back;
    ASSERT_TRUE(roundTrip(photo, ImageFileGif, back, &file));
    EXPECT_TRUE(samePixels(photo, back));
    EXPECT_EQ(0, std::memcmp(file.data, "GIF89a", 6));
    // One image per 17 x 15 block, each with its own colour table and no
    // global one.
    EXPECT_EQ(0, file.data[10] & 0x80);
    // Walk the file's images.
    int32_t images = 0;
    int32_t at = 13;
    while (at < file.length && file.data[at] == 0x2C) {
        uint32_t left = le16(file.data + at + 1), top = le16(file.data + at + 3);
        uint32_t w = le16(file.data + at + 5), h = le16(file.data + at + 7);
        uint8_t flags = file.data[at + 9];
        EXPECT_EQ(0u, left % 17);
        EXPECT_EQ(0u, top % 15);
        EXPECT_EQ(left + 17 <= 70 ? 17u : 70 - left, w);
        EXPECT_EQ(top + 15 <= 47 ? 15u : 47 - top, h);
        ASSERT_TRUE(flags & 0x80);
        at += 10 + 3 * (2 << (flags & 7)) + 1;
        while (at < file.length && file.data[at] != 0)
            at += 1 + file.data[at];
        ++at;
        ++images;
    }
    EXPECT_EQ(5 * 4, images);  // columns at 0, 17, 34, 51, 68; rows at 0, 15, 30, 45
    ASSERT_LT(at, file.length);
    EXPECT_EQ(0x3B, file.data[at]);
}

TEST(RoundTrip, JpegAtQuality90StaysClose) {
    Bitmap smooth;
    makeSmooth(smooth, 64, 48);
    Bitmap back;
    ByteArray file;
    ASSERT_TRUE(roundTrip(smooth, ImageFileJpeg, back, &file));
    ASSERT_EQ(smooth.width, back.width);
    ASSERT_EQ(smooth.height, back.height);
    double mean;
    int32_t worst;
    colourError(smooth, back, mean, worst);
    EXPECT_LT(mean, 2.0);
    EXPECT_LT(worst, 24);
    EXPECT_TRUE(allOpaque(back));
    // JFIF with 96 dots per inch for a new image.
    ASSERT_GT(file.length, 20);
    EXPECT_EQ(0, std::memcmp(file.data + 6, "JFIF", 5));
    EXPECT_EQ(1, file.data[13]);
    EXPECT_EQ(96u, (file.data[14] << 8) | file.data[15]);

    // A lower quality gives a smaller, rougher file.
    ByteArray rough;
    ASSERT_TRUE(encode(smooth, ImageFileJpeg, 20, nullptr, rough));
    EXPECT_LT(rough.length, file.length);
}

TEST(RoundTrip, TiffIsJpegCompressedInStripsOfWholeBlocks) {
    Bitmap smooth;
    makeSmooth(smooth, 40, 30);
    ByteArray file;
    Bitmap back;
    ASSERT_TRUE(roundTrip(smooth, ImageFileTiff, back, &file));
    EXPECT_EQ(7, tiffTag(file, 259));  // compression: JPEG
    EXPECT_EQ(3, tiffTag(file, 277));  // samples per pixel
    int64_t rowsPerStrip = tiffTag(file, 278);
    ASSERT_GT(rowsPerStrip, 0);
    EXPECT_EQ(0, rowsPerStrip % 8);
    double mean;
    int32_t worst;
    colourError(smooth, back, mean, worst);
    EXPECT_LT(mean, 2.0);
    EXPECT_TRUE(allOpaque(back));

    // With alpha: a fourth sample, marked as alpha, that survives closely.
    Bitmap translucent;
    translucent.copyFrom(smooth);
    for (int32_t x = 0; x < 40; ++x)
        translucent.at(x, 10) = (translucent.at(x, 10) & 0xFFFFFF) | 0x80000000u;
    ASSERT_TRUE(roundTrip(translucent, ImageFileTiff, back, &file));
    EXPECT_EQ(4, tiffTag(file, 277));
    EXPECT_EQ(2, tiffTag(file, 338));  // unassociated alpha
    EXPECT_NEAR(128, static_cast<int>(pixelAlpha(back.at(20, 10))), 12);
    EXPECT_NEAR(255, static_cast<int>(pixelAlpha(back.at(20, 25))), 12);
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

TEST(RoundTrip, WmfNeverDecodes) {
    const uint8_t placeable[] = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 0, 0};
    Bitmap bitmap;
    decode(bitmap, placeable, sizeof(placeable), ImageFileWmf, nullptr);
    EXPECT_TRUE(bitmap.isEmpty());
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
