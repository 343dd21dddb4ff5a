#include "cli_folder.h"

#include "core/bilinear_scale.h"
#include "engine/final_resolution.h"
#include "engine/presets.h"
#include "engine/processing_job.h"
#include "imagefile/image_file.h"
#include "platform/files.h"
#include "tests/imagefile/test_images.h"
#include "tests/support/failing_malloc.h"

#include "watchdog.h"

#include <gtest/gtest.h>

#include <regex>

#include <cstring>
#include <fstream>
#include <string>
#ifndef _WIN32
#include "platform/posix/save_seams.h"
#include "tests/support/child_process.h"

#include <sys/stat.h>
#endif

namespace {

class CliRun : public CliFolder {
protected:
    static std::string testData(const std::string& name) { return ReadFileBytes(VISTREL_TESTDATA_DIR "/" + name); }
    bool exists(const std::string& name) const { return FileExists(String(path(name))); }
};

}  // namespace

TEST_F(CliRun, WritesNextToEachInputWithPrefixAndSuffixInTheInputsFormat) {
    write("a.png", makePhoto(20, 16, 1));
    write("b.bmp", makePhoto(18, 12, 2));
    write("c.tga", makePhoto(9, 9, 3));
    EXPECT_EQ(0, run({"--quiet", path("a.png"), path("b.bmp"), path("c.tga")})) << log;
    for (const char* result : {"a_new.png", "b_new.bmp", "c_new.tga"}) EXPECT_TRUE(exists(result)) << result;
    EXPECT_EQ("", log);

    EXPECT_EQ(0, run({"--quiet", "--prefix", "x", "--suffix", "", path("a.png")}));
    EXPECT_TRUE(exists("xa.png"));
}

TEST_F(CliRun, NeverReplacesWithoutOverwrite) {
    write("a.png", makePhoto(12, 10, 4));
    writeBytes("a_new.png", "precious");
    EXPECT_TRUE(run({"--quiet", path("a.png")}) == 1 && logged("already exists")) << log;
    EXPECT_EQ("precious", readBytes("a_new.png"));

    // Replacing the inputs themselves needs --overwrite too.
    const std::string before = readBytes("a.png");
    EXPECT_TRUE(run({"--quiet", "--suffix", "", path("a.png")}) == 1 && logged("Refusing to replace the input")) << log;
    EXPECT_EQ(before, readBytes("a.png"));

    EXPECT_EQ(0, run({"--quiet", "--overwrite", path("a.png")})) << log;
    EXPECT_NE("precious", readBytes("a_new.png"));
}

// Unwritable types are refused before any work, with the reason; a failed write gives the system's, not "read-only".
TEST_F(CliRun, UnwritableTargetsAreRefusedUpFrontAndFailuresSayWhy) {
    write("a.png", makePhoto(12, 10, 5));
    writeBytes("a.wbmp", "old wbmp");
    EXPECT_EQ(1, run({"--auto", "--overwrite", "-o", path("a.wbmp"), path("a.png")}));
    EXPECT_EQ("Unable to save " + path("a.wbmp") + " (WBMP files hold black and white only, which this program does "
              "not write)\n", log);  // no estimate printed: the picture was never looked at
    EXPECT_EQ("old wbmp", readBytes("a.wbmp"));
    EXPECT_EQ(1, run({"--auto", "-o", path("a.xyz"), path("a.png")}));
    EXPECT_EQ("Unknown image format: " + path("a.xyz") + "\n", log);
    EXPECT_EQ(1, run({"--auto", "--width", "256", "-o", path("a.ico"), path("a.png")}));
    EXPECT_EQ("Unable to save " + path("a.ico") + " (an icon is at most 255 x 255 pixels)\n", log);
    EXPECT_FALSE(exists("a.ico"));
    EXPECT_EQ(0, run({"--quiet", "--width", "255", "-o", path("a.ico"), path("a.png")})) << log;

    EXPECT_EQ(1, run({"--quiet", "-o", path("nowhere/a.png"), path("a.png")}));
    EXPECT_TRUE(log.find("Unable to save " + path("nowhere/a.png") + " (") == 0 && !logged("read-only")) << log;
}

