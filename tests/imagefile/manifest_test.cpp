#include "imagefile/image_file.h"

#include "imagefile/codecs.h"
#include "test_images.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// Walks the public conformance suites' manifest: every file that must load loads with the listed size (and alpha where
// it is known), every corrupt file fails, and nothing crashes, hangs or leaks.

namespace {

struct Row {
    std::string path, expect, width, height, alpha, note;
};

std::vector<std::string> splitCsv(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            fields.back() += '"', ++i;  // a doubled quote inside quotes stands for one
        else if (c == '"') quoted = !quoted;
        else if (c == ',' && !quoted) fields.emplace_back();
        else fields.back() += c;
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
        if (f.size() < 5 || f[0].compare(0, folder.size() + 1, folder + "/") != 0) continue;
        rows.push_back({f[0], f[1], f[2], f[3], f[4], f.size() > 5 ? f[5] : ""});
    }
    return rows;
}

const std::map<std::string, ImageFileType> folderTypes = {
    {"bmp", ImageFileBmp}, {"gif", ImageFileGif},  {"ico", ImageFileIco},   {"tga", ImageFileTga},  {"pcx", ImageFilePcx},
    {"wbmp", ImageFileWbmp}, {"jpeg", ImageFileJpeg}, {"png", ImageFilePng}, {"tiff", ImageFileTiff}};

// The type by extension as the program chooses it, else (fuzz cases) the type of the file's folder.
ImageFileType typeOf(const std::string& path, const std::string& folder) {
    ImageFileType type = typeFromExtension(String(path.c_str()));
    return type != ImageFileUnknown ? type : folderTypes.at(folder);
}

class Suite : public ::testing::TestWithParam<std::string> {};

Bitmap decodeFile(const std::string& path, ImageFileType type) { return decoded(fileBytes(formatsDir + path), type); }

TEST_P(Suite, EveryFileBehavesAsTheManifestSays) {
    const std::string folder = GetParam();
    int32_t loaded = 0;
    for (const Row& row : rowsOf(folder)) {
        SCOPED_TRACE(row.path);
        const ImageFileType type = typeOf(row.path, folder);
        const Bitmap bitmap = decodeFile(row.path, type);
        EXPECT_TRUE(row.expect != "fail" || bitmap.isEmpty()) << "a corrupt file decoded";
        EXPECT_TRUE(row.expect != "ok" || !bitmap.isEmpty()) << "a valid file failed to decode";
        if (row.expect != "ok" || bitmap.isEmpty()) continue;  // for "either", any outcome but a crash, hang or leak
        ++loaded;
        // The manifest gives the stored size; orientations 5-8 load turned.
        const size_t o = row.note.rfind("rientation ");  // "orientation" or "Orientation"
        const bool turned = o != std::string::npos && row.note[o + 11] >= '5' && row.note[o + 11] <= '8';
        EXPECT_EQ(turned ? row.height : row.width, std::to_string(bitmap.width));
        EXPECT_EQ(turned ? row.width : row.height, std::to_string(bitmap.height));
        // A GIF's transparent index and JPEG never give alpha.
        const bool opaque = row.alpha == "no" || type == ImageFileGif || type == ImageFileJpeg;
        EXPECT_TRUE(!opaque || allOpaque(bitmap)) << "unexpected transparency";
        if (row.alpha == "yes" && type != ImageFileGif) {
            const std::string bytes = ReadFileBytes(formatsDir + row.path);
            DecodedImage image;
            ASSERT_TRUE(decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), type, image));
            EXPECT_TRUE(image.hasAlpha()) << "alpha was dropped";
        }
    }
    EXPECT_GT(loaded, 0);
}

// The seq files are 16 x 16 samples counting up; files whose names end in the same checksum hold the same samples in
// different layouts (strips, tiles, planes, compression, differencing), so they must decode alike.
TEST(TiffLayouts, EveryLayoutOfTheSameSamplesDecodesAlike) {
    std::map<std::string, std::vector<std::string>> groups;
    for (const Row& row : rowsOf("tiff")) {
        if (row.expect != "ok" || row.path.find("/seq/") == std::string::npos) continue;
        const size_t dash = row.path.rfind('-'), dot = row.path.rfind('.');
        // Associated alpha means premultiplied colours: they decode unlike the same samples unassociated.
        const char* alpha = row.path.find("-unassoc") != std::string::npos ? "u" : "";
        groups[row.path.substr(dash + 1, dot - dash - 1) + alpha].push_back(row.path);
    }
    int32_t compared = 0;
    for (const auto& [checksum, paths] : groups) {
        const Bitmap first = loadedPhoto("../formats/" + paths[0]);
        ASSERT_FALSE(first.isEmpty()) << paths[0];
        for (size_t i = 1; i < paths.size(); ++i, ++compared)
            EXPECT_TRUE(samePixels(first, loadedPhoto("../formats/" + paths[i])))
                << paths[i] << " differs from " << paths[0];
    }
    EXPECT_GT(compared, 20);
}

