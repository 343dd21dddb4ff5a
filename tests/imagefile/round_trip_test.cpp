#include "imagefile/image_file.h"
#include "imagefile/codecs.h"

#include "test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace {

// The picture saved as the type and read back; empty when either fails.
Bitmap roundTrip(const Bitmap& source, ImageFileType type) {
    ByteArray bytes;
    return encode(source, type, 90, nullptr, bytes) ? decoded(bytes, type) : Bitmap();
}

}  // namespace

// Sizes with row padding (BMP, ICO), odd PCX lines and partial GIF blocks.
TEST(RoundTrip, LosslessTypesGiveBackTheSamePixelsAtOddSizes) {
    for (Size size : {Size{45, 31}, Size{1, 1}, Size{1, 9}, Size{18, 1}, Size{35, 16}, Size{3, 2}}) {
        Bitmap photo = makePhoto(size.width, size.height, 7);
        for (ImageFileType type : {ImageFileBmp, ImageFileTga, ImageFilePcx, ImageFilePng, ImageFileIco, ImageFileGif})
            EXPECT_TRUE(samePixels(photo, roundTrip(photo, type))) << type << " " << size.width << "x" << size.height;
    }
    // PCX runs stop at 63 pixels: a line of 130 alike takes three; a byte below 0xC0 alone is stored as it is
    // (three planes of 3 such pixels and a pad byte after the 128-byte header).
    const Bitmap flat = generated(130, 2, [](int32_t, int32_t) { return 0xFF204060u; });
    EXPECT_TRUE(samePixels(flat, roundTrip(flat, ImageFilePcx)));
    ByteArray pcx = encoded(generated(3, 1, [](int32_t x, int32_t) { return 0xFF102030u + 0x010101u * x; }),
                            ImageFilePcx);
    EXPECT_EQ(128 + 3 * 4, pcx.length);
    // A one-pixel GIF: its palette's unused second colour black, not what memory held; its codes clear, the index and
    // the end, 3 bits each in two bytes.
    const ByteArray gif = encoded(makePhoto(1, 1), ImageFileGif);
    EXPECT_EQ(0, std::memcmp(gif.data + gif.length - 9, "\0\0\0\2\2\x44\1\0\x3b", 9));
    // Four like 17 x 15 blocks take four times one's bytes, but one header and trailer: no empty block beside or below.
    const auto tile = [](int32_t x, int32_t y) { return 0xFF000000u | uint32_t(x % 17 * 15 + y % 15) * 0x010101u; };
    EXPECT_EQ(4 * encoded(generated(17, 15, tile), ImageFileGif).length - 3 * 14,
              encoded(generated(34, 30, tile), ImageFileGif).length);
    // libtiff starts its directory on an even offset: the byte it skips after the data is 0, not what memory held
    // (here, the bytes of a file the same array held before).
    ByteArray tiff;
    tiff.Assign(std::string(4096, '\xff').data(), 4096);
    ASSERT_TRUE(encode(makePhoto(1, 3), ImageFileTiff, 90, nullptr, tiff));
    const uint32_t directory = le16(tiff.data + 4) | le16(tiff.data + 6) << 16;  // little-endian, as libtiff writes
    EXPECT_EQ(0xD900, tiff.data[directory - 2] << 8 | tiff.data[directory - 1]);
    // Strips of whole 8-row JPEG blocks, about 64 KB each: 224 rows of 300 bytes.
    ASSERT_TRUE(encode(makePhoto(100, 300), ImageFileTiff, 90, nullptr, tiff));
    EXPECT_TRUE(holds(tiff, std::string("\x16\1\3\0\1\0\0\0\xE0\0", 10)));  // RowsPerStrip: one short, 224
    // Past 64 KB a BMP's sizes need all 32 bits of their fields, its pixels start after the headers, in one plane of
    // 24 bits at 96 dpi (3779 pixels a metre) both ways; a PCX, version 5, gives 96 dpi and says its palette is colour.
    ByteArray bmp;
    ASSERT_TRUE(encode(makePhoto(160, 160), ImageFileBmp, 90, nullptr, bmp));
    const auto le32 = [&](int32_t at) { return le16(bmp.data + at) | le16(bmp.data + at + 2) << 16; };
    EXPECT_EQ(std::tuple(uint32_t(bmp.length), 54u, 1u | 24u << 16, uint32_t(bmp.length - 54), 3779u, 3779u),
              std::tuple(le32(2), le32(10), le32(26), le32(34), le32(38), le32(42)));
    ASSERT_TRUE(encode(makePhoto(1, 2), ImageFileBmp, 90, nullptr, bmp));  // over the larger one's bytes
    EXPECT_EQ(std::pair(0, 0), std::pair(+bmp.data[57], +bmp.data[61]));  // each row's padding
    ASSERT_TRUE(encode(makePhoto(3, 2), ImageFilePcx, 90, nullptr, pcx));
    EXPECT_EQ(std::tuple(5, 96u, 96u, 1),
              std::tuple(+pcx.data[1], le16(pcx.data + 12), le16(pcx.data + 14), +pcx.data[68]));
}

