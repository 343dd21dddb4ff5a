#include "imagefile/colour_profile.h"
#include "imagefile/exif.h"
#include "imagefile/image_file.h"

#include "core/bilinear_scale.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

// What a photo carries besides its pixels, from load to save: orientation, EXIF block and ICC profile. The files are
// made by scripts/make_photo_test_files.py.

namespace {

// An EXIF reader independent of the one under test: IFD0 and the Exif directory of a little- or big-endian block.
struct ExifFields {
    bool valid = false;
    std::map<uint16_t, uint32_t> values;  // one-value SHORT/LONG entries
    bool secondDirectory = false;
};

ExifFields readExif(const ByteArray& block) {
    ExifFields f;
    const uint8_t* p = block.data + 6;
    const size_t n = static_cast<size_t>(block.length) - 6;
    if (block.length < 14 || std::memcmp(block.data, "Exif\0\0", 6) != 0) return f;
    const bool le = p[0] == 'I';
    auto u16 = [&](size_t at) { return le ? p[at] | p[at + 1] << 8 : p[at] << 8 | p[at + 1]; };
    auto u32 = [&](size_t at) { return uint32_t(le ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2)); };
    std::vector<uint32_t> directories{u32(4)};
    for (size_t d = 0; d < directories.size() && d < 2; ++d) {
        const uint32_t at = directories[d];
        if (at + 2 > n || at + 2 + 12 * u16(at) + 4 > n) return f;
        const uint32_t count = u16(at);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t e = at + 2 + 12 * i;
            const uint16_t tag = u16(e), type = u16(e + 2);
            // Every tag is listed; single SHORT and LONG values with their value.
            f.values[tag] = u32(e + 4) != 1 ? 0 : type == 3 ? u16(e + 8) : type == 4 ? u32(e + 8) : 0;
            if (tag == 0x8769) directories.push_back(u32(e + 8));
        }
        if (d == 0) f.secondDirectory = u32(at + 2 + 12 * count) != 0;
    }
    f.valid = true;
    return f;
}

// The types that carry an Exif block; the extensions of the oriented photos (WebP's in its EXIF chunk).
#if VISTREL_PHOTO_FORMATS
const ImageFileType ExifTypes[] = {ImageFileJpeg, ImageFilePng, ImageFileWebp, ImageFileAvif, ImageFileJxl};
const char* const Oriented[] = {"jpg", "png", "tif", "webp"};
#else
const ImageFileType ExifTypes[] = {ImageFileJpeg, ImageFilePng};
const char* const Oriented[] = {"jpg", "png", "tif"};
#endif

}  // namespace

// Exif directories nested five deep, more than a block's first, Exif, GPS and Interop; the first holds the orientation.
ByteArray nestedExif(uint8_t orientation) {
    std::string block("Exif\0\0II*\0\x08\0\0\0", 14);
    uint32_t next = 8;
    for (int k = 0; k < 5; ++k) {
        next += k == 0 ? 30 : 18;
        const uint8_t link[12] = {0x69, 0x87, 4, 0, 1, 0, 0, 0, uint8_t(next), 0, 0, 0};
        const uint8_t turn[12] = {0x12, 0x01, 3, 0, 1, 0, 0, 0, orientation, 0, 0, 0};
        block += k == 0 ? std::string("\2\0", 2) + std::string(reinterpret_cast<const char*>(turn), 12)
                        : std::string("\1\0", 2);
        block.append(reinterpret_cast<const char*>(link), 12).append(4, '\0');
    }
    return byteArray(block.append(6, '\0'));
}

TEST(Orientation, EveryOrientationOfEveryTypeLoadsUpright) {
    const Bitmap upright = loadedPhoto("upright.png");
    for (const char* extension : Oriented)
        for (int32_t o = 1; o <= 8; ++o) {
            SCOPED_TRACE(std::string(extension) + " orientation " + std::to_string(o));
            PhotoMetadata metadata;
            const Bitmap picture = loadedPhoto("orientation_" + std::to_string(o) + "." + extension, &metadata);
            // Blocks of 8 x 8 in one colour: JPEG at quality 100 keeps them close.
            EXPECT_LE(largestDifference(upright, picture), extension[0] == 'j' ? 6 : 0);
            EXPECT_EQ(std::pair(o, 24), std::pair(metadata.orientation, metadata.size.width));
            const ExifFields f = readExif(metadata.exif);  // a JPEG's or PNG's block: upright, at the size
            EXPECT_TRUE(extension[0] == 't' || (exifOrientation(metadata.exif.data, metadata.exif.length) == 1 &&
                                                f.values.at(0xA002) == 24 && f.values.at(0xA003) == 16));
        }
}