// No result may replace a file the run has yet to read, or another result; --before-after is a target like the others.
TEST_F(CliRun, NoResultReplacesAnInputOrAnotherResult) {
    write("a.png", makePhoto(12, 10, 5));
    write("a_new.png", makePhoto(12, 10, 6));
    write("other.png", makePhoto(8, 8, 7));
    const std::string a = readBytes("a.png"), aNew = readBytes("a_new.png"), other = readBytes("other.png");
    EXPECT_EQ(1, run({"--quiet", "--overwrite", path("a.png"), path("a_new.png")}));
    EXPECT_TRUE(logged("Refusing to write " + path("a_new.png") + ": it is " + path("a_new.png") +
                       ", another file of this run")) << log;
    EXPECT_TRUE(aNew == readBytes("a_new.png") && exists("a_new_new.png"));

    // One photo named twice is enhanced once.
    EXPECT_EQ(1, run({"--quiet", "--overwrite", "--suffix", "", path("other.png"), dir + "/./other.png"}));
    EXPECT_NE(std::string::npos, log.find("the result of " + path("other.png") + " goes there too")) << log;
    const std::string once = readBytes("other.png");
    EXPECT_NE(other, once);

    const std::pair<std::vector<std::string>, const char*> sideBySide[] = {
        {{"--overwrite", "--before-after", path("a.png"), "-o", path("x.png")}, "must name a file other than"},
        {{"--overwrite", "--before-after", path("x.png"), "-o", path("x.png")}, "must name a file other than"},
        {{"--before-after", path("other.png"), "-o", path("y.png")}, "already exists"}};
    for (const auto& [options, refusal] : sideBySide) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--quiet", path("a.png")});
        EXPECT_EQ(1, run(args));
        EXPECT_TRUE(logged(refusal)) << log;
    }
    EXPECT_EQ(std::pair(a, once), std::pair(readBytes("a.png"), readBytes("other.png")));
    EXPECT_FALSE(exists("x.png") || exists("y.png"));
    // One that fails only when written fails the run.
    EXPECT_EQ(1, run({"--quiet", "--before-after", dir + "/missing/b.png", "-o", path("z.png"), path("a.png")}));
    EXPECT_NE(std::string::npos, log.find("Unable to save " + dir + "/missing/b.png")) << log;
}

// Replacing an input in place with less than it holds needs --accept-loss; one --auto leaves as it is is not rewritten.
TEST_F(CliRun, InPlaceResultsKeepWhatTheirFileHolds) {
    writeBytes("deep.png", testData("formats/png/pngsuite/basn2c16.png"));
    writeBytes("pages.tif", testData("formats/tiff/image-tiff/seq/seq-1c-8b-multipage-adeefdcc.tiff"));  // 3 pages
    writeBytes("moving.gif", testData("formats/gif/image-gif/samples/beacon.gif"));  // 2 frames after control blocks
    for (const auto& [name, loss] : {std::pair{"deep.png", "16 bits per channel (the result keeps 8)"},
                                     {"pages.tif", "its other pages"}, {"moving.gif", "its other animation frames"}}) {
        const std::string before = readBytes(name);
        ASSERT_FALSE(before.empty());
        EXPECT_EQ(1, run({"--quiet", "--overwrite", "--suffix", "", path(name)}));
        EXPECT_TRUE(logged("Refusing to replace " + path(name) + " in place: the result would lose " + loss)) << log;
        EXPECT_EQ(before, readBytes(name));
        // Another name, or the explicit option, is fine.
        EXPECT_EQ(0, run({"--quiet", path(name)})) << log;
        EXPECT_EQ(0, run({"--quiet", "--overwrite", "--accept-loss", "--suffix", "", path(name)})) << log;
        EXPECT_NE(before, readBytes(name));
    }

    write("clean.jpg", cleanPicture());
    const std::string before = readBytes("clean.jpg");
    writeBytes("clean.jpg", before + "trailing bytes a rewrite would drop");
    EXPECT_EQ(0, run({"--auto", "--overwrite", "--suffix", "", path("clean.jpg")})) << log;
    EXPECT_TRUE(logged(path("clean.jpg") + " left as it was, not rewritten")) << log;
    EXPECT_EQ(before + "trailing bytes a rewrite would drop", readBytes("clean.jpg"));
}

