// A person's session with the shipped program, step by step: start, open a
// photo, preview and apply a preset, save the result, run a batch of two,
// meet a damaged file, close the window. Everything goes through clicks and
// typing at the window's fixed layout positions and is checked on the
// screen and on disk.

#include "x_session.h"

#include "core/bilinear_scale.h"
#include "core/bilinear_weights.h"
#include "imagefile/image_file.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#ifndef VISTREL_PROGRAM
#error "VISTREL_PROGRAM must name the desktop program"
#endif

namespace {

using namespace x11;

constexpr uint32_t Background = 0x204020;  // the wizard's green
constexpr uint32_t BoxGrey = 0x202020;     // the options' boxes
constexpr uint32_t ViewGrey = 0xC0C0C0;    // an empty view

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        InitBilinearWeights();
        ASSERT_TRUE(session_.Start()) << session_.Error();
        work_ = session_.Folder() + "/photos";
        mkdir(work_.c_str(), 0755);
        mkdir(SCREENSHOT_DIR, 0755);
    }

    void TearDown() override { Stop(program_); }

    // A photo the test can enlarge: the bundled noisy sample, scaled so that
    // applying a preset takes long enough to watch the progress bar.
    std::string MakePhoto(const std::string& name, int width, int height) {
        Bitmap sample, scaled;
        load(sample, String(VISTREL_SOURCE_DIR "/Samples/coffee-noisy.png"), nullptr);
        EXPECT_FALSE(sample.isEmpty());
        EXPECT_TRUE(scaleBilinearClamped(sample, width, height, scaled));
        const std::string path = work_ + "/" + name;
        EXPECT_TRUE(save(scaled, String(path), 90, nullptr)) << path;
        return path;
    }

    void StartProgram() {
        program_ = Spawn({VISTREL_PROGRAM}, session_.Folder() + "/vistrel.log");
        window_ = session_.FindWindow("^Vistrel$");
        ASSERT_FALSE(window_.empty()) << "no main window";
        Geometry g = WindowGeometry(window_);
        // The client area is the bottom 800 x 600 of the window, below the
        // menu bar.
        originX_ = g.x;
        originY_ = g.y + g.height - 600;
    }

    void Click(int x, int y) {
        Xdotool("mousemove --sync " + std::to_string(originX_ + x) + " " + std::to_string(originY_ + y) +
                " click 1");
    }
    uint32_t Pixel(int x, int y) const { return session_.Pixels({{originX_ + x, originY_ + y}}).at(0); }
    bool WaitForPixel(int x, int y, bool equal, uint32_t colour) const {
        return WaitUntil([&] { return (Pixel(x, y) == colour) == equal; });
    }
    std::string Title() const { return Trim(Output("xdotool getwindowname " + window_)); }
    bool WaitForTitle(const std::string& title) const {
        return WaitUntil([&] { return Title() == title; });
    }
    void Shot(const std::string& name) const { session_.Screenshot(std::string(SCREENSHOT_DIR) + "/" + name); }

    // Types a path into the open or save dialog that has just appeared.
    void TypeIntoDialog(const std::string& title, const std::string& text, bool location) {
        std::string dialog = session_.FindWindow("^" + title + "$");
        ASSERT_FALSE(dialog.empty()) << "no " << title << " dialog";
        Xdotool("windowactivate --sync " + dialog);
        Xdotool(location ? "key --delay 100 ctrl+l" : "key --delay 100 ctrl+a");
        Xdotool("type --delay 10 '" + text + "'");
        Xdotool("key --delay 150 Return");
    }

    static Bitmap Load(const std::string& path) {
        Bitmap b;
        load(b, String(path), nullptr);
        return b;
    }

    Session session_;
    std::string work_, window_;
    pid_t program_ = 0;
    int originX_ = 0, originY_ = 0;
};

}  // namespace