TEST(Exif, ThroughADoubledSizeTheBlockKeepsItsDataWithNewSizeAndNoThumbnail) {
    PhotoMetadata metadata;
    const Bitmap picture = loadedPhoto("orientation_6.jpg", &metadata);
    const ExifFields original = readExif(metadata.exif);
    ASSERT_TRUE(original.valid);
    // Turned upright at load, the thumbnail and its bytes were dropped.
    EXPECT_FALSE(original.secondDirectory);
    EXPECT_LT(metadata.exif.length + 700, fileBytes(photoDir + "orientation_6.jpg").length);
    ByteArray wide = metadata.exif;
    ASSERT_TRUE(rewriteExif(wide, 70000, 3));
    EXPECT_EQ(70000u, readExif(wide).values.at(0xA002));
    // The Exif directory last before the thumbnail, a value of the first directory laid over its end: the block keeps
    // the directory whole, link included.
    ByteArray last = byteArray(std::string("Exif\0\0II*\0\x08\0\0\0\3\0\x0F\1\2\0\5\0\0\0\x3E\0\0\0"  // make at 62
                                           "\x12\1\3\0\1\0\0\0\6\0\0\0\x69\x87\4\0\1\0\0\0\x32\0\0\0\0\0\0\0"
                                           "\1\0\2\xA0\4\0\1\0\0\0\0\0\0\0\0\0\0\0thumbs", 80));  // the Exif one at 50
    EXPECT_TRUE(rewriteExif(last, 24, 16) && last.length == 74 && readExif(last).values.at(0xA002) == 24);
    Bitmap doubled;
    ASSERT_TRUE(scaleBilinearClamped(picture, 48, 32, doubled));
    for (ImageFileType type : ExifTypes) {
        SCOPED_TRACE(type);
        PhotoMetadata back;
        EXPECT_FALSE(decoded(encoded(doubled, type, 90, &metadata), type, &back).isEmpty());
        const ExifFields f = readExif(back.exif);
        ASSERT_TRUE(f.valid);
        for (auto [tag, value] : {std::pair{0x0112, 1u}, {0xA002, 48u}, {0xA003, 32u}})  // orientation, size
            EXPECT_EQ(value, f.values.at(tag)) << tag;
        EXPECT_TRUE(!f.secondDirectory && holds(back.exif, "Test camera") && holds(back.exif, "2026:12:07 04:00:00"));
    }
}