// A one-pixel grey or RGB TIFF with an extra sample marked 0 (unspecified), 1 (associated alpha) or 2 (unassociated).
std::vector<uint8_t> extraSampleTiff(uint32_t colours, uint32_t bits, uint32_t extra, const std::vector<uint8_t>& px) {
    std::vector<uint8_t> file = {'I', 'I', 42, 0, 8, 0, 0, 0, 10, 0};  // the directory at 8 holds 10 entries
    file.resize(142);
    const uint32_t entries[10][4] = {
        {256, 3, 1, 1},           {257, 3, 1, 1}, {258, 3, colours + 1, colours == 1 ? bits * 65537 : 134},
        {259, 3, 1, 1},           {262, 3, 1, colours == 1 ? 1u : 2u}, {273, 4, 1, 142},
        {277, 3, 1, colours + 1}, {278, 3, 1, 1}, {279, 4, 1, static_cast<uint32_t>(px.size())}, {338, 3, 1, extra}};
    for (size_t i = 0; i < 10; ++i) {
        putLe32(file, 10 + 12 * i, entries[i][0] | entries[i][1] << 16);  // tag and type
        putLe32(file, 14 + 12 * i, entries[i][2]), putLe32(file, 18 + 12 * i, entries[i][3]);
    }
    for (size_t at = 134; at < 142; at += 2) putLe16(file, at, bits);
    file.insert(file.end(), px.begin(), px.end());
    return file;
}

// Grey with alpha, which our own reader takes, in 16 x 16 tiles on a picture 20 wide: the second tile holds 4 columns.
TEST(TiffLayouts, TilesNarrowerThanThePictureLandSideBySide) {
    const std::string path = testing::TempDir() + "tiles.tif";
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    const uint16_t alpha = EXTRASAMPLE_UNASSALPHA;
    for (auto [tag, value] : {std::pair{TIFFTAG_IMAGEWIDTH, 20}, {TIFFTAG_IMAGELENGTH, 4}, {TIFFTAG_BITSPERSAMPLE, 8},
                              {TIFFTAG_SAMPLESPERPIXEL, 2}, {TIFFTAG_PHOTOMETRIC, 1}, {TIFFTAG_TILEWIDTH, 16},
                              {TIFFTAG_TILELENGTH, 16}})
        TIFFSetField(t, tag, value);
    TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &alpha);
    std::vector<uint8_t> tile(16 * 16 * 2, 255);
    for (uint32_t left : {0u, 16u}) {
        for (int32_t i = 0; i < 16 * 16; ++i) tile[2 * i] = uint8_t(10 * (left + i % 16));  // grey 10 x
        TIFFWriteTile(t, tile.data(), left, 0, 0, 0);
    }
    TIFFClose(t);
    const Bitmap picture = decoded(fileBytes(path), ImageFileTiff);
    std::remove(path.c_str());
    ASSERT_EQ(Rect(0, 0, 20, 4), picture.bounds());
    for (int32_t x : {3, 15, 16, 19}) EXPECT_EQ(packPixel(10 * x, 10 * x, 10 * x, 255), picture.at(x, 3)) << x;
}

