#include "imagefile/image_file.h"

#include <gtest/gtest.h>

TEST(TypeFromExtension, OnlyTheTextAfterTheLastDotCounts) {
    EXPECT_EQ(ImageFileJpeg, typeFromExtension("a.JPeG"));  // any case
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("archive.tar.gz"));
    EXPECT_EQ(ImageFilePng, typeFromExtension("photo.jpg.png"));
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("photo.png."));
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("photo"));
    EXPECT_EQ(ImageFileUnknown, typeFromExtension(""));
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("."));
    EXPECT_EQ(ImageFilePng, typeFromExtension(".png"));
    // Everything after a folder's dot, separator included, is the extension.
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("/home/me/my.pictures/photo"));
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("C:\\my.png\\photo"));
    // Near misses of a name are not that name.
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("a.jpe"));
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("a.pngx"));
    EXPECT_EQ(ImageFileUnknown, typeFromExtension("a. png"));
}

TEST(EncodeRefusal, TypesNeverWrittenAndSidesPastWhatEachTypeHolds) {
    for (ImageFileType never : {ImageFileWbmp, ImageFileWmf, ImageFileUnknown})
        EXPECT_GT(encodeRefusal(never, 1, 1).length, 0) << never;
    // Each type's largest side is taken, one more is refused, either way round.
    const struct {
        ImageFileType type;
        int32_t largest;
    } limits[] = {{ImageFileIco, 255},   {ImageFileWebp, 16383}, {ImageFileJpeg, 65500},
                  {ImageFileGif, 65535}, {ImageFileTga, 65535},  {ImageFilePcx, 65535}};
    for (const auto& l : limits) {
        EXPECT_EQ(0, encodeRefusal(l.type, l.largest, l.largest).length) << l.type;
        EXPECT_GT(encodeRefusal(l.type, l.largest, l.largest + 1).length, 0) << l.type;
        EXPECT_GT(encodeRefusal(l.type, l.largest + 1, 1).length, 0) << l.type;
    }
    EXPECT_EQ(0, encodeRefusal(ImageFilePng, 65536, 65536).length);
}
