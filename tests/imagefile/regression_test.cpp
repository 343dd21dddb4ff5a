#include "imagefile/image_file.h"

#include "test_images.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <string>
#include <vector>

// Inputs that once crashed, hung or over-allocated a decoder (most found by
// the fuzzers). Each sits in data/<fuzz target>/ and must now decode safely;
// whether it yields a picture does not matter.

namespace {

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(dir + "/" + e->d_name);
        closedir(d);
    }
    return names;
}

}  // namespace

TEST(Regression, EarlierCrashInputsDecodeSafely) {
    const std::string root = VISTREL_IMAGEFILE_DATA;
    const struct {
        const char* folder;
        ImageFileType type;
    } decoders[] = {{"bmp", ImageFileBmp}, {"gif", ImageFileGif}, {"ico", ImageFileIco}, {"tga", ImageFileTga},
                    {"pcx", ImageFilePcx}, {"wbmp", ImageFileWbmp}, {"tga_resource", ImageFileUnknown}};
    int32_t count = 0;
    for (const auto& d : decoders) {
        for (const std::string& path : filesIn(root + "/" + d.folder)) {
            SCOPED_TRACE(path);
            std::string bytes = ReadFileBytes(path);
            const uint8_t* data = reinterpret_cast<const uint8_t*>(bytes.data());
            Bitmap bitmap;
            if (d.type == ImageFileUnknown)
                decodeTgaResource(bitmap, data, bytes.size());
            else
                decode(bitmap, data, bytes.size(), d.type, nullptr);
            EXPECT_TRUE(bitmap.isEmpty() || (bitmap.width <= 65535 && bitmap.height <= 65535));
            ++count;
        }
    }
    EXPECT_GT(count, 0) << "no regression inputs found under " << root;
}
