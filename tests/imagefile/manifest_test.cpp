#include "imagefile/image_file.h"

#include "imagefile/codecs.h"
#include "test_images.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// Walks the public conformance suites' manifest: every file that must load
// loads with the listed size (and alpha where it is known), every corrupt
// file fails, and nothing crashes, hangs or leaks.

namespace {

const std::string formatsDir = std::string(VISTREL_TESTDATA_DIR) + "/formats/";

struct Row {
    std::string path, expect, width, height, alpha;
};

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"')
                fields.back() += '"', ++i;
            else if (c == '"')
                quoted = false;
            else
                fields.back() += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<Row> rowsOf(const std::string& folder) {
    std::vector<Row> rows;
    std::ifstream in(formatsDir + "manifest.csv");
    std::string line;
    std::getline(in, line);  // column names
    while (std::getline(in, line)) {
        std::vector<std::string> f = splitCsv(line);
        if (f.size() < 5 || f[0].compare(0, folder.size() + 1, folder + "/") != 0)
            continue;
        rows.push_back({f[0], f[1], f[2], f[3], f[4]});
    }
    return rows;
}

const std::map<std::string, ImageFileType> folderTypes = {
    {"bmp", ImageFileBmp}, {"gif", ImageFileGif},  {"ico", ImageFileIco},   {"tga", ImageFileTga},  {"pcx", ImageFilePcx},
    {"wbmp", ImageFileWbmp}, {"jpeg", ImageFileJpeg}, {"png", ImageFilePng}, {"tiff", ImageFileTiff},
};

// The type by extension, as the program would choose it; files without a
// known extension (fuzz cases) go to their folder's decoder.
ImageFileType typeOf(const std::string& path, const std::string& folder) {
    ImageFileType type = typeFromExtension(String(path.c_str()));
    return type != ImageFileUnknown ? type : folderTypes.at(folder);
}

class Suite : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(Suite, EveryFileBehavesAsTheManifestSays) {
    const std::string folder = GetParam();
    std::vector<Row> rows = rowsOf(folder);
    ASSERT_FALSE(rows.empty());
    int32_t loaded = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        std::string bytes = readFileBytes(formatsDir + row.path);
        ImageFileType type = typeOf(row.path, folder);
        Bitmap bitmap;
        decode(bitmap, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), type, nullptr);
        if (row.expect == "fail") {
            EXPECT_TRUE(bitmap.isEmpty()) << "a corrupt file decoded";
            continue;
        }
        if (row.expect != "ok")
            continue;  // "either": any outcome but a crash, hang or leak
        ASSERT_FALSE(bytes.empty());
        if (bitmap.isEmpty()) {
            ADD_FAILURE() << "a valid file failed to decode";
            continue;
        }
        ++loaded;
        EXPECT_EQ(row.width, std::to_string(bitmap.width));
        EXPECT_EQ(row.height, std::to_string(bitmap.height));
        // A GIF's transparent index and JPEG never give alpha.
        if (row.alpha == "no" || type == ImageFileGif || type == ImageFileJpeg) {
            EXPECT_TRUE(allOpaque(bitmap)) << "unexpected transparency";
        }
        if (row.alpha == "yes" && type != ImageFileGif) {
            DecodedImage image;
            ASSERT_TRUE(decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), type, image));
            EXPECT_TRUE(image.hasAlpha()) << "alpha was dropped";
        }
    }
    EXPECT_GT(loaded, 0);
}

// The seq files are 16 x 16 samples counting up; files whose names end in
// the same checksum hold the same samples in different layouts (strips,
// tiles, planes, compression, differencing), so they must decode alike.
TEST(TiffLayouts, EveryLayoutOfTheSameSamplesDecodesAlike) {
    std::map<std::string, std::vector<std::string>> groups;
    for (const Row& row : rowsOf("tiff")) {
        if (row.expect != "ok" || row.path.find("/seq/") == std::string::npos)
            continue;
        size_t dash = row.path.rfind('-'), dot = row.path.rfind('.');
        // Associated alpha means premultiplied colours, which decode
        // differently from the same samples with unassociated alpha.
        bool unassociated = row.path.find("-unassoc") != std::string::npos;
        groups[row.path.substr(dash + 1, dot - dash - 1) + (unassociated ? "u" : "")].push_back(row.path);
    }
    int32_t compared = 0;
    for (const auto& group : groups) {
        Bitmap first;
        for (const std::string& path : group.second) {
            SCOPED_TRACE(path);
            Bitmap bitmap;
            load(bitmap, String((formatsDir + path).c_str()), nullptr);
            ASSERT_FALSE(bitmap.isEmpty());
            if (first.isEmpty()) {
                first.copyFrom(bitmap);
                continue;
            }
            EXPECT_TRUE(samePixels(first, bitmap)) << "differs from " << group.second[0];
            ++compared;
        }
    }
    EXPECT_GT(compared, 20);
}

INSTANTIATE_TEST_SUITE_P(Formats, Suite,
                         ::testing::Values("bmp", "gif", "ico", "jpeg", "pcx", "png", "tga", "tiff", "wbmp"));
