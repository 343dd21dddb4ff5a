#if VISTREL_PHOTO_FORMATS

#include "imagefile/colour_profile.h"
#include "imagefile/decoded_image.h"
#include "imagefile/exif.h"
#include "imagefile/image_file.h"

#include "test_images.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

// WebP, HEIF, AVIF, JPEG XL and camera RAW, checked against what Debian's own tools decode from the same files
// (scripts/make_photo_test_files.py made both).

TEST(PhotoFormats, DecodeUprightAsTheirOwnToolsDo) {
    // The file; the tool's decode, or the picture the file was made from; the largest difference; lossless.
    const std::tuple<const char*, const char*, int32_t, bool> rows[] = {
        {"upright.webp", "upright.png", 0, true}, {"lossy.webp", "ref/lossy_webp.png", 0, false},
        {"alpha.webp", "ref/alpha_webp.png", 0, true}, {"animated.webp", "upright.png", 0, false},  // the first frame
        {"upright.heic", "ref/upright_heic.png", 1, false}, {"upright.avif", "ref/upright_avif.png", 2, false},
        {"alpha.avif", "ref/alpha_avif.png", 2, false},
        {"orientation_6.avif", "ref/upright_avif.png", 14, false},  // turned by the container, once
        {"upright.jxl", "upright.png", 0, true}, {"alpha.jxl", "ref/alpha_webp.png", 0, true},
        {"lossy.jxl", "ref/lossy_jxl.png", 1, false},  // in sRGB, not linear light
        {"orientation_6.jxl", "upright.png", 0, true},
        {"orientation_6.dng", "ref/orientation_6_dng.png", 1, true},  // developed and turned by LibRaw
    };
    for (const auto& [file, expected, tolerance, lossless] : rows) {
        SCOPED_TRACE(file);
        PhotoMetadata metadata;
        EXPECT_LE(largestDifference(loadedPhoto(expected), loadedPhoto(file, &metadata)), tolerance);
        EXPECT_EQ(std::pair(lossless, 0), std::pair(metadata.lossless, metadata.icc.length));  // sRGB needs no profile
        EXPECT_EQ(1, exifOrientation(metadata.exif.data, static_cast<size_t>(metadata.exif.length)));
    }
    // An animation without alpha whose first frame covers only the canvas's corner: the rest is opaque, as it says.
    const Bitmap corner = loadedPhoto("animated_corner.webp");
    EXPECT_TRUE(corner.at(3, 3) == loadedPhoto("upright.png").at(3, 3) && pixelAlpha(corner.at(20, 12)) == 255);
    // A RAW's shot details become a block of their own (1/250 s, f/2.8, 50 mm as fractions; ISO 400, one short).
    PhotoMetadata raw;
    loadedPhoto("orientation_6.dng", &raw);
    EXPECT_TRUE(holds(encoded(loadedPhoto("orientation_6.dng"), ImageFileJpeg, 90, &raw), "test camera"));
    for (const std::string& d : {std::string("test camera"), std::string("\x27\x88\3\0\1\0\0\0\x90\1", 10),
                                 std::string("\1\0\0\0\xFA\0\0\0\x1C\0\0\0\n\0\0\0\xF4\1\0\0\n\0\0\0", 24)})
        EXPECT_TRUE(holds(raw.exif, d)) << d.size();
    // The RAW's orientation tag (its 12-byte entry at 94), which LibRaw turns the picture by, is reported.
    ByteArray dng = fileBytes(photoDir + "orientation_6.dng");
    for (uint8_t o : {1, 3, 6, 8}) {
        dng.data[102] = o;
        EXPECT_TRUE(!decoded(dng, ImageFileRaw, &raw).isEmpty() && raw.orientation == o) << int(o);
    }
}