TEST_F(EndToEnd, APersonUsesEveryStep) {
    const std::string photo = MakePhoto("coffee-large.png", 1800, 1200);
    mkdir((work_ + "/batch").c_str(), 0755);
    const std::string first = MakePhoto("batch/first.png", 160, 100);
    const std::string second = MakePhoto("batch/second.jpg", 120, 90);
    std::ofstream(work_ + "/broken.png") << "\x89PNG\r\n\x1a\n this is not a picture";

    // 1. Start: the main window with the About window over it.
    ASSERT_NO_FATAL_FAILURE(StartProgram());
    const std::string about = session_.FindWindow("^About Vistrel 1.3$");
    ASSERT_FALSE(about.empty()) << "no About window";
    Shot("1-start.png");
    Geometry a = WindowGeometry(about);
    Xdotool("mousemove --sync " + std::to_string(a.x + a.width - 65 + 12) + " " + std::to_string(a.y + 481 + 9) +
            " click 1");
    ASSERT_TRUE(WaitUntil([&] { return session_.FindWindow("^About Vistrel 1.3$", 0).empty(); }))
        << "the About window stayed open";
    // Step 1: the green page with the strip picture across it.
    EXPECT_TRUE(WaitForPixel(700, 60, true, Background));
    EXPECT_NE(Pixel(100, 250), Background);
    Shot("2-step1.png");

    // 2. Open: the title names the file, the options and the photo appear.
    Click(45, 44);
    ASSERT_NO_FATAL_FAILURE(TypeIntoDialog("Open", photo, true));
    ASSERT_TRUE(WaitForTitle("Vistrel - " + photo)) << Title();
    EXPECT_TRUE(WaitForPixel(11, 94, true, BoxGrey));   // preset box
    EXPECT_EQ(Pixel(11, 209), BoxGrey);                 // resolution box
    EXPECT_EQ(Pixel(11, 274), BoxGrey);                 // scale box
    const uint32_t middle = Pixel(555, 415);            // the view shows the photo
    EXPECT_NE(middle, ViewGrey);
    EXPECT_NE(middle, Background);
    Shot("3-options.png");

    // 3. "Phone camera noise", then "Preview": the view switches to the
    // preview and gains its toggle; then "Apply" with its progress bar.
    Click(60, 132);
    Click(60, 472);
    EXPECT_TRUE(WaitForPixel(342, 232, false, Background)) << "no view-mode toggle after the preview";
    Shot("4-preview.png");
    Click(60, 527);
    EXPECT_TRUE(WaitForPixel(127 + 30, 518 + 9, false, Background)) << "no progress bar";
    Shot("5-applying.png");
    ASSERT_TRUE(WaitForPixel(60, 582, false, Background)) << "no step 5";
    EXPECT_TRUE(WaitForPixel(127 + 30, 518 + 9, true, Background)) << "the progress bar stayed";
    Shot("6-result.png");

    // 4. "Save As...": a new name ending in .png.
    Click(170, 582);
    const std::string saved = work_ + "/coffee-clean.png";
    ASSERT_NO_FATAL_FAILURE(TypeIntoDialog("Save As", saved, false));
    ASSERT_TRUE(WaitUntil([&] { return FileExists(String(saved)); })) << saved;
    ASSERT_TRUE(WaitUntil([&] { return !Load(saved).isEmpty(); }));
    Bitmap result = Load(saved);
    EXPECT_EQ(result.width, 1800);
    EXPECT_EQ(result.height, 1200);

    // 5. Two files at once, with an append text of our own: both results
    // appear next to their inputs, in their formats.
    Click(45, 44);
    ASSERT_NO_FATAL_FAILURE(TypeIntoDialog("Open", work_ + "/batch/", true));
    Xdotool("key --delay 300 ctrl+a");
    Xdotool("key --delay 150 Return");
    ASSERT_TRUE(WaitUntil([&] { return Title().find("(1/2)") != std::string::npos; })) << Title();
    Click(300, 585);  // the append field, at its end
    Xdotool("key --delay 50 End BackSpace BackSpace BackSpace BackSpace");
    Xdotool("type --delay 30 _b");
    Xdotool("key --delay 100 Return");
    Click(60, 527);
    const std::string firstOut = work_ + "/batch/first_b.png", secondOut = work_ + "/batch/second_b.jpg";
    ASSERT_TRUE(WaitUntil([&] { return !Load(firstOut).isEmpty() && !Load(secondOut).isEmpty(); }))
        << "the batch did not write both results";
    EXPECT_EQ(Load(firstOut).width, 160);
    EXPECT_EQ(Load(secondOut).height, 90);
    Shot("7-batch.png");

    // 6. A damaged file: the message, dismissed with a key, and step 1 again.
    Click(45, 44);
    ASSERT_NO_FATAL_FAILURE(TypeIntoDialog("Open", work_ + "/broken.png", true));
    const std::string message = session_.FindWindow("^Vistrel$");
    ASSERT_FALSE(message.empty()) << "no message box";
    Shot("8-error.png");
    Xdotool("windowactivate --sync " + message);
    Xdotool("key --delay 100 Return");
    ASSERT_TRUE(WaitUntil([&] { return session_.FindWindow("^Vistrel$", 0).empty(); })) << "the message stayed";
    EXPECT_TRUE(WaitForPixel(11, 94, true, Background)) << "the options stayed after the failed load";
    EXPECT_EQ(Title(), "Vistrel - " + work_ + "/broken.png (Load failed)");
    Shot("9-after-error.png");

    // 7. Closing the window ends the program at once, with status 0.
    Xdotool("windowactivate --sync " + window_);
    const auto closing = std::chrono::steady_clock::now();
    Xdotool("key alt+F4");
    const int status = WaitForExit(program_, 5000);
    const auto took = std::chrono::steady_clock::now() - closing;
    EXPECT_EQ(status, 0);
    // The worker waits at most half a second between checks; a second is the
    // promise, the rest is slack for a loaded machine.
    EXPECT_LT(took, std::chrono::milliseconds(2000));
}
