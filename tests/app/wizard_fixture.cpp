#include "wizard_fixture.h"

#include "core/bilinear_weights.h"
#include "imagefile/image_file.h"
#include "platform/main_loop.h"
#include "platform/program_folder.h"
#include "platform/window_manager.h"
#include "tests/support/scratch_folder.h"

#include <chrono>
#include <cstdlib>
#include <thread>

std::atomic<bool> ScriptedPasses::gated{false};
std::atomic<int32_t> ScriptedPasses::opened{0};
std::atomic<int32_t> ScriptedPasses::runs{0};

namespace {

constexpr int32_t GateStages = 3;

void InvertingDenoise(ProcessingJob& job, int32_t, const PassParams&, MatchCountMap*) {
    ScriptedPasses::runs.fetch_add(1);
    if (ScriptedPasses::gated.load()) {
        for (int32_t stage = 1; stage <= GateStages; ++stage) {
            while (ScriptedPasses::opened.load() < stage) {
                job.checkCancel();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            job.checkCancel();
            job.setSubProgress(stage * 30);
        }
    }
    Bitmap& picture = job.workingImage;
    for (size_t i = 0; i < picture.pixelCount(); ++i) picture.data[i] = Inverted(picture.data[i]);
}

}  // namespace

PassSequence ScriptedPasses::Sequence() { return PassSequence{InvertingDenoise, nullptr}; }

Bitmap Gradient(int32_t width, int32_t height) {
    return generated(width, height, [](int32_t x, int32_t y) {
        return packPixel(static_cast<uint32_t>(x * 7 + y) & 255, static_cast<uint32_t>(y * 5 + x) & 255,
                         static_cast<uint32_t>((x >> 8) * 16 + (y >> 8) + x * y) & 255);
    });
}

Bitmap Loaded(const std::string& path) { Bitmap b; load(b, S(path), nullptr); return b; }

void WizardTest::SetUp() {
    InitBilinearWeights();
    headless::Reset();
    ScriptedPasses::Reset();
#ifndef _WIN32
    unsetenv("BROWSER");  // help pages then go to the desktop's handler
#endif
    folder = MakeScratchFolder("vistrel-app");
    ASSERT_FALSE(folder.empty());
    ProgramFolder = String((folder + PathSeparator).c_str());
    ResetFirstOpen();
    TheWindowManager = new WindowManager;
    ASSERT_TRUE(TheWindowManager->IsReady());
    SetMenuCommandHandler(VistrelApplication().command);
    SetDroppedFilesHandler(VistrelApplication().filesDropped);
    StartApplication(Passes());
    ASSERT_NE(TheApplication, nullptr);
    wizard = TheApplication->wizard;
    ASSERT_NE(wizard, nullptr);
    headless::Activate(wizard);
    Frame();
}

void WizardTest::TearDown() {
    StopApplication();
    SetMenuCommandHandler(nullptr);
    SetDroppedFilesHandler(nullptr);
    delete TheWindowManager;
    TheWindowManager = nullptr;
    headless::Reset();
    ProgramFolder.Empty();
    RemoveScratchFolder(folder);
}

void WizardTest::Frame() { WalkWindows(); DrainMessages(); }
void WizardTest::MoveTo(int32_t x, int32_t y) { headless::MoveMouse(*wizard, x, y); Frame(); }
void WizardTest::ClickAt(int32_t x, int32_t y) { headless::Click(*wizard, x, y); Frames(2); }

void WizardTest::ClickWidget(const Widget* widget) {
    ASSERT_NE(widget, nullptr);
    ClickAt(widget->bounds.left() + widget->bounds.width() / 2, widget->bounds.top() + widget->bounds.height() / 2);
}

void WizardTest::TypeInto(const Widget* field, const char* text, bool enter) {
    ClickWidget(field);
    headless::KeyPress(*wizard, NativeKey::End);
    for (int32_t i = 0; i < 8; ++i) headless::KeyPress(*wizard, NativeKey::Other, 8);
    headless::TypeText(*wizard, text);
    if (enter) headless::KeyPress(*wizard, NativeKey::Other, 13);
    Frame();
}

std::string WizardTest::WriteImage(const char* name, const Bitmap& picture) {
    const std::string path = Path(name);
    EXPECT_TRUE(save(picture, String(path.c_str()), 90, nullptr)) << path;
    return path;
}

void WizardTest::OpenPaths(const std::vector<std::string>& paths) {
    headless::QueueFileDialogAnswer({true, {paths.begin(), paths.end()}});
    ASSERT_TRUE(headless::ChooseMenu(101));
    Frame();
    WorkerSettles();
}
