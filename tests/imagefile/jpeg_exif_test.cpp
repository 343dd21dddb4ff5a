#include "imagefile/image_file.h"

#include "test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::string> exifBlocksOf(const ByteArray& file) {
    std::vector<std::string> blocks;
    for (const Segment& s : segmentsOf(file.data, static_cast<size_t>(file.length)))
        if (s.marker == 0xE1 && s.payload.compare(0, 6, std::string("Exif\0\0", 6)) == 0) blocks.push_back(s.payload);
    return blocks;
}

int componentsOf(const ByteArray& file) {
    for (const Segment& s : segmentsOf(file.data, static_cast<size_t>(file.length)))
        if (s.marker == 0xC0 || s.marker == 0xC1 || s.marker == 0xC2) return s.payload.size() > 5 ? s.payload[5] : -1;
    return -1;
}

}  // namespace

TEST(JpegExif, TheBlockTravelsByteForByteToASameSizeSaveAndIsRewrittenForAnother) {
    ByteArray original = fileBytes(formatsDir + "jpeg/pillow/exif_gps.jpg");
    std::vector<std::string> originalBlocks = exifBlocksOf(original);
    ASSERT_EQ(1u, originalBlocks.size());

    PhotoMetadata metadata;
    const Bitmap picture = decoded(original, ImageFileJpeg, &metadata);
    EXPECT_EQ(originalBlocks[0], std::string(metadata.exif.data, metadata.exif.data + metadata.exif.length));

    // Saved twice at the same size: the block is repeated each time.
    for (int i = 0; i < 2; ++i) EXPECT_EQ(originalBlocks, exifBlocksOf(encoded(picture, ImageFileJpeg, 90, &metadata)));

    // Another size: still a JFIF file, the block after it whole (it gives no size), its GPS directory and all.
    const ByteArray saved = encoded(makeSmooth(picture.width + 1, picture.height), ImageFileJpeg, 90, &metadata);
    EXPECT_EQ(originalBlocks, exifBlocksOf(saved));
    EXPECT_EQ(0, std::memcmp(saved.data + 6, "JFIF", 5));
    // The largest block a segment holds (65533 bytes, its end past the directories) is written; one byte more is not.
    for (const int32_t length : {65533, 65534}) {
        ASSERT_TRUE(metadata.exif.SetLength(length));
        EXPECT_EQ(exifBlocksOf(encoded(picture, ImageFileJpeg, 90, &metadata)).size(), length == 65533 ? 1u : 0u);
    }
}

// JFIF gives the resolution per inch or per centimetre; one it cannot hold is written as 96 dpi.
TEST(JpegExif, ADensityPerCentimetreIsReadPerInch) {
    ByteArray jpeg;
    PhotoMetadata metadata;  // a JPEG's own resolution, saved at its size
    metadata.jpegSource = true, metadata.size = {8, 8};
    for (auto [x, y, written] : {std::tuple{0, 0, "\1\0\x60\0\x60"}, {65536, 65535, "\1\0\x60\xff\xff"},
                                 {65535, 65536, "\1\xff\xff\0\x60"}}) {  // per inch, across and down
        metadata.dpiX = x, metadata.dpiY = y;
        ASSERT_TRUE(encode(makePhoto(8, 8), ImageFileJpeg, 90, &metadata, jpeg));
        ASSERT_EQ(0, std::memcmp(jpeg.data + 6, "JFIF", 5));
        EXPECT_EQ(0, std::memcmp(jpeg.data + 13, written, 5)) << x << " " << y;
    }
    const uint8_t density[] = {2, 0, 118, 0, 100};  // per centimetre: 118 across, 100 down
    std::memcpy(jpeg.data + 13, density, sizeof density);
    ASSERT_FALSE(decoded(jpeg, ImageFileJpeg, &metadata).isEmpty());
    EXPECT_EQ(std::pair(299, 254), std::pair(metadata.dpiX, metadata.dpiY));
}

TEST(JpegExif, AGreyscaleOriginalIsSavedAsGreyscaleAtItsOwnSize) {
    ByteArray grey = fileBytes(formatsDir + "jpeg/mozilla-reftest/jpg-gray.jpg");
    PhotoMetadata metadata;
    Bitmap picture = decoded(grey, ImageFileJpeg, &metadata);
    // Colour drawn into the picture is stored as the nearest grey.
    picture.at(0, 0) = packPixel(255, 0, 0);
    const ByteArray saved = encoded(picture, ImageFileJpeg, 90, &metadata);
    EXPECT_EQ(1, componentsOf(saved));
    const Bitmap back = decoded(saved, ImageFileJpeg);
    ASSERT_EQ(picture.width, back.width);
    const uint32_t p = back.at(0, 0);
    EXPECT_EQ(std::pair(pixelRed(p), pixelRed(p)), std::pair(pixelGreen(p), pixelBlue(p)));
}

TEST(JpegColour, SuiteCmykAndGreyFilesMatchTheirReferences) {
    for (const char* name : {"jpg-cmyk-1", "jpg-cmyk-2", "jpg-gray"}) {
        const Bitmap decoded = loadedPhoto(std::string("../formats/jpeg/mozilla-reftest/") + name + ".jpg");
        const Bitmap reference = loadedPhoto(std::string("../formats/jpeg/mozilla-reftest/") + name + ".png");
        ASSERT_FALSE(decoded.isEmpty()) << name;
        ASSERT_EQ(reference.bounds(), decoded.bounds());
        double sum = 0;
        for (size_t i = 0; i < decoded.pixelCount(); ++i)
            for (int shift = 0; shift < 24; shift += 8)
                sum += std::abs(static_cast<int>((decoded.data[i] >> shift) & 0xFF) -
                                static_cast<int>((reference.data[i] >> shift) & 0xFF));
        EXPECT_LT(sum / (3.0 * decoded.pixelCount()), 4.0) << name;
    }
}
