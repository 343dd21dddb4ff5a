#include "imagefile/image_file.h"

#include "test_images.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// Inputs that once crashed, hung or over-allocated a decoder (most found by the fuzzers). Each sits in
// data/<fuzz target>/ and must now decode safely; whether it yields a picture does not matter.

TEST(Regression, EarlierCrashInputsDecodeSafely) {
    const std::string root = VISTREL_IMAGEFILE_DATA;
    int32_t count = 0;
    for (auto [folder, type] : {std::pair{"bmp", ImageFileBmp}, {"gif", ImageFileGif}, {"ico", ImageFileIco},
                                {"tga", ImageFileTga}, {"pcx", ImageFilePcx}, {"wbmp", ImageFileWbmp},
                                {"raw", ImageFileRaw}, {"tga_resource", ImageFileUnknown}}) {
        std::error_code error;  // a folder without inputs is left out
        for (const auto& entry : std::filesystem::directory_iterator(root + "/" + folder, error)) {
            SCOPED_TRACE(entry.path().string());
            const ByteArray bytes = fileBytes(entry.path().string());
            Bitmap bitmap = type == ImageFileUnknown ? Bitmap() : decoded(bytes, type);
            if (type == ImageFileUnknown) decodeTgaResource(bitmap, bytes.data, static_cast<size_t>(bytes.length));
            EXPECT_TRUE(bitmap.isEmpty() || (bitmap.width <= 65535 && bitmap.height <= 65535));
            ++count;
        }
    }
    EXPECT_GT(count, 0) << "no regression inputs found under " << root;
}
