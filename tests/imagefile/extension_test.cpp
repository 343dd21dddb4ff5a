#include "imagefile/image_file.h"

#include <gtest/gtest.h>

TEST(TypeFromExtension, OnlyTheTextAfterTheLastDotCounts) {
    EXPECT_EQ(ImageFileJpeg, typeFromExtension("a.JPeG"));  // any case
    EXPECT_EQ(ImageFilePng, typeFromExtension("photo.jpg.png"));
    EXPECT_EQ(ImageFilePng, typeFromExtension(".png"));
    // Everything after a folder's dot, separator included, is the extension; near misses (the last three) are not.
    for (const char* name : {"archive.tar.gz", "photo.png.", "photo", "", ".", "/home/me/my.pictures/photo",
                             "C:\\my.png\\photo", "a.jpe", "a.pngx", "a. png"})
        EXPECT_EQ(ImageFileUnknown, typeFromExtension(name)) << name;
}

TEST(EncodeRefusal, TypesNeverWrittenAndSidesPastWhatEachTypeHolds) {
    // Each type's largest side is taken, one more is refused, either way round.
    for (auto [type, largest] : {std::pair{ImageFileIco, 255}, {ImageFileWebp, 16383}, {ImageFileJpeg, 65500},
                                 {ImageFileTiff, 65500}, {ImageFileGif, 65535}, {ImageFileTga, 65535},
                                 {ImageFilePcx, 65535}}) {
        EXPECT_EQ(0, encodeRefusal(type, largest, largest).length) << type;
        EXPECT_GT(encodeRefusal(type, largest, largest + 1).length, 0) << type;
        EXPECT_GT(encodeRefusal(type, largest + 1, 1).length, 0) << type;
    }
    EXPECT_EQ(0, encodeRefusal(ImageFilePng, 65536, 65536).length);
    LoadDetails nine;  // a depth of 9 bits is already past what a result keeps
    nine.bitsPerSample = 9;
    EXPECT_EQ("9 bits per channel (the result keeps 8)", describeLoss(nine, ImageFileTiff, ImageFileTiff).str());
    LoadDetails more;  // what else the file held, by its type
    more.moreImages = true;
    const std::string frames = "its other animation frames", images = "its other images";
    for (auto [type, what] : {std::pair{ImageFileWebp, frames}, {ImageFileJxl, frames}, {ImageFileHeif, images},
                              {ImageFileIco, images}})
        EXPECT_EQ(what, describeLoss(more, type, ImageFilePng).str()) << type;
}
