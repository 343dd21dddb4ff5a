#include "imagefile/image_file.h"

#include "test_images.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

namespace {

class ImageFolder : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override {
        dir = MakeScratchFolder("vistrel-imagefile");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { RemoveScratchFolder(dir); }
    String path(const char* name) const { return String((dir + "/" + name).c_str()); }
    static bool exists(const String& p) { return access(CStr(p), F_OK) == 0; }
};

}  // namespace

TEST_F(ImageFolder, AFailedSaveWritesNothingAndKeepsTheOldFile) {
    Bitmap photo = makePhoto(8, 8);
    for (const char* name : {"out.wbmp", "out.wmf", "out.raw"}) {
        FileFailure failure;
        EXPECT_FALSE(save(photo, path(name), 90, nullptr, true, &failure)) << name;
        EXPECT_FALSE(exists(path(name))) << name;
        EXPECT_EQ(encodeRefusal(typeFromExtension(path(name)), 8, 8).str(), failure.reason.str()) << name;
    }
    EXPECT_EQ("Unknown image format: " + dir + "/out.raw", saveFailureMessage(path("out.raw"), ImageFileUnknown).str());
    EXPECT_EQ("Unable to save " + dir + "/out.wbmp - check file isn't read-only",
              saveFailureMessage(path("out.wbmp"), ImageFileWbmp).str());

    // An icon too large to encode leaves the existing file alone.
    WriteFileBytes(CStr(path("keep.ico")), "old contents");
    Bitmap large = makePhoto(256, 16);
    EXPECT_FALSE(save(large, path("keep.ico"), 90, nullptr));
    EXPECT_EQ("old contents", ReadFileBytes(CStr(path("keep.ico"))));

    EXPECT_FALSE(save(photo, path("no/such/folder.png"), 90, nullptr));
    Bitmap empty;
    EXPECT_FALSE(save(empty, path("empty.png"), 90, nullptr));
    EXPECT_FALSE(exists(path("empty.png")));
}
