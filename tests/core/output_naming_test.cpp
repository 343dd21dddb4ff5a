#include "core/output_naming.h"

#include <gtest/gtest.h>

// The prefix goes after the later separator, the suffix before the last dot of the name (a folder's dot starts no
// extension) or at its end; empty texts leave the path as it was, and say so.
TEST(BatchOutputPath, PrependAfterTheLaterSeparatorAppendBeforeTheLastDot) {
    const char* const rows[][4] = {  // path, prepend, append, result
        {"/photos/a.jpg", "", "_new", "/photos/a_new.jpg"}, {"C:\\photos\\a.jpg", "x", "", "C:\\photos\\xa.jpg"},
        {"/a\\b/c.png", "x", "", "/a\\b/xc.png"}, {"/a/b\\c.png", "x", "", "/a/b\\xc.png"},
        {"/a.png", "x", "", "/xa.png"}, {"photo.tar.gz", "x", "_1", "xphoto.tar_1.gz"},
        {"photo.tga", "pre-", "-post", "pre-photo-post.tga"}, {".png", "", "_1", "_1.png"},  // all extension
        {"/p/a.jpg", "", "", "/p/a.jpg"}, {"/p/photo", "", "_new", "/p/photo_new"},
        {"/p.d/photo", "", "_new", "/p.d/photo_new"}, {"photo", "", "_new", "photo_new"}};
    for (const auto& [path, prepend, append, result] : rows) {
        bool changed = *path == '/';  // whatever it held before is overwritten
        EXPECT_EQ(result, BatchOutputPath(String(path), String(prepend), String(append), &changed).str()) << path;
        EXPECT_EQ(std::string(path) != result, changed) << path;
        EXPECT_EQ(result, BatchOutputPath(String(path), String(prepend), String(append)).str());  // no flag asked
    }
}