TEST(Exif, HostileBlocksAreRefusedWithoutReadingOutside) {
    PhotoMetadata metadata;
    ASSERT_FALSE(loadedPhoto("orientation_1.jpg", &metadata).isEmpty());
    const ByteArray good = metadata.exif;
    // Every truncation fails, without reading past the end (ASan watches; the fuzzer tries the rest).
    for (int32_t length = 0; length < good.length; ++length) {
        ByteArray cut;
        cut.Assign(good.data, length);
        ByteArray copy = cut;
        EXPECT_FALSE(rewriteExif(copy, 10, 10)) << length;
        exifOrientation(cut.data, static_cast<size_t>(cut.length));
    }
    ByteArray garbage;  // the first directory past the end, then inside the header
    for (const char* header : {"MM\0*\xff\xff\xff\xff", "II*\0\x07\0\0\0"}) {
        garbage.Assign((std::string("Exif\0\0", 6) + std::string(header, 8) + std::string(8, '\0')).data(), 22);
        EXPECT_FALSE(rewriteExif(garbage, 10, 10));
        EXPECT_EQ(1, exifOrientation(garbage.data, 22));
    }
    // A directory of no entries, the block ending with its link, which reads like the start of an Orientation.
    const std::vector<uint8_t> empty = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0, 0x12, 0x01, 3, 0};
    EXPECT_EQ(1, exifOrientation(empty.data(), empty.size()));

    ByteArray pair = byteArray(std::string("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\3\0\2\0\0\0\6\0\1\0\0\0\0\0", 32));
    EXPECT_FALSE(rewriteExif(pair, 10, 10));  // two orientations: not one value to set
    ByteArray loop = byteArray(std::string("Exif\0\0II*\0\x08\0\0\0\x01\0\x69\x87\4\0\1\0\0\0\x08\0\0\0\0\0\0\0", 32));
    EXPECT_FALSE(rewriteExif(loop, 10, 10));  // an Exif directory that is the first one again
    // A bare header, as an empty APP1 segment gives: JPEG carries it as it is; no Exif box, chunk or item elsewhere.
    PhotoMetadata bare, back;
    bare.exif = byteArray(std::string("Exif\0\0", 6)), bare.size = Size{8, 8};
    for (ImageFileType type : ExifTypes) {
        const ByteArray saved = encoded(makePhoto(8, 8), type, 90, &bare);
        EXPECT_TRUE(type == ImageFileJpeg ? (decoded(saved, type, &back), back.exif.length == 6)
                                          : !(holds(saved, "Exif") || holds(saved, "eXIf") || holds(saved, "EXIF")))
            << type;
    }
    // A first directory of 1024 entries is read, the orientation first; one of 1025 is refused.
    for (const int count : {1024, 1025}) {
        std::string wide = std::string("Exif\0\0II*\0\x08\0\0\0", 14) + char(count & 255) + char(count >> 8);
        wide.append("\x12\x01\3\0\1\0\0\0\6\0\0\0", 12);
        for (int i = 1; i < count; ++i) wide.append("\0\1\3\0\1\0\0\0\1\0\0\0", 12);
        wide.append(4, '\0');
        const auto* bytes = reinterpret_cast<const uint8_t*>(wide.data());
        EXPECT_EQ(count == 1024 ? 6 : 1, exifOrientation(bytes, wide.size()));
        EXPECT_EQ(1, exifOrientation(bytes, wide.size() - 1));  // its link cut short: the directory is refused
    }
    // Values may lie right after the header, before the first directory: a resolution of 72/1 at 8.
    const std::string early = std::string("Exif\0\0II*\0\x10\0\0\0\x48\0\0\0\x01\0\0\0", 22) +
                              std::string("\x01\0\x1A\x01\x05\0\x01\0\0\0\x08\0\0\0\0\0\0\0", 18);
    ByteArray block = byteArray(early);
    EXPECT_TRUE(rewriteExif(block, 10, 10));
}

// A block that cannot be rewritten goes rather than say what is no longer true: turned at load, or at another size.
TEST(Exif, ABlockThatCannotBeRewrittenIsDropped) {
    const struct {
        uint8_t orientation;
        int32_t savedWidth, loadedWidth;
        bool kept;
    } rows[] = {{6, 16, 8, false}, {1, 16, 16, true}, {1, 8, 8, false}};  // the block is for 16 x 8
    for (const auto& r : rows) {
        PhotoMetadata metadata, back;
        metadata.exif = nestedExif(r.orientation);
        metadata.size = {16, 8};
        const ByteArray saved = encoded(makePhoto(r.savedWidth, r.savedWidth / 2), ImageFileJpeg, 90, &metadata);
        EXPECT_EQ(decoded(saved, ImageFileJpeg, &back).width, r.loadedWidth);
        EXPECT_EQ(back.exif.length, r.kept ? metadata.exif.length : 0);
    }
}

// Containers hold the block after their header, with or without JPEG's mark; either way it comes out marked once.
TEST(Exif, AContainersBlockComesOutMarkedOnce) {
    const std::string tiff("MM\0*\0\0\0\x08", 8), mark("Exif\0\0", 6), offset(4, '\0');
    ByteArray block;
    for (const std::string& box : {offset + tiff, offset + mark + tiff}) {
        ASSERT_TRUE(exifFromContainer(reinterpret_cast<const uint8_t*>(box.data()), box.size(), 4, block));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data), block.length), mark + tiff);
    }
    const std::string notTiff = offset + mark + "MM\0+\0\0\0\x08";
    for (size_t skip : {size_t{4}, notTiff.size() + 1})
        EXPECT_TRUE(exifFromContainer(reinterpret_cast<const uint8_t*>(notTiff.data()), notTiff.size(), skip, block) &&
                    block.length == 0);
}

#if VISTREL_PHOTO_FORMATS
// Past 64 KB the JPEG XL writer's output and the reader's Exif buffer must grow: a large block comes back whole.
TEST(Exif, ALargeBlockTravelsWholeThroughJpegXl) {
    PhotoMetadata metadata, back;
    const Bitmap photo = loadedPhoto("orientation_1.jpg", &metadata);
    const int32_t length = metadata.exif.length;
    ASSERT_TRUE(metadata.exif.SetLength(100000));
    std::memset(metadata.exif.data + length, 7, static_cast<size_t>(100000 - length));
    ASSERT_FALSE(decoded(encoded(photo, ImageFileJxl, 90, &metadata), ImageFileJxl, &back).isEmpty());
    EXPECT_TRUE(back.exif.length == 100000 && std::memcmp(back.exif.data, metadata.exif.data, 100000) == 0);
}