#ifndef _WIN32
// Pipes and devices are refused at once, not waited on; an unreadable file is not "missing", and its name is taken.
TEST_F(CliRun, PipesAndUnreadableFilesAreToldApart) {
    ASSERT_EQ(0, mkfifo(path("pipe.png").c_str(), 0666));
    write("a.png", makePhoto(12, 10, 5));
    EXPECT_EQ(1, run({"--quiet", path("pipe.png")}));
    EXPECT_EQ("Error reading " + path("pipe.png") + " (not a regular file)\n", log);
    EXPECT_EQ(1, run({"--quiet", "--overwrite", "-o", path("pipe.png"), path("a.png")}));
    EXPECT_EQ("Unable to save " + path("pipe.png") + " (not a regular file)\n", log);

    // As "nobody": a file of mode 000 cannot be read; its name is taken.
    write("secret.png", makePhoto(12, 10, 6));
    write("b.png", makePhoto(12, 10, 7));
    ASSERT_EQ(0, chmod(path("secret.png").c_str(), 0));
    ASSERT_EQ(0, mkdir(path("locked").c_str(), 0555));
    ASSERT_EQ(0, chmod(dir.c_str(), 0777));
    const auto asNobody = [&] {
        const bool unreadable = run({"--quiet", path("secret.png")}) == 1 &&
                                log == "Error reading " + path("secret.png") + " (" + std::strerror(EACCES) + ")\n";
        const bool taken = run({"--quiet", "-o", path("secret.png"), path("b.png")}) == 1 &&
                           log.find("already exists") != std::string::npos;
        const bool denied = run({"--quiet", "-o", path("locked/b.png"), path("b.png")}) == 1 &&
                            log == "Unable to save " + path("locked/b.png") + " - check file isn't read-only (" +
                                        std::strerror(EACCES) + ")\n";
        return unreadable && taken && denied ? 0 : 1;
    };
    EXPECT_EQ(0, RunInChild(asNobody, true));
}

// A result that another program creates while this one works (a task run twice) is never replaced without --overwrite.
TEST_F(CliRun, AResultThatAppearsMeanwhileIsNeverReplaced) {
    write("a.png", makePhoto(12, 10, 5));
    static std::string intruder;
    intruder = path("a_new.png");
    save_seams::beforePublish = [](const char*) { std::ofstream(intruder) << "the other run's result"; };
    const int status = run({"--quiet", path("a.png")});
    save_seams::beforePublish = nullptr;
    EXPECT_EQ(1, status);
    EXPECT_EQ(intruder + " already exists (give --overwrite to replace it)\n", log);
    EXPECT_EQ("the other run's result", readBytes("a_new.png"));
}
#endif

// Each failing input is reported and the others done; half a file (a cut download) is an error, not a grey picture.
TEST_F(CliRun, MixedInputsReportEachFailureAndGoOn) {
    write("good.png", makePhoto(14, 11, 6));
    writeBytes("corrupt.png", "\x89PNG\r\n\x1a\n garbage, not a picture");
    writeBytes("odd.xyz", "whatever");
    write("whole.jpg", makePhoto(40, 30, 12));
    const std::string whole = readBytes("whole.jpg");
    writeBytes("half.jpg", whole.substr(0, whole.size() / 2));
    EXPECT_EQ(1, run({"--quiet", path("missing.png"), path("corrupt.png"), path("odd.xyz"), path("good.png")}));
    EXPECT_TRUE(logged("Couldn't find file " + path("missing.png")) && logged("Error reading " + path("corrupt.png")) &&
                logged("Unknown image format: " + path("odd.xyz"))) << log;
    EXPECT_TRUE(exists("good_new.png") && !exists("corrupt_new.png"));
    EXPECT_EQ(1, run({"--quiet", path("half.jpg")}));
    EXPECT_EQ("Error reading " + path("half.jpg") + "\n", log);
    EXPECT_FALSE(exists("half_new.jpg"));
}

