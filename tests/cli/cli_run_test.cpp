#include "cli_app.h"

#include "core/bilinear_scale.h"
#include "core/bilinear_weights.h"
#include "engine/final_resolution.h"
#include "engine/presets.h"
#include "engine/processing_job.h"
#include "imagefile/image_file.h"
#include "platform/files.h"
#include "tests/support/scratch_folder.h"

#include "watchdog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class CliRun : public ::testing::Test {
protected:
    std::string dir;

    void SetUp() override {
        InitBilinearWeights();
        dir = MakeScratchFolder("vistrel-cli");
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { RemoveScratchFolder(dir); }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    // A small textured picture: enough structure for the engine to work on.
    static Bitmap picture(int w, int h, uint32_t seed) {
        Bitmap b;
        b.resize(w, h);
        uint32_t s = seed;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                s = s * 1664525u + 1013904223u;
                const uint32_t noise = (s >> 24) & 31;
                b.at(x, y) = packPixel((x * 9 + noise) & 255, (y * 7 + noise) & 255, ((x + y) * 5) & 255);
            }
        return b;
    }

    void write(const std::string& name, const Bitmap& b) { ASSERT_TRUE(save(b, String(path(name)), 90, nullptr)); }

    void writeBytes(const std::string& name, const std::string& bytes) {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string readBytes(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& name) const { return FileExists(String(path(name))); }

    int run(std::vector<std::string> args, std::string* errText = nullptr, std::string* outText = nullptr) {
        std::ostringstream out, err;
        int status = RunCli(args, out, err, false);
        if (errText)
            *errText = err.str();
        if (outText)
            *outText = out.str();
        return status;
    }
};

// Inserts an APP1 "Exif" segment right after the JFIF header of a JPEG file.
std::string withExif(const std::string& jpeg, const std::string& payload) {
    size_t at = 2;
    if (jpeg.size() > 6 && static_cast<uint8_t>(jpeg[2]) == 0xFF && static_cast<uint8_t>(jpeg[3]) == 0xE0)
        at = 4 + ((static_cast<uint8_t>(jpeg[4]) << 8) | static_cast<uint8_t>(jpeg[5]));
    std::string body = std::string("Exif\0\0", 6) + payload;
    const size_t length = body.size() + 2;
    std::string segment = "\xFF\xE1";
    segment += static_cast<char>(length >> 8);
    segment += static_cast<char>(length & 0xFF);
    return jpeg.substr(0, at) + segment + body + jpeg.substr(at);
}

bool containsExif(const std::string& bytes, const std::string& payload) {
    return bytes.find(std::string("Exif\0\0", 6) + payload) != std::string::npos;
}

}  // namespace

TEST_F(CliRun, WritesNextToEachInputWithPrefixAndSuffixInTheInputsFormat) {
    write("a.png", picture(20, 16, 1));
    write("b.bmp", picture(18, 12, 2));
    write("c.tga", picture(9, 9, 3));
    std::string err;
    EXPECT_EQ(0, run({"--quiet", path("a.png"), path("b.bmp"), path("c.tga")}, &err)) << err;
    EXPECT_TRUE(exists("a_new.png"));
    EXPECT_TRUE(exists("b_new.bmp"));
    EXPECT_TRUE(exists("c_new.tga"));
    EXPECT_EQ("", err);

    EXPECT_EQ(0, run({"--quiet", "--prefix", "x", "--suffix", "", path("a.png")}));
    EXPECT_TRUE(exists("xa.png"));
}

TEST_F(CliRun, NeverReplacesWithoutOverwrite) {
    write("a.png", picture(12, 10, 4));
    writeBytes("a_new.png", "precious");
    std::string err;
    EXPECT_EQ(1, run({"--quiet", path("a.png")}, &err));
    EXPECT_NE(std::string::npos, err.find("already exists"));
    EXPECT_EQ("precious", readBytes("a_new.png"));

    // Replacing the inputs themselves needs --overwrite too.
    const std::string before = readBytes("a.png");
    EXPECT_EQ(1, run({"--quiet", "--suffix", "", path("a.png")}, &err));
    EXPECT_NE(std::string::npos, err.find("Refusing to replace the input"));
    EXPECT_EQ(before, readBytes("a.png"));

    EXPECT_EQ(0, run({"--quiet", "--overwrite", path("a.png")}, &err)) << err;
    EXPECT_NE("precious", readBytes("a_new.png"));
}

TEST_F(CliRun, FailedSaveKeepsTheOldFile) {
    write("a.png", picture(12, 10, 5));
    writeBytes("a.wbmp", "old wbmp");
    std::string err;
    // The wireless-bitmap encoder refuses colour pictures.
    EXPECT_EQ(1, run({"--quiet", "--overwrite", "-o", path("a.wbmp"), path("a.png")}, &err));
    EXPECT_NE(std::string::npos, err.find("Unable to save " + path("a.wbmp") + " - check file isn't read-only"));
    EXPECT_EQ("old wbmp", readBytes("a.wbmp"));
}