TEST(PhotoFormats, AProfiledPhotoKeepsItsProfileThroughEveryNewType) {
    const ByteArray icc = fileBytes(photoDir + "display_p3.icc");
    // The smallest profile, a header and an empty tag table, is read; a cut one is not.
    ByteArray smallest;
    smallest.Assign(icc.data, 132);
    std::memcpy(smallest.data, "\0\0\0\x84", 4);  // 132 bytes long
    std::memset(smallest.data + 128, 0, 4);         // no tags
    EXPECT_EQ(ProfileSpace::Rgb, profileSpace(smallest.data, 132));
    EXPECT_EQ(ProfileSpace::Unusable, profileSpace(smallest.data, 131));
    std::vector<uint8_t> padded(size_t{16} << 20 | 1);  // the largest taken is 16 MB: padded to that, then past it
    std::memcpy(padded.data(), icc.data, static_cast<size_t>(icc.length));
    EXPECT_EQ(std::pair(ProfileSpace::Rgb, ProfileSpace::Unusable),
              std::pair(profileSpace(padded.data(), padded.size() - 1), profileSpace(padded.data(), padded.size())));
    EXPECT_FALSE(holds(encoded(makePhoto(8, 8), ImageFileAvif, 90, nullptr), "prof"));  // none given, none written
    for (const char* name : {"p3.webp", "p3.heic", "p3.avif", "p3.jxl"}) {
        SCOPED_TRACE(name);
        PhotoMetadata metadata;
        // The P3 numbers as stored (a lossy JPEG XL as djxl gives them, in its own primaries with the sRGB curve).
        EXPECT_LE(largestDifference(loadedPhoto(name[3] == 'j' ? "ref/p3_jxl.png" : "upright.png"),
                                    loadedPhoto(name, &metadata)), name[3] == 'w' || name[3] == 'j' ? 0 : 16);
        ASSERT_EQ(ProfileSpace::Rgb, profileSpace(metadata.icc.data, static_cast<size_t>(metadata.icc.length)));
        EXPECT_TRUE(name[3] == 'j' || bytesOf(icc) == bytesOf(metadata.icc));
    }
    // Smooth, so that the lossy writers keep it close.
    PhotoMetadata metadata;
    loadedPhoto("p3.png", &metadata);
    const Bitmap picture = makeSmooth(64, 48);
    for (ImageFileType type : {ImageFileWebp, ImageFileAvif, ImageFileJxl}) {
        SCOPED_TRACE(type);
        PhotoMetadata back;
        const Bitmap result = decoded(encoded(picture, type, 95, &metadata), type, &back);
        EXPECT_LE(largestDifference(picture, result), type == ImageFileWebp ? 0 : 16);  // as cjxl, at the saturated corner
        EXPECT_EQ(ProfileSpace::Rgb, profileSpace(back.icc.data, static_cast<size_t>(back.icc.length)));
    }
    // An empty profile box is no profile. Saved with a profile that is itself a box, the colour box is cut to its
    // header, the profile becomes a box of its own, and the item's property numbers past it move up one.
    const char box[8] = {0, 0, 0, 8, 'f', 'r', 'e', 'e'};
    metadata.icc.Assign(box, 8);
    ByteArray avif = encoded(picture, ImageFileAvif, 95, &metadata);
    std::string bytes(reinterpret_cast<const char*>(avif.data), static_cast<size_t>(avif.length));
    const size_t colr = bytes.find("colrprof"), ipma = bytes.find("ipma");
    ASSERT_TRUE(colr != std::string::npos && ipma != std::string::npos);
    ASSERT_EQ(std::string("\x81\x82\x03\x84", 4), bytes.substr(ipma + 15, 4));  // colour, coding, size, depth
    bytes[colr - 1] = 12;
    bytes.replace(ipma + 15, 4, "\x81\x83\x04\x85");
    avif.Assign(bytes.data(), static_cast<int32_t>(bytes.size()));
    PhotoMetadata none;
    EXPECT_TRUE(largestDifference(picture, decoded(avif, ImageFileAvif, &none)) <= 16 && none.icc.length == 0);
    // A profile nothing can be made of leaves the pixels as they are in a type without profiles.
    metadata.icc = smallest;
    EXPECT_EQ(0, largestDifference(picture, decoded(encoded(picture, ImageFileBmp, 95, &metadata), ImageFileBmp)));
}