// On a terminal a file's progress is one line redrawn in place: name, a bar of 30, percentage; its report replaces it.
TEST_F(CliRun, ATerminalShowsProgressOnOneLineThatTheReportReplaces) {
    write("a.png", makePhoto(160, 120, 3));
    EXPECT_EQ(1, run({"--noise-size", "50", path("a.png"), path("missing.png")}, true));
    const std::regex bar("\r\033\\[K\\[1/2\\] a\\.png \\[(#*)(-*)\\] (\\d+)%");
    int32_t bars = 0;
    for (std::sregex_iterator i(log.begin(), log.end(), bar), end; i != end; ++i, ++bars) {
        const int32_t percent = std::stoi((*i)[3]);
        EXPECT_EQ((*i)[1].length(), static_cast<size_t>(percent * 30 / 100)) << (*i)[0];
        EXPECT_EQ((*i)[1].length() + (*i)[2].length(), 30u);
    }
    EXPECT_GE(bars, 1) << log;
    const std::string reports = "\r\033[K[1/2] " + path("a.png") + " -> " + path("a_new.png") +
                                "\n\r\033[KCouldn't find file " + path("missing.png") + "\n";
    EXPECT_EQ(std::regex_replace(log, bar, ""), reports);
}

TEST_F(CliRun, OutputEqualsTheJobRunOnTheScaledPicture) {
    const Bitmap source = makePhoto(21, 13, 8);
    write("src.png", source);
    ASSERT_EQ(0, run({"--quiet", "--preset", "Photo 2x zoom", "--width", "30", "-o", path("out.png"), path("src.png")}))
        << log;

    Bitmap scaled, direct;
    ASSERT_TRUE(scaleBilinearClamped(source, 30, ProportionalSide(13, 30, 21), scaled));
    ProcessingJob job;
    job.submit(scaled, settingsFromOptions(findPreset("Photo 2x zoom")->options()));
    ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 1; }, 30000));
    job.collect(direct);

    EXPECT_TRUE(samePixels(direct, loaded("out.png")));
}

#if VISTREL_FAILING_MALLOC
// Wherever the program's own thread runs out of memory for a picture, the file fails with its reason: the program
// never waits for a run that could not start, and never reports a result it did not write.
TEST_F(CliRun, MemoryRunningOutForAPictureFailsTheFile) {
    write("a.png", makePhoto(100, 80, 5));
    for (long k = 0, made = 1; made > k - 1; ++k) {
        std::filesystem::remove(path("a_new.png"));
        FailAllocation(k, 30000);
        const int status = run({"--quiet", path("a.png")});
        made = FailAllocation(-1);
        EXPECT_EQ(std::pair(exists("a_new.png"), log.empty()), std::pair(status == 0, status == 0)) << k << log;
        EXPECT_TRUE(k > 0 || logged("(Cannot allocate memory)")) << log;  // the first is the file's bytes
    }
}
#endif

TEST_F(CliRun, TooLargeAFinalSizeIsAnErrorNotACrash) {
    write("a.png", makePhoto(8, 8, 9));
    EXPECT_EQ(1, run({"--quiet", "--size", "99999x99998", path("a.png")}));
    EXPECT_EQ("Not enough memory to enhance " + path("a.png") + " at 99999x99998\n", log);
    EXPECT_FALSE(exists("a_new.png"));

    // 25000 times the preset's 4 is past the largest side; the product is refused, not wrapped or cut.
    write("wide.png", makePhoto(25000, 1, 9));
    EXPECT_EQ(1, run({"--quiet", "--preset", "Photo 4x zoom", path("wide.png")}));
    EXPECT_NE(std::string::npos, log.find("would be 100000x4; each side must be 1 to 99999")) << log;
    EXPECT_FALSE(exists("wide_new.png"));
    EXPECT_EQ(0, run({"--quiet", "--size", "1x1", path("a.png")})) << log;  // the smallest there is
    EXPECT_EQ(loaded("a_new.png").bounds(), Rect(0, 0, 1, 1));
}

