#include "cli_app.h"
#include "cli_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

namespace {

bool parse(std::vector<std::string> args, CliOptions& o) { std::string error; return ParseCliOptions(args, o, error); }

}  // namespace

TEST(CliOptions, FinalResolutionForms) {
    CliOptions o;
    ASSERT_TRUE(parse({"--width", "10", "--height", "20", "x.png"}, o));
    EXPECT_TRUE(o.exactSize);
    ASSERT_TRUE(parse({"--zoom", "1000", "x.png"}, o) && parse({"--size", "99999x1", "x.png"}, o));  // the largest
    // After "--" every word names a file, even one that reads as an option.
    CliOptions words;
    ASSERT_TRUE(parse({"--amount", "5", "-", "--", "--width", "--"}, words));
    EXPECT_EQ((std::vector<std::string>{"-", "--width", "--"}), words.files);
}

// Every kind of usage error exits with status 2, names the fault and points at --help, before any file is touched.
TEST(CliOptions, EveryUsageErrorExitsWithStatus2) {
    std::vector<std::pair<std::vector<std::string>, const char*>> all = {
        {{}, "no input files"}, {{"--bogus", "x.png"}, "unknown option"},
        {{"--preset", "Fine", "x.png"}, "unknown preset"}, {{"--amount", "101", "x.png"}, "0 to 100"},
        {{"--amount", "", "x.png"}, "0 to 100"}, {{"--cutoff", "-1", "x.png"}, "0 to 100"},
        {{"--noise-size", "5x", "x.png"}, "0 to 100"}, {{"--scale", "some", "x.png"}, "original"},
        {{"--width", "0", "x.png"}, "1 to 99999"}, {{"--width", "100000", "x.png"}, "1 to 99999"},
        {{"--size", "100", "x.png"}, "WxH"}, {{"--size", "10x10", "--width", "5", "x.png"}, "cannot be combined"},
        {{"--zoom", "2", "--height", "5", "x.png"}, "cannot be combined"}, {{"--zoom", "0", "x.png"}, "factor above 0"},
        {{"--zoom", "nan", "x.png"}, "factor above 0"}, {{"--zoom", "1000.5", "x.png"}, "factor above 0"},
        {{"-o", "out.png", "a.png", "b.png"}, "one input"}, {{"--threads", "0", "x.png"}, "1 to 1024"},
        {{"--quality", "0", "x.png"}, "1 to 100"}, {{"--quality", "101", "x.png"}, "1 to 100"},
        {{"info"}, "at least one"}, {{"convert", "a.png"}, "input and an output"}};
    for (const char* option : {"--preset", "--noise-size", "--amount", "--cutoff", "--deblur", "--scale", "--width",
                               "--height", "--size", "--zoom", "-o", "--output", "--before-after", "--prefix",
                               "--suffix", "--quality", "--threads"})
        all.push_back({{"x.png", option}, "needs a value"});
    for (const auto& [args, message] : all) {
        std::ostringstream out, err;
        EXPECT_EQ(2, RunCli(args, out, err, false)) << message << " " << args.back();
        EXPECT_NE(std::string::npos, err.str().find(message)) << err.str();
        EXPECT_NE(std::string::npos, err.str().find("Try 'vistrel-cli --help'")) << err.str();
        EXPECT_TRUE(out.str().empty());
    }
}

TEST(CliOptions, ThreadsAreCappedAtFourPerCore) {
    // Asked for, cores, used; none asked means every core.
    for (const auto& [asked, cores, used] : {std::tuple{0, 2, 2}, {1, 2, 1}, {8, 2, 8}, {9, 2, 8}, {1024, 4, 16}})
        EXPECT_EQ(used, CliWorkerThreads(asked, cores)) << asked << " on " << cores << " cores";
}