TEST(PhotoFormats, WritersFollowTheSourceAndTheQuality) {
    PhotoMetadata metadata;
    Bitmap photo = makePhoto(40, 30);
    metadata.size = photo.size();
    for (ImageFileType type : {ImageFileWebp, ImageFileAvif, ImageFileJxl, ImageFileTiff}) {
        SCOPED_TRACE(type);
        ByteArray low, high;
        ASSERT_TRUE(encode(photo, type, 95, &metadata, high));
        for (int32_t quality : {29, 30}) {  // below 30 JPEG XL's distance follows a curve
            ASSERT_TRUE(encode(photo, type, quality, &metadata, low));
            EXPECT_LT(low.length, high.length) << quality;
        }
    }
    // A lossless source makes a lossless WebP (VP8L), alpha and all, even the colour under a clear pixel.
    photo.at(3, 4) = packPixel(9, 8, 7, 60), photo.at(5, 6) = packPixel(90, 80, 70, 0);
    metadata.lossless = true;
    ByteArray kept;
    ASSERT_TRUE(encode(photo, ImageFileWebp, 30, &metadata, kept));
    EXPECT_TRUE(holds(kept, "VP8L"));
    EXPECT_EQ(0, largestDifference(photo, decoded(kept, ImageFileWebp)));
    ASSERT_TRUE(encode(photo, ImageFileJxl, 100, nullptr, kept));  // JPEG XL at 100: lossless
    EXPECT_EQ(0, largestDifference(photo, decoded(kept, ImageFileJxl)));
    // A picture one pixel high or wide goes through each writer and back.
    for (ImageFileType type : {ImageFileWebp, ImageFileAvif, ImageFileJxl})
        for (const auto& [w, h] : {std::pair{40, 1}, {1, 30}}) {
            ASSERT_TRUE(encode(makePhoto(w, h), type, 90, nullptr, kept)) << type;
            EXPECT_EQ(Rect(0, 0, w, h), decoded(kept, type).bounds()) << type;
        }
}

TEST(PhotoFormats, AFileHoldingAnotherTypeOpensAsThatType) {
    Bitmap b;
    const ByteArray png = fileBytes(photoDir + "upright.png");
    LoadDetails details;
    for (ImageFileType named : {ImageFileJpeg, ImageFileHeif, ImageFileAvif}) {
        decode(b, png.data, static_cast<size_t>(png.length), named, nullptr, &details);
        EXPECT_EQ((std::pair<int32_t, int32_t>(ImageFilePng, 24)), std::pair(details.type, b.width)) << named;
    }
    // A file whose signature names its own type is not read twice.
    decode(b, png.data, 40, ImageFilePng, nullptr, &details);
    EXPECT_TRUE(b.isEmpty());
    // Each says whether more images followed the one read (only the animation's did).
    for (const char* name :
         {"upright.heic", "upright.avif", "upright.jxl", "lossy.webp", "p3.tif", "cmyk.jpg", "animated.webp"}) {
        const ByteArray bytes = fileBytes(photoDir + name);
        const ImageFileType type = typeFromExtension(String(name));
        EXPECT_EQ(type, typeFromSignature(bytes.data, static_cast<size_t>(bytes.length))) << name;
        decode(b, bytes.data, static_cast<size_t>(bytes.length), type, nullptr, &details);
        EXPECT_EQ(name[1] == 'n', details.moreImages) << name;
    }
    EXPECT_EQ(ImageFileUnknown, typeFromSignature(reinterpret_cast<const uint8_t*>("\0\0\0\x10moovheic"), 12));
}