// 12-bit samples, which only our own reader takes: a second sample is alpha when it is marked associated (1) or
// unassociated (2), not when unspecified. A pixel with associated alpha 0 has no colour to divide out.
TEST(TiffLayouts, AnExtraSampleIsAlphaOnlyWhenMarkedAndOnlyPremultipliedColoursAreDividedOut) {
    for (auto [extra, alpha] : {std::pair(0u, 0x08u), {1u, 0x08u}, {2u, 0x08u}, {1u, 0x00u}}) {
        const std::vector<uint8_t> file = extraSampleTiff(1, 12, extra, {0x80, uint8_t(alpha), 0});  // grey 0x800
        DecodedImage image;
        ASSERT_TRUE(decodeImage(file.data(), file.size(), ImageFileTiff, image)) << extra;
        EXPECT_EQ(extra != 0, image.hasAlpha()) << extra;
    }
    std::vector<uint8_t> unknown = extraSampleTiff(1, 12, 2, {0x80, 0x08, 0});
    putLe16(unknown, 66, 99);  // a photometric interpretation no one defined is not read as grey
    EXPECT_TRUE(decoded(unknown, ImageFileTiff).isEmpty());
    // At 8 bits, grey or RGB, premultiplied (associated) colours are divided out and straight ones kept.
    for (auto [colours, extra, value, alpha, pixel] :
         {std::tuple(1u, 2u, 100, 128, 0x80646464u), {1u, 1u, 50, 128, 0x80646464u}, {3u, 2u, 100, 128, 0x80646464u},
          {3u, 1u, 100, 128, 0x80C7C7C7u}, {1u, 1u, 1, 1, 0x01FFFFFFu}, {3u, 1u, 1, 1, 0x01FFFFFFu}}) {
        std::vector<uint8_t> file = extraSampleTiff(colours, 8, extra, std::vector<uint8_t>(colours, uint8_t(value)));
        file.push_back(uint8_t(alpha));
        EXPECT_EQ(pixel, decoded(file, ImageFileTiff).at(0, 0))
            << colours << " colours, extra " << extra << ", " << value << " at " << alpha;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Suite,
                         ::testing::Values("bmp", "gif", "ico", "jpeg", "pcx", "png", "tga", "tiff", "wbmp"));

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "format/source" of a path in the suites.
std::string sourceOf(const std::string& path) { return path.substr(0, path.find('/', path.find('/') + 1)); }

// Pixels that differ from the reference: a channel may be off by one, since the decoders behind the references
// round 5- and 6-bit channels up to 8 bits each their own way. A fully transparent reference pixel has no colour
// to compare; only a GIF may show it opaque, as its transparent index is never turned into alpha.
int32_t differingPixels(const Bitmap& actual, const Bitmap& expected, bool gif, std::string& first) {
    if (actual.width != expected.width || actual.height != expected.height) {
        first = "size " + std::to_string(actual.width) + "x" + std::to_string(actual.height);
        return 1;
    }
    int32_t wrong = 0;
    for (int32_t y = 0; y < expected.height; ++y)
        for (int32_t x = 0; x < expected.width; ++x) {
            uint32_t a = actual.at(x, y), e = expected.at(x, y);
            bool same = pixelAlpha(e) == 0 ? (gif || pixelAlpha(a) == 0) : true;
            for (int shift = 0; shift < 32 && pixelAlpha(e) != 0; shift += 8)
                same = same && std::abs(static_cast<int>((a >> shift) & 255) - static_cast<int>((e >> shift) & 255)) <= 1;
            if (!same && wrong++ == 0) {
                std::ostringstream text;
                text << "pixel " << x << "," << y << " is " << std::hex << a << " instead of " << e;
                first = text.str();
            }
        }
    return wrong;
}

// Each decoded file with its reference renderings: the manifest names the files a PNG reference renders ("reference
// rendering for a, b", or an "acceptable alternative rendering"); the GIF suite keeps each file's first frame by it.
std::map<std::string, std::vector<std::string>> referencesOf(const std::string& folder) {
    std::vector<Row> rows = rowsOf(folder);
    std::map<std::string, bool> okPaths;  // the valid files
    for (const Row& row : rows) if (row.expect == "ok") okPaths[row.path] = true;
    std::map<std::string, std::vector<std::string>> references;
    const std::string marker = "rendering for ";
    for (const Row& row : rows) {
        size_t at = row.note.find(marker);
        if (row.expect != "ok" || at == std::string::npos) continue;
        const size_t from = at + marker.size();
        std::stringstream list(row.note.substr(from, row.note.find(';', from) - from));  // up to a ';'
        std::string name;
        while (std::getline(list, name, ',')) {
            name.erase(0, name.find_first_not_of(' '));
            // The named file sits in the reference's folder or in a sibling folder of the same source.
            for (const auto& [path, ok] : okPaths)
                if (sourceOf(path) == sourceOf(row.path) && endsWith(path, "/" + name))
                    references[path].push_back(row.path);
        }
    }
    for (const Row& row : rows) {
        if (folder != "gif" || row.expect != "ok" || row.path.find("pygif-test-suite/") == std::string::npos ||
            !endsWith(row.path, ".gif"))
            continue;
        const std::string stem = row.path.substr(0, row.path.size() - 4);
        std::string reference = okPaths.count(stem + ".png") ? stem + ".png" : stem + ".0.png";
        const std::string pixels = "first frame pixels = ";  // a still picture of another file's, as the LZW tests
        const size_t at = row.note.find(pixels), named = at + pixels.size();
        if (at != std::string::npos && row.note.find("frames expected") == std::string::npos)
            reference = row.path.substr(0, row.path.rfind('/') + 1) +
                        row.note.substr(named, row.note.find(".rgba", named) - named) + ".png";
        if (okPaths.count(reference)) references[row.path].push_back(reference);
    }
    return references;
}

class References : public ::testing::TestWithParam<std::string> {};

TEST_P(References, DecodedPixelsEqualTheReferenceRenderings) {
    const std::string folder = GetParam();
    std::map<std::string, std::vector<std::string>> references = referencesOf(folder);
    ASSERT_FALSE(references.empty());
    for (const auto& file : references) {
        ImageFileType type = typeOf(file.first, folder);
        Bitmap actual = decodeFile(file.first, type);
        std::string report;
        bool matched = false;
        for (const std::string& reference : file.second) {
            Bitmap expected = decodeFile(reference, typeOf(reference, folder));
            std::string first;
            matched = matched || differingPixels(actual, expected, type == ImageFileGif, first) == 0;
            report += "\n  against " + reference + ": " + first;
        }
        EXPECT_TRUE(matched) << file.first << report;
    }
}

// TIFF has no reference renderings: TiffLayouts compares its layouts exactly.
INSTANTIATE_TEST_SUITE_P(Formats, References, ::testing::Values("tga", "pcx", "bmp", "gif", "wbmp", "ico"));

}  // namespace
