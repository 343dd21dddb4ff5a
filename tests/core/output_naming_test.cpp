#include "core/output_naming.h"

#include <gtest/gtest.h>

namespace {

std::string named(const char* path, const char* prepend, const char* append, bool* changed = nullptr) {
    return BatchOutputPath(String(path), String(prepend), String(append), changed).str();
}

}  // namespace

TEST(BatchOutputPath, PrependAfterTheLaterSeparatorAppendBeforeTheLastDot) {
    bool changed = false;
    EXPECT_EQ("/photos/a_new.jpg", named("/photos/a.jpg", "", "_new", &changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ("C:\\photos\\xa.jpg", named("C:\\photos\\a.jpg", "x", ""));
    EXPECT_EQ("/a\\b/xc.png", named("/a\\b/c.png", "x", ""));
    EXPECT_EQ("/a/b\\xc.png", named("/a/b\\c.png", "x", ""));
    EXPECT_EQ("/xa.png", named("/a.png", "x", ""));  // in the root
    EXPECT_EQ("xphoto.tar_1.gz", named("photo.tar.gz", "x", "_1"));
    EXPECT_EQ("pre-photo-post.tga", named("photo.tga", "pre-", "-post"));
    EXPECT_EQ("_1.png", named(".png", "", "_1"));  // a name that is all extension
}

TEST(BatchOutputPath, EmptyTextsLeaveThePathAndNoDotAppendsAtTheEnd) {
    bool changed = true;
    EXPECT_EQ("/p/a.jpg", named("/p/a.jpg", "", "", &changed));
    EXPECT_FALSE(changed);
    EXPECT_EQ("/p/photo_new", named("/p/photo", "", "_new"));
    EXPECT_EQ("/p.d/photo_new", named("/p.d/photo", "", "_new"));  // a folder's dot starts no extension
}