// Layouts libtiff leaves to the program, and whether a TIFF kept its samples.
TEST(PhotoFormats, TiffsLibtiffLeavesToUsReadAsStored) {
    // libtiff's warnings (the private tag in grey12_predictor.tif) and errors (a file cut short) stay off the console.
    testing::internal::CaptureStderr();
    for (const std::string name : {"grey12_predictor", "grey15_predictor"})
        EXPECT_EQ(0, largestDifference(loadedPhoto(name + ".png"), loadedPhoto(name + ".tif"))) << name;
    ByteArray cut = fileBytes(photoDir + "orientation_1.tif");
    cut.SetLength(cut.length / 2);
    EXPECT_TRUE(decoded(cut, ImageFileTiff).isEmpty());
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    for (const auto& [name, bits] : {std::pair{"cmyk16_alpha.tif", 16}, {"cmyk8_alpha.tif", 8}}) {
        Bitmap b;
        LoadDetails details;
        load(b, String((photoDir + name).c_str()), nullptr, &details);
        EXPECT_EQ(pixels(b), std::vector<uint32_t>({0x80FFFFFF, 0xFF00FFFF})) << name;  // the alpha kept at 8 bits too
        EXPECT_EQ(details.bitsPerSample, bits) << name;
    }
    // Trailing bytes far beyond what two pixels need do not make it implausible.
    ByteArray padded = fileBytes(photoDir + "cmyk16_alpha.tif");
    std::memset(padded.AppendSpace(300000), 0, 300000);
    EXPECT_EQ(2, decoded(padded, ImageFileTiff).width);
    for (const auto& [name, lossless] :
         {std::pair{"orientation_1.tif", true}, {"../formats/tiff/libtiff/quad-tile.jpg.tiff", false}}) {
        PhotoMetadata metadata;
        EXPECT_TRUE(!loadedPhoto(name, &metadata).isEmpty() && metadata.lossless == lossless) << name;
    }
}

TEST(PhotoFormats, ResultsOfReadOnlyTypesGetAWritableName) {
    bool changed = false;
    EXPECT_EQ(String("/p/a.png"), resultPathFor(String("/p/a.dng"), String(), String(), &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(String("x_new.jpg"), resultPathFor(String("x.heic"), String(), String("_new")));
}

TEST(PhotoFormats, CutAndOversizedFilesFailCleanly) {
    // Decodes into b, over what it held, under a pixel limit, then puts the usual limit back; whether b came out empty.
    Bitmap b;
    const auto emptyWithin = [&b](uint64_t limit, const ByteArray& bytes, ImageFileType type) {
        setDecodePixelLimit(limit);
        decode(b, bytes.data, static_cast<size_t>(bytes.length), type, nullptr);
        setDecodePixelLimit(uint64_t(1) << 28);
        return b.isEmpty();
    };
    for (const char* name : {"p3.webp", "animated.webp", "p3.heic", "alpha.avif", "p3.jxl", "orientation_6.dng"}) {
        SCOPED_TRACE(name);
        const ByteArray bytes = fileBytes(photoDir + name);
        const ImageFileType type = typeFromExtension(String(name));
        // Every cut fails or, where the format can stop early, stays in bounds (ASan watches).
        for (int32_t length = 0; length < bytes.length; length += 1 + length / 8)
            decode(b, bytes.data, static_cast<size_t>(length), type, nullptr);
        EXPECT_TRUE(emptyWithin(100, bytes, type));  // refused by the size check before the library allocates
    }
    // A 16 x 24 picture whose overlay claims a 30000 x 30000 canvas: libheif would fill 2.6 GB before reading a tile.
    const ByteArray overlay = fileBytes(std::string(VISTREL_IMAGEFILE_DATA) + "/heif/overlay-canvas-beyond-picture.avif");
    EXPECT_TRUE(decoded(overlay, ImageFileAvif).isEmpty());
    // A picture of exactly the limit loads (one on a sensor of twice as many pixels too); one pixel more is refused.
    for (const char* name : {"p3.png", "p3.webp", "p3.jxl", "orientation_6.dng", "half_sensor.dng"}) {
        const ByteArray bytes = fileBytes(photoDir + name);
        const ImageFileType type = typeFromExtension(String(name));
        const uint64_t pixels = decoded(bytes, type).pixelCount();
        for (const uint64_t limit : {pixels, pixels - 1})
            EXPECT_EQ(emptyWithin(limit, bytes, type), limit < pixels) << name << " " << limit;
    }
    // libheif's check goes by the side, one past the largest square's: under 256 pixels 17 x 15 passes, 18 x 14 not.
    for (auto [w, h] : {std::pair(17, 15), {18, 14}})
        EXPECT_EQ(w == 17, !emptyWithin(256, encoded(makePhoto(w, h), ImageFileAvif), ImageFileAvif)) << w;
    EXPECT_LT(peakKilobytes(), 1024 * 1024);
}

#endif