TEST_F(CliRun, MixedInputsReportEachFailureAndGoOn) {
    write("good.png", picture(14, 11, 6));
    writeBytes("corrupt.png", "\x89PNG\r\n\x1a\n garbage, not a picture");
    writeBytes("odd.xyz", "whatever");
    std::string err;
    EXPECT_EQ(1, run({"--quiet", path("missing.png"), path("corrupt.png"), path("odd.xyz"), path("good.png")}, &err));
    EXPECT_NE(std::string::npos, err.find("Couldn't find file " + path("missing.png")));
    EXPECT_NE(std::string::npos, err.find("Error reading " + path("corrupt.png")));
    EXPECT_NE(std::string::npos, err.find("Unknown image format: " + path("odd.xyz")));
    EXPECT_TRUE(exists("good_new.png"));
    EXPECT_FALSE(exists("corrupt_new.png"));

    EXPECT_EQ(2, run({"--amount", "500", path("good.png")}, &err));
    EXPECT_NE(std::string::npos, err.find("Try 'vistrel-cli --help'"));
}

TEST_F(CliRun, SameSizeJpegKeepsItsExifAndAResizedOneDropsIt) {
    write("plain.jpg", picture(24, 16, 7));
    const std::string payload("MM\0*\0\0\0\x08 vistrel test block", 28);
    writeBytes("photo.jpg", withExif(readBytes("plain.jpg"), payload));
    std::string err;
    ASSERT_EQ(0, run({"--quiet", path("photo.jpg")}, &err)) << err;
    EXPECT_TRUE(containsExif(readBytes("photo_new.jpg"), payload));

    ASSERT_EQ(0, run({"--quiet", "--zoom", "2", "--suffix", "_big", path("photo.jpg")}, &err)) << err;
    EXPECT_FALSE(containsExif(readBytes("photo_big.jpg"), payload));
    Bitmap big;
    load(big, String(path("photo_big.jpg")), nullptr);
    EXPECT_EQ(48, big.width);
    EXPECT_EQ(32, big.height);
}

TEST_F(CliRun, OutputEqualsTheJobRunOnTheScaledPicture) {
    const Bitmap source = picture(21, 13, 8);
    write("src.png", source);
    std::string err;
    ASSERT_EQ(0, run({"--quiet", "--preset", "Photo 2x zoom", "--width", "30", "-o", path("out.png"), path("src.png")},
                     &err))
        << err;
    Bitmap fromCli;
    load(fromCli, String(path("out.png")), nullptr);

    const int32_t h = ProportionalSide(13, 30, 21);
    Bitmap scaled;
    ASSERT_TRUE(scaleBilinearClamped(source, 30, h, scaled));
    ProcessingJob job;
    job.submit(scaled, settingsFromOptions(findPreset("Photo 2x zoom")->options()));
    ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 1; }, 30000));
    Bitmap direct;
    job.collect(direct);

    ASSERT_EQ(direct.width, fromCli.width);
    ASSERT_EQ(direct.height, fromCli.height);
    for (size_t i = 0; i < direct.pixelCount(); ++i)
        ASSERT_EQ(direct.data[i], fromCli.data[i]) << "pixel " << i;
}

TEST_F(CliRun, TooLargeAFinalSizeIsAnErrorNotACrash) {
    write("a.png", picture(8, 8, 9));
    std::string err;
    EXPECT_EQ(1, run({"--quiet", "--size", "99999x99999", path("a.png")}, &err));
    EXPECT_NE(std::string::npos, err.find("Not enough memory"));
    EXPECT_FALSE(exists("a_new.png"));

    // 25000 times the preset's 4 is past the largest side; the product is
    // refused, not wrapped or cut.
    write("wide.png", picture(25000, 1, 9));
    EXPECT_EQ(1, run({"--quiet", "--preset", "Photo 4x zoom", path("wide.png")}, &err));
    EXPECT_NE(std::string::npos, err.find("would be 100000x4; each side must be 1 to 99999")) << err;
    EXPECT_FALSE(exists("wide_new.png"));
}

TEST_F(CliRun, InfoAndConvert) {
    Bitmap withAlpha = picture(5, 4, 10);
    withAlpha.at(1, 1) = packPixel(1, 2, 3, 100);
    write("alpha.png", withAlpha);
    write("opaque.bmp", picture(7, 3, 11));
    std::string out, err;
    EXPECT_EQ(0, run({"info", path("alpha.png"), path("opaque.bmp")}, &err, &out)) << err;
    EXPECT_EQ(path("alpha.png") + ": PNG 5x4 alpha\n" + path("opaque.bmp") + ": BMP 7x3 opaque\n", out);
    EXPECT_EQ(1, run({"info", path("nothing.png")}, &err, &out));

    EXPECT_EQ(0, run({"convert", path("opaque.bmp"), path("copy.png")}, &err)) << err;
    Bitmap copy;
    load(copy, String(path("copy.png")), nullptr);
    Bitmap original;
    load(original, String(path("opaque.bmp")), nullptr);
    ASSERT_EQ(original.pixelCount(), copy.pixelCount());
    for (size_t i = 0; i < copy.pixelCount(); ++i)
        EXPECT_EQ(original.data[i], copy.data[i]);
    EXPECT_EQ(1, run({"convert", path("opaque.bmp"), path("copy.png")}, &err));  // exists: not replaced
}
