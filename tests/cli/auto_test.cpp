#include "cli_folder.h"

#include "core/bilinear_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

namespace {

class CliAuto : public CliFolder {
protected:
    void SetUp() override {
        CliFolder::SetUp();
        // Soft shapes with noise of deviation about 12, drawn in row order.
        uint32_t s = 12345;
        write("in.png", generated(72, 56, [&s](int32_t x, int32_t y) {
            int32_t noise = 0;
            for (int i = 0; i < 4; ++i) {
                s = s * 1664525u + 1013904223u;
                noise += static_cast<int32_t>((s >> 24) % 21) - 10;
            }
            const int32_t v = 60 + x + (((x / 12) + (y / 12)) % 2) * 50 + noise;
            return packPixel(std::clamp(v + 20, 0, 255), std::clamp(v, 0, 255), std::clamp(v - 30, 0, 255));
        }));
    }
    // The slider options of the line --auto printed.
    std::vector<std::string> printedSliders() const {
        std::smatch m;
        const std::regex line("noise size (\\d+), amount (\\d+), cutoff (\\d+), deblur (\\d+), scale (\\w+)");
        if (!std::regex_search(log, m, line)) return {};
        return {"--noise-size", m[1], "--amount", m[2], "--cutoff", m[3], "--deblur", m[4], "--scale", m[5]};
    }
};

// Also across thread counts: the estimate and the choice do not depend on them.
TEST_F(CliAuto, OutputEqualsARunWithThePrintedSliders) {
    ASSERT_EQ(0, run({"--auto", "--threads", "3", "-o", path("auto.png"), path("in.png")}));
    EXPECT_TRUE(logged(path("in.png") + ": noise \u03c3\u2248")) << log;
    std::vector<std::string> args = printedSliders();
    ASSERT_FALSE(args.empty()) << log;
    std::smatch sigma;
    ASSERT_TRUE(std::regex_search(log, sigma, std::regex("\u03c3\u2248([0-9.]+)")));
    EXPECT_GT(std::stod(sigma[1]), 8.0) << "the noise of the picture is seen: " << log;
    std::smatch level;  // the channels share their noise, as fine as single pixels: the level is luma there
    ASSERT_TRUE(std::regex_search(log, level, std::regex("luma ([0-9.]+)/.*camera-like, level ([0-9.]+)"))) << log;
    EXPECT_NEAR(std::stod(level[1]), std::stod(level[2]), 0.05) << log;
    args.insert(args.end(), {"--threads", "1", "-o", path("explicit.png"), path("in.png")});
    ASSERT_EQ(0, run(args));
    EXPECT_EQ(readBytes("auto.png"), readBytes("explicit.png"));
}

TEST_F(CliAuto, JpegInputsReportTheirQuality) {
    ASSERT_TRUE(save(loaded("in.png"), String(path("in.jpg")), 20, nullptr));
    ASSERT_EQ(0, run({"--auto", "-o", path("out.png"), path("in.jpg")}));
    std::smatch quality;
    ASSERT_TRUE(std::regex_search(log, quality, std::regex("JPEG quality\u2248(\\d+) ->"))) << log;
    EXPECT_NEAR(std::stoi(quality[1]), 20, 5);
}

TEST_F(CliAuto, ExplicitSlidersOverrideTheChosenOnes) {
    ASSERT_EQ(0, run({"--auto", "--quiet", "-o", path("plain.png"), path("in.png")}));
    EXPECT_EQ("", log);
    ASSERT_EQ(0, run({"--auto", "-o", path("plain.png"), "--overwrite", path("in.png")}));
    const std::vector<std::string> chosen = printedSliders();
    ASSERT_EQ(0, run({"--auto", "--amount", "7", "--scale", "all", "-o", path("over.png"), path("in.png")}));
    std::vector<std::string> shown = printedSliders();
    ASSERT_EQ(10u, shown.size()) << log;
    EXPECT_EQ((std::vector<std::string>{chosen.at(1), "7", chosen.at(5), "all"}),
              (std::vector<std::string>{shown[1], shown[3], shown[5], shown[9]}));
    shown.insert(shown.end(), {"-o", path("explicit.png"), path("in.png")});
    ASSERT_EQ(0, run(shown));
    EXPECT_EQ(readBytes("over.png"), readBytes("explicit.png"));
    EXPECT_EQ(2, run({"--auto", "--preset", "Phone camera noise", path("in.png")}));
}

// A picture with nothing worth removing is saved as convert would, or only resized; slider options still want a pass.
TEST_F(CliAuto, CleanPicturesAreLeftAsTheyAre) {
    const Bitmap clean = cleanPicture();
    write("clean.png", clean);
    ASSERT_EQ(0, run({"--auto", "-o", path("auto.png"), path("clean.png")}));
    EXPECT_TRUE(logged(" -> left as it is\n")) << log;
    ASSERT_EQ(0, run({"convert", path("clean.png"), path("copy.png")}));
    EXPECT_EQ(readBytes("auto.png"), readBytes("copy.png"));

    ASSERT_EQ(0, run({"--auto", "--width", "32", "--before-after", path("both.png"), "-o", path("small.png"),
                      path("clean.png")}));
    Bitmap expected;
    ASSERT_TRUE(scaleBilinearClamped(clean, 32, 24, expected));
    EXPECT_TRUE(samePixels(loaded("small.png"), expected));
    EXPECT_EQ(32, loaded("both.png").width);
    // The height alone gives the width in proportion, as the width gives the height.
    ASSERT_EQ(0, run({"--auto", "--height", "24", "-o", path("by-height.png"), path("clean.png")}));
    EXPECT_EQ(readBytes("small.png"), readBytes("by-height.png"));

    // Each slider option alone asks for the pass and shows in the shown line.
    const char* opt[] = {"--noise-size", "60", "--amount", "50", "--cutoff", "40", "--deblur", "30", "--scale", "all"};
    for (size_t at = 1; at < 10; at += 2) {
        SCOPED_TRACE(opt[at - 1]);
        ASSERT_EQ(0, run({"--auto", opt[at - 1], opt[at], "-o", path("over.png"), "--overwrite", path("clean.png")}));
        std::vector<std::string> shown = printedSliders();
        ASSERT_EQ(10u, shown.size()) << log;
        EXPECT_EQ(opt[at], shown[at]);
        EXPECT_TRUE(at == 1 || shown[1] == "0") << shown[1];  // nothing to remove: the chosen noise size
        shown.insert(shown.end(), {"-o", path("explicit.png"), "--overwrite", path("clean.png")});
        ASSERT_EQ(0, run(shown));
        EXPECT_EQ(readBytes("over.png"), readBytes("explicit.png"));
        EXPECT_TRUE(at != 3 || readBytes("over.png") != readBytes("auto.png"));
    }
}

TEST_F(CliAuto, BeforeAfterJoinsTheSourceAndTheResult) {
    ASSERT_EQ(0, run({"--auto", "--quiet", "--before-after", path("both.png"), "-o", path("out.png"), path("in.png")}));
    const Bitmap source = loaded("in.png"), result = loaded("out.png"), both = loaded("both.png");
    ASSERT_EQ(source.bounds(), both.bounds());
    const int32_t split = both.width / 2;
    EXPECT_TRUE(samePixels(both, generated(both.width, both.height, [&](int32_t x, int32_t y) {
        return x < split ? source.at(x, y) : x == split ? packPixel(255, 255, 255) : result.at(x, y);
    })));
    EXPECT_EQ(2, run({"--before-after", path("b.png"), path("in.png"), path("out.png")}));
}

}  // namespace
