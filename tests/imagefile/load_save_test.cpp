#include "imagefile/image_file.h"

#include "test_images.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

TEST(ImageFolder, AFailedSaveWritesNothingAndKeepsTheOldFile) {
    const std::string dir = MakeScratchFolder("vistrel-imagefile");
    ASSERT_FALSE(dir.empty());
    const auto path = [&dir](const char* name) { return String((dir + "/" + name).c_str()); };
    const auto exists = [](const String& p) { return access(CStr(p), F_OK) == 0; };
    Bitmap photo = makePhoto(8, 8);
    for (const char* name : {"out.wbmp", "out.wmf", "out.raw", "out.heic", "out.dng"}) {
        FileFailure failure;
        EXPECT_FALSE(save(photo, path(name), 90, nullptr, true, &failure)) << name;
        EXPECT_FALSE(exists(path(name))) << name;
        EXPECT_EQ(encodeRefusal(typeFromExtension(path(name)), 8, 8).str(), failure.reason.str()) << name;
    }
    EXPECT_EQ("Unable to save " + dir + "/out.wbmp - check file isn't read-only",
              saveFailureMessage(path("out.wbmp"), ImageFileWbmp).str());

    // An icon too large to encode leaves the existing file alone.
    WriteFileBytes(CStr(path("keep.ico")), "old contents");
    EXPECT_FALSE(save(makePhoto(256, 16), path("keep.ico"), 90, nullptr));
    EXPECT_EQ("old contents", ReadFileBytes(CStr(path("keep.ico"))));

    FileFailure empty;  // nothing to encode, and the failure still says so
    EXPECT_FALSE(save(Bitmap(), path("empty.png"), 90, nullptr, true, &empty) || exists(path("empty.png")));
    EXPECT_EQ("the picture could not be encoded", empty.reason.str());
    RemoveScratchFolder(dir);
}
