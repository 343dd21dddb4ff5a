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