// A phone's portrait photo: upright in info and every result, its EXIF kept through a zoom, JPEGs at the quality asked.
TEST_F(CliRun, PhotosComeOutUprightWithTheirExifAtTheQualityAsked) {
    writeBytes("portrait.jpg", testData("photo/orientation_6.jpg"));
    EXPECT_EQ(0, run({"info", path("portrait.jpg")})) << log;
    EXPECT_EQ(path("portrait.jpg") + ": JPEG 24x16 opaque\n", printed);
    ASSERT_EQ(0, run({"--quiet", "--zoom", "2.5", "--quality", "50", "--suffix", "_big", path("portrait.jpg")})) << log;
    PhotoMetadata metadata;
    Bitmap big;
    load(big, String(path("portrait_big.jpg")), &metadata);
    EXPECT_EQ(std::tuple(60, 40, 1), std::tuple(big.width, big.height, metadata.orientation));
    EXPECT_NE(std::string::npos, readBytes("portrait_big.jpg").find("Test camera"));
    EXPECT_NEAR(50, jpegFileQuality(String(path("portrait_big.jpg"))), 1);
    ASSERT_EQ(0, run({"convert", path("portrait.jpg"), path("portrait.png")})) << log;
    load(big, String(path("portrait.png")), &metadata);
    EXPECT_TRUE(big.width == 24 && metadata.exif.length > 0) << big.width;  // upright, the EXIF kept
}

// LibRaw (OpenMP) and aom run threads of their own that ThreadSanitizer cannot follow, uninstrumented as they are.
#if VISTREL_PHOTO_FORMATS && !defined(__SANITIZE_THREAD__)
// A WebP saved as .jpg is named for what it holds; a camera RAW's result
// goes to a PNG beside it, upright; --quality reaches the new lossy writers.
TEST_F(CliRun, NewPhotoTypesInAndOut) {
    writeBytes("web.jpg", testData("photo/webp_named.jpg"));
    writeBytes("camera.dng", testData("photo/orientation_6.dng"));
    EXPECT_EQ(0, run({"info", path("web.jpg"), path("camera.dng")})) << log;
    EXPECT_EQ(path("web.jpg") + ": WebP 24x16 opaque\n" + path("camera.dng") + ": RAW 48x32 opaque\n", printed);
    ASSERT_EQ(0, run({"--quiet", "--suffix", "_new", path("camera.dng")})) << log;
    Bitmap result;
    EXPECT_EQ(ImageFilePng, load(result, String(path("camera_new.png")), nullptr));
    EXPECT_EQ(48, result.width);
    for (const std::string q : {"20", "95"})
        ASSERT_EQ(0, run({"convert", "--quality", q, path("web.jpg"), path(q + ".avif")})) << log;
    EXPECT_LT(readBytes("20.avif").size(), readBytes("95.avif").size());
}
#endif

TEST_F(CliRun, InfoAndConvert) {
    Bitmap withAlpha = makePhoto(5, 4, 10);
    withAlpha.at(1, 1) = packPixel(1, 2, 3, 100);
    write("alpha.png", withAlpha);
    write("opaque.bmp", makePhoto(7, 3, 11));
    EXPECT_EQ(0, run({"info", path("alpha.png"), path("opaque.bmp")})) << log;
    EXPECT_EQ(path("alpha.png") + ": PNG 5x4 alpha\n" + path("opaque.bmp") + ": BMP 7x3 opaque\n", printed);
    EXPECT_EQ(1, run({"info", path("nothing.png")}));

    EXPECT_EQ(0, run({"convert", path("opaque.bmp"), path("copy.png")})) << log;
    EXPECT_TRUE(samePixels(loaded("copy.png"), loaded("opaque.bmp")));
    EXPECT_EQ(1, run({"convert", path("opaque.bmp"), path("copy.png")}));  // exists: not replaced
    // Asking for help or the version is a success for scripts too.
    for (const char* ask : {"--help", "--version"}) EXPECT_TRUE(run({ask}) == 0 && !printed.empty()) << ask;
}