// A HEIF Exif item says how far into it the TIFF structure starts; 300 bytes in, the third byte of that counts too.
TEST(Exif, AHeifItemsBlockIsFoundPastItsFirst256Bytes) {
    const std::string tiff("II*\0\x08\0\0\0\0\0\0\0\0\0", 14), mark("Exif\0\0", 6);  // no entries
    PhotoMetadata metadata, back;
    metadata.size = {16, 8};
    metadata.exif.Assign((mark + std::string(300, '\0') + tiff).data(), 320);
    decoded(encoded(makePhoto(16, 8), ImageFileAvif, 90, &metadata), ImageFileAvif, &back);
    const std::string want = mark + tiff;
    EXPECT_EQ(std::vector<uint8_t>(want.begin(), want.end()), bytesOf(back.exif));
}
#endif

// Writers do not all sort their tags: the Exif directory's link listed before the Orientation must not hide it.
TEST(Exif, OrientationIsResetWhereverItStandsInTheFirstDirectory) {
    // Big-endian. The first directory: the Exif directory at 38, then Orientation 6; the Exif directory:
    // PixelXDimension as a SHORT, so that 300 is written in two bytes, high first.
    const uint8_t unsorted[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2,
                                0x87, 0x69, 0, 4, 0, 0, 0, 1, 0, 0, 0, 38, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0,
                                0, 0, 0, 0, 0, 1, 0xA0, 0x02, 0, 3, 0, 0, 0, 1, 0, 5, 0, 0, 0, 0, 0, 0};
    ByteArray block;
    block.Assign(unsorted, sizeof unsorted);
    block.Append("\xee", 1);  // a byte past every directory, which the rewrite cuts off
    ASSERT_EQ(6, exifOrientation(block.data, static_cast<size_t>(block.length)));
    ASSERT_TRUE(rewriteExif(block, 300, 20));
    EXPECT_EQ(std::pair(1u, 300u), std::pair(readExif(block).values.at(0x0112), readExif(block).values.at(0xA002)));
    EXPECT_EQ(static_cast<int32_t>(sizeof unsorted), block.length);
}

// A RAW's block holds what LibRaw gave and leaves out what it did not.
TEST(Exif, ABlockMadeFromShotDetailsHoldsThoseGiven) {
    ShotDetails shot;
    shot.isoSpeed = 400.0f, shot.focalLength = 35.0f;
    ByteArray block;
    ASSERT_TRUE(makeExif(shot, block));
    const ExifFields f = readExif(block);
    EXPECT_EQ(std::pair(400u, size_t(1)), std::pair(f.values.at(0x8827), f.values.count(0x920A)));  // ISO, focal length
    EXPECT_EQ(0u, f.values.count(0x829A) + f.values.count(0x829D) + f.values.count(0x010F));  // none given
    EXPECT_FALSE(f.secondDirectory);
    shot.make = "Maker", shot.model = "Model X", shot.isoSpeed = 0.0f, shot.focalLength = 0.0f;
    ASSERT_TRUE(makeExif(shot, block));
    const ExifFields named = readExif(block);
    EXPECT_EQ(std::tuple(named.values.count(0x010F), named.values.count(0x0110), named.values.count(0x920A)),
              std::tuple(size_t(1), size_t(1), size_t(0)));  // and a focal length of 0 is none
    EXPECT_TRUE(holds(block, "Maker") && holds(block, "Model X"));
}

