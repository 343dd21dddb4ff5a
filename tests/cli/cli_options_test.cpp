#include "cli_options.h"

#include "engine/presets.h"

#include <gtest/gtest.h>

namespace {

bool parse(std::vector<std::string> args, CliOptions& o, std::string* error = nullptr) {
    std::string e;
    bool ok = ParseCliOptions(args, o, e);
    if (error)
        *error = e;
    return ok;
}

bool rejects(std::vector<std::string> args, const char* expectedPart) {
    CliOptions o;
    std::string e;
    if (parse(std::move(args), o, &e))
        return false;
    EXPECT_NE(std::string::npos, e.find(expectedPart)) << e;
    return true;
}

}  // namespace

TEST(CliOptions, DefaultsAreTheFirstPresetWithSuffixNew) {
    CliOptions o;
    ASSERT_TRUE(parse({"a.jpg", "b.png"}, o));
    EXPECT_EQ(CliOptions::Command::Enhance, o.command);
    EXPECT_EQ("Fine digicam noise", o.presetName);
    EXPECT_EQ(1, o.presetFactor);
    EXPECT_EQ("_new", o.suffix);
    EXPECT_EQ("", o.prefix);
    EXPECT_FALSE(o.overwrite);
    ASSERT_EQ(2u, o.files.size());
    EXPECT_EQ(25, o.sliders.noiseSize);
    EXPECT_EQ(0, o.sliders.scaleChoice);
}

TEST(CliOptions, PresetsSetTheWizardsSlidersAndOverridesWin) {
    for (const Preset& p : Presets) {
        CliOptions o;
        std::string lower = p.name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        ASSERT_TRUE(parse({"--preset", lower, "x.png"}, o)) << p.name;
        EXPECT_EQ(p.name, o.presetName);
        EXPECT_EQ(p.factor, o.presetFactor);
        EngineSettings fromCli = settingsFromOptions(o.sliders);
        EngineSettings fromWizard = settingsFromOptions(p.options());
        EXPECT_EQ(fromWizard.pass1.maxMatchesFine, fromCli.pass1.maxMatchesFine);
        EXPECT_EQ(fromWizard.pass1.cutoff, fromCli.pass1.cutoff);
        EXPECT_EQ(fromWizard.pass1.scaleMode, fromCli.pass1.scaleMode);
        EXPECT_EQ(fromWizard.deblur.enabled, fromCli.deblur.enabled);
        EXPECT_EQ(fromWizard.deblur.amountMax, fromCli.deblur.amountMax);
    }
    CliOptions o;
    ASSERT_TRUE(parse({"--preset", "Photo 4x zoom", "--amount", "80", "--deblur", "0", "--scale", "original",
                       "x.png"},
                      o));
    EXPECT_EQ(70, o.sliders.noiseSize);
    EXPECT_EQ(80, o.sliders.denoiseAmount);
    EXPECT_EQ(0, o.sliders.deblurAmount);
    EXPECT_EQ(0, o.sliders.scaleChoice);
    EXPECT_EQ(4, o.presetFactor);
}

TEST(CliOptions, FinalResolutionForms) {
    CliOptions o;
    ASSERT_TRUE(parse({"--width", "1000", "x.png"}, o));
    EXPECT_EQ(1000, o.width);
    EXPECT_FALSE(o.exactSize);
    ASSERT_TRUE(parse({"--width", "10", "--height", "20", "x.png"}, o));
    EXPECT_TRUE(o.exactSize);
    ASSERT_TRUE(parse({"--size", "640x480", "x.png"}, o));
    EXPECT_EQ(640, o.width);
    EXPECT_EQ(480, o.height);
    EXPECT_TRUE(o.exactSize);
    ASSERT_TRUE(parse({"--zoom", "2.5", "x.png"}, o));
    EXPECT_EQ(2.5f, o.zoom);
    ASSERT_TRUE(parse({"--size", "99999x1", "x.png"}, o));
}

TEST(CliOptions, UsageErrors) {
    EXPECT_TRUE(rejects({}, "no input files"));
    EXPECT_TRUE(rejects({"--bogus", "x.png"}, "unknown option"));
    EXPECT_TRUE(rejects({"x.png", "--preset"}, "needs a value"));
    EXPECT_TRUE(rejects({"--preset", "Fine", "x.png"}, "unknown preset"));
    EXPECT_TRUE(rejects({"--amount", "101", "x.png"}, "0 to 100"));
    EXPECT_TRUE(rejects({"--cutoff", "-1", "x.png"}, "0 to 100"));
    EXPECT_TRUE(rejects({"--noise-size", "5x", "x.png"}, "0 to 100"));
    EXPECT_TRUE(rejects({"--scale", "some", "x.png"}, "original"));
    EXPECT_TRUE(rejects({"--width", "0", "x.png"}, "1 to 99999"));
    EXPECT_TRUE(rejects({"--width", "100000", "x.png"}, "1 to 99999"));
    EXPECT_TRUE(rejects({"--size", "100", "x.png"}, "WxH"));
    EXPECT_TRUE(rejects({"--size", "10x10", "--width", "5", "x.png"}, "cannot be combined"));
    EXPECT_TRUE(rejects({"--zoom", "2", "--height", "5", "x.png"}, "cannot be combined"));
    EXPECT_TRUE(rejects({"--zoom", "0", "x.png"}, "factor above 0"));
    EXPECT_TRUE(rejects({"--zoom", "nan", "x.png"}, "factor above 0"));
    EXPECT_TRUE(rejects({"-o", "out.png", "a.png", "b.png"}, "one input"));
    EXPECT_TRUE(rejects({"--threads", "0", "x.png"}, "1 to 1024"));
    EXPECT_TRUE(rejects({"info"}, "at least one"));
    EXPECT_TRUE(rejects({"convert", "a.png"}, "input and an output"));
}

TEST(CliOptions, SubcommandsAndFilesAfterDoubleDash) {
    CliOptions o;
    ASSERT_TRUE(parse({"info", "a.png", "b.jpg"}, o));
    EXPECT_EQ(CliOptions::Command::Info, o.command);
    EXPECT_EQ(2u, o.files.size());
    ASSERT_TRUE(parse({"convert", "a.png", "b.bmp"}, o));
    EXPECT_EQ(CliOptions::Command::Convert, o.command);
    ASSERT_TRUE(parse({"--", "--odd-name.png"}, o));
    ASSERT_EQ(1u, o.files.size());
    EXPECT_EQ("--odd-name.png", o.files[0]);
    ASSERT_TRUE(parse({"--version"}, o));
    EXPECT_EQ(CliOptions::Command::Version, o.command);
}