TEST(RoundTrip, AnAlphaChannelIsWrittenOnlyWhenAPixelIsBelow255) {
    const Bitmap opaque = makePhoto(9, 7);
    Bitmap oneTranslucent = makePhoto(9, 7);
    oneTranslucent.at(4, 3) = (oneTranslucent.at(4, 3) & 0xFFFFFF) | 0xFE000000u;

    // Read as 16 bits: the PNG's IHDR colour type (RGB, RGBA) and its compression 0, the TGA's depth and its
    // descriptor 0, the icon's bits per pixel.
    const uint32_t rows[][4] = {{ImageFilePng, 25, 2, 6}, {ImageFileTga, 16, 24, 32}, {ImageFileIco, 12, 24, 32}};
    ByteArray file;
    for (const auto& [type, at, rgb, rgba] : rows) {
        ASSERT_TRUE(encode(opaque, type, 90, nullptr, file));
        EXPECT_EQ(rgb, le16(file.data + at)) << type;
        EXPECT_TRUE(type != ImageFileTga || file.length == 18 + 9 * 7 * 3);  // three bytes a pixel
        ASSERT_TRUE(encode(oneTranslucent, type, 90, nullptr, file));
        EXPECT_EQ(rgba, le16(file.data + at)) << type;
    }
    const Bitmap back = decoded(file, ImageFileIco);  // the translucent icon
    EXPECT_EQ(std::pair(0xFEu, 0xFFu), std::pair(pixelAlpha(back.at(4, 3)), pixelAlpha(back.at(0, 0))));
    EXPECT_TRUE(samePixels(oneTranslucent, roundTrip(oneTranslucent, ImageFilePcx)));  // a fourth plane
    // A clear pixel also sets its bit of the icon's mask, whose rows (four bytes, bottom up) end the file.
    oneTranslucent.at(7, 0) &= 0x00FFFFFFu;
    ASSERT_TRUE(encode(oneTranslucent, ImageFileIco, 90, nullptr, file));
    const std::vector<uint8_t> bytes = bytesOf(file);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), (std::vector<uint8_t>{1, 0, 0, 0}));
}