TEST(Profile, AProfiledPhotoKeepsItsProfileOrIsConvertedForEveryOutputType) {
    const ByteArray icc = fileBytes(photoDir + "display_p3.icc");
    const Bitmap asSrgb = loadedPhoto("p3_as_srgb.png");
    for (const char* name : {"p3.png", "p3.tif", "p3.jpg"}) {
        SCOPED_TRACE(name);
        PhotoMetadata metadata;
        const Bitmap picture = loadedPhoto(name, &metadata);
        ASSERT_FALSE(picture.isEmpty());
        EXPECT_EQ(bytesOf(icc), bytesOf(metadata.icc));
        // The pixels keep their own colours.
        EXPECT_LE(largestDifference(loadedPhoto("upright.png"), picture), name[3] == 'j' ? 6 : 0);
        for (ImageFileType type : {ImageFileJpeg, ImageFilePng, ImageFileTiff, ImageFileBmp, ImageFileTga,
                                   ImageFileGif, ImageFilePcx, ImageFileIco}) {
            SCOPED_TRACE(type);
            PhotoMetadata back;
            const Bitmap result = decoded(encoded(picture, type, 95, &metadata), type, &back);
            if (type == ImageFileJpeg || type == ImageFilePng || type == ImageFileTiff) {
                EXPECT_EQ(icc.length, back.icc.length);
                EXPECT_TRUE(type != ImageFilePng || largestDifference(picture, result) == 0);
            } else {
                EXPECT_EQ(0, back.icc.length);
                // Converted as Pillow's LittleCMS converts the same colours.
                EXPECT_LE(largestDifference(asSrgb, result), name[3] == 'j' ? 8 : 1);
            }
        }
    }
}

TEST(Profile, ConversionGivesTheSameBitsEverywhereAndALargeProfileTravelsInJpeg) {
    // A checksum of a photo-like picture converted from Display P3: the Windows build must give the very same bits.
    Bitmap photo = makePhoto(64, 48, 3);
    ASSERT_TRUE(convertToSrgb(photo, fileBytes(photoDir + "display_p3.icc")));
    EXPECT_EQ(16743075302433144917ull, hashImage(photo));

    // Over 64 KB: split over APP2 segments and joined again.
    PhotoMetadata metadata, back;
    const Bitmap picture = loadedPhoto("large_profile.jpg", &metadata);
    const ByteArray saved = encoded(picture, ImageFileJpeg, 90, &metadata);
    std::vector<size_t> parts;  // the APP2 segments that hold a part of it, the first as full as a segment gets
    for (const Segment& s : segmentsOf(saved.data, static_cast<size_t>(saved.length)))
        if (s.marker == 0xE2 && s.payload.compare(0, 11, "ICC_PROFILE") == 0) parts.push_back(s.payload.size());
    EXPECT_EQ(std::pair(size_t(3), size_t(65533)), std::pair(parts.size(), parts.at(0)));
    decoded(saved, ImageFileJpeg, &back);
    EXPECT_EQ(bytesOf(metadata.icc), bytesOf(back.icc));
    // A part missing: no profile, the picture still loads.
    ByteArray broken = saved;
    for (int32_t i = 0; i + 16 < broken.length; ++i)
        if (std::memcmp(broken.data + i, "ICC_PROFILE\0\2", 13) == 0) broken.data[i + 12] = 9;
    EXPECT_TRUE(!decoded(broken, ImageFileJpeg, &back).isEmpty() && back.icc.length == 0) << back.icc.length;
    // 255 parts at most: a profile that fills them all is written, one byte more is left out.
    for (const size_t size : {size_t{255 * 65519}, size_t{255 * 65519 + 1}}) {
        ASSERT_TRUE(metadata.icc.SetLength(int32_t(size)));
        EXPECT_EQ(size == 255 * 65519, size_t(encoded(picture, ImageFileJpeg, 90, &metadata).length) > size) << size;
    }
}

TEST(Profile, ACmykJpegGoesThroughItsProfileToSrgb) {
    PhotoMetadata metadata;
    EXPECT_LE(largestDifference(loadedPhoto("cmyk_as_srgb.png"), loadedPhoto("cmyk.jpg", &metadata)), 3);
    EXPECT_EQ(0, metadata.icc.length);  // the pixels are sRGB now
    // Its profile's segment (bytes 18 to 536) swapped for an RGB one: the inks cannot go through it, and the
    // picture, made sRGB without it, does not carry it on.
    const ByteArray cmyk = fileBytes(photoDir + "cmyk.jpg"), p3 = fileBytes(photoDir + "display_p3.icc");
    ByteArray tagged;
    tagged.Assign(cmyk.data, 18);
    const uint8_t head[] = {0xFF, 0xE2, uint8_t((p3.length + 16) >> 8), uint8_t(p3.length + 16)};
    tagged.Append(head, 4), tagged.Append("ICC_PROFILE\0\1\1", 14), tagged.Append(p3.data, p3.length);
    tagged.Append(cmyk.data + 536, cmyk.length - 536);
    EXPECT_FALSE(decoded(tagged, ImageFileJpeg, &metadata).isEmpty());
    EXPECT_EQ(0, metadata.icc.length);
}
