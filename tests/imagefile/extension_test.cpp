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

TEST(EncodeRefusal, TypesNeverWrittenAndIconsPastTheirSize) {
    for (ImageFileType never : {ImageFileWbmp, ImageFileWmf, ImageFileUnknown})
        EXPECT_GT(encodeRefusal(never, 1, 1).length, 0) << never;
    EXPECT_EQ(0, encodeRefusal(ImageFileIco, 255, 255).length);
    EXPECT_GT(encodeRefusal(ImageFileIco, 255, 256).length, 0);
    EXPECT_EQ(0, encodeRefusal(ImageFilePng, 65535, 65535).length);
}