TEST(RoundTrip, EachWriterTakesTheLargestSidesItsTypeHolds) {
    Bitmap icon = makePhoto(255, 255);
    EXPECT_TRUE(samePixels(icon, roundTrip(icon, ImageFileIco)));

    ByteArray file = encoded(icon, ImageFileIco);
    // The directory entry's reserved byte and its one plane, which readers check; the bitmap's one plane and the size
    // of its pixels and mask, all that follows its 40-byte header.
    EXPECT_EQ(std::tuple(0, 1u, 1u, uint32_t(file.length - 62)),
              std::tuple(+file.data[9], le16(file.data + 10), le16(file.data + 34),
                         le16(file.data + 42) | le16(file.data + 44) << 16));
    // GIF, TGA, PCX hold 65535 a side; libjpeg stops at 65500 (JPEG, a TIFF's strips), failing with nothing written.
    for (ImageFileType type : {ImageFileGif, ImageFileTga, ImageFilePcx})
        for (auto [w, h, fits] : {std::tuple{65535, 1, true}, {1, 65535, true}, {65536, 1, false}, {1, 65536, false}})
            EXPECT_EQ(fits, encode(makePhoto(w, h), type, 90, nullptr, file)) << type << " " << w << " x " << h;
    for (ImageFileType type : {ImageFileJpeg, ImageFileTiff})
        EXPECT_TRUE(!encode(makePhoto(65501, 1), type, 90, nullptr, file) && file.length == 0) << type;
#if VISTREL_PHOTO_FORMATS
    EXPECT_FALSE(encode(makePhoto(16384, 1), ImageFileWebp, 90, nullptr, file));
#endif
    EXPECT_TRUE(!encode(makePhoto(255, 256), ImageFileIco, 90, nullptr, file) && file.length == 0);  // 256 high
}

// No picture the program saves has two colours, but the WBMP writer kept for one gives it back, up to 255 a side.
TEST(RoundTrip, TheWbmpWriterKeepsATwoColourPicture) {
    for (auto [w, h, fits] : {std::tuple{130, 3, true}, {255, 255, true}, {256, 2, false}, {2, 256, false}}) {
        DecodedImage two, back;
        ASSERT_TRUE(two.allocate(w, h, 1, false));
        two.paletteSize = 2;
        two.palette[1] = 0x0000FF;  // not black: white
        for (int32_t i = 0; i < w * h; ++i) two.rowFromTop(i / w)[i % w] = (i % w * 7 + i / w) % 3 == 0;
        ByteArray bytes;
        ASSERT_EQ(fits, encodeWbmp(two, bytes)) << w;
        EXPECT_TRUE(!fits || (decodeWbmp(bytes.data, size_t(bytes.length), back) && back.pixels.width == w &&
                              !std::memcmp(two.pixels.data, back.pixels.data, size_t(w) * h))) << w;
    }
}

// A 1 x 8 interlaced GIF whose pixel in row r has colour r: the rows arrive in the order 0, 4, 2, 6, 1, 3, 5, 7. Its
// 4-bit LZW codes (clear, four pixels, clear, four pixels, end) never grow the code size.
TEST(GifReading, InterlacedRowsLandInPassOrder) {
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 8, 0, 0x82, 0, 0};
    for (uint8_t r = 0; r < 8; ++r) gif.insert(gif.end(), {static_cast<uint8_t>(30 * r), 0, 0});
    // Data that stops after the first four pixels (rows 0, 4, 2, 6) leaves the rest in the background colour, 7.
    std::vector<uint8_t> cut = gif;
    cut[11] = 7;
    cut.insert(cut.end(), {0x2C, 0, 0, 0, 0, 1, 0, 8, 0, 0x40, 3, 3, 0x08, 0x24, 0x86, 0, 0x3B});
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, 1, 0, 8, 0, 0x40, 3, 6, 0x08, 0x24, 0x86, 0x31, 0x75, 0x09, 0, 0x3B});
    for (const auto& [file, whole] : {std::pair{gif, true}, {cut, false}}) {
        const Bitmap bitmap = decoded(file, ImageFileGif);
        ASSERT_EQ(8, bitmap.height);
        for (int32_t r = 0; r < 8; ++r)
            EXPECT_EQ(packPixel(30 * (r % 2 && !whole ? 7 : r), 0, 0), bitmap.at(0, r)) << whole << " row " << r;
    }
}
