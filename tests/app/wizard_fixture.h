#pragma once

#include "app/about_panel.h"
#include "app/application.h"
#include "app/wizard_controller.h"
#include "core/bitmap.h"
#include "core/strings.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "ui/button.h"
#include "ui/edit_field.h"
#include "tests/support/file_bytes.h"
#include "tests/support/images.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

// Passes for driving the wizard without the real engine: the picture's colours are inverted, so a processed pixel is
// told from a source pixel. With the gate closed the pass reports progress one stage at a time, as the test opens it,
// and stays cancellable while it waits.
struct ScriptedPasses {
    static std::atomic<bool> gated;
    static std::atomic<int32_t> opened;  // stages the pass may pass
    static std::atomic<int32_t> runs;    // passes started
    static PassSequence Sequence();
    static void Reset() { gated = false; opened = 0; runs = 0; }
};

inline uint32_t Inverted(uint32_t p) { return p ^ 0x00FFFFFFu; }

inline String S(const std::string& s) { return String(s.c_str()); }

Bitmap Gradient(int32_t width, int32_t height);  // a picture whose every pixel differs from its neighbours
Bitmap Loaded(const std::string& path);  // a picture file as loaded (empty when it cannot be read)

// The whole program on the headless backend: window manager, resources, application, wizard and About window, with the
// program folder in a fresh temporary folder.
class WizardTest : public ::testing::Test {
protected:
    Watchdog watchdog_{"a wizard test", 60};  // declared first, so it also covers the job's destruction after TearDown
    virtual PassSequence Passes() { return ScriptedPasses::Sequence(); }
    void SetUp() override;
    void TearDown() override;

    void Frame();  // one pass of the frame loop
    void Frames(int32_t n) { for (int32_t i = 0; i < n; ++i) Frame(); }
    // Runs frames until the condition holds; false after ten seconds.
    template <typename Condition>
    bool FramesUntil(Condition done) { return eventually([&] { Frame(); return done(); }, 10000); }
    // Until the worker has taken what it was last given (a load cancels).
    void WorkerSettles() {
        EXPECT_TRUE(FramesUntil([&] {
            return wizard->job.requestPending.load() == 0 && wizard->job.state.load() != WorkerRestart;
        })) << "the worker did not take its request";
    }
    void RunUntilIdle() {
        EXPECT_TRUE(FramesUntil([&] {
            return wizard->jobMode == JobIdle && wizard->batchIndex < 0 && !wizard->job.resultReady.load();
        })) << "the job did not finish";
    }
    // Starts a run with the button; its pass waits at the gate until OpenGate.
    void StartGated(const Widget* button) {
        ScriptedPasses::gated = true;
        ClickWidget(button);
        EXPECT_TRUE(FramesUntil([] { return ScriptedPasses::runs.load() == 1; })) << "the pass did not start";
    }
    void OpenGate() { ScriptedPasses::opened = 3; RunUntilIdle(); }
    // Queues the answers to the questions to come, then runs "Apply" to its end.
    void Apply(std::initializer_list<bool> answers = {}) {
        for (const bool yes : answers) headless::QueueMessageBoxAnswer(yes);
        ClickWidget(wizard->applyButton);
        RunUntilIdle();
    }
    void MoveTo(int32_t x, int32_t y);
    void ClickAt(int32_t x, int32_t y);  // press and release, then the frames that see them
    void ClickWidget(const Widget* widget);
    // Replaces an edit field's text as a user would: click, erase, type, enter.
    void TypeInto(const Widget* field, const char* text, bool enter = true);

    // In the folder, joined with the system's separator as its own paths are.
    std::string Path(const char* name) const { return (std::filesystem::path(folder) / name).string(); }
    bool Exists(const char* name) const { return std::filesystem::exists(Path(name)); }
    std::string WriteImage(const char* name, const Bitmap& picture);  // writes a picture by the name's extension
    void WriteText(const char* name, const std::string& bytes) { WriteFileBytes(Path(name), bytes); }
    // Answers the next Open dialog with these paths and chooses "Open".
    void OpenPaths(const std::vector<std::string>& paths);
    // Opens one file and shows its processed picture, as after "Apply".
    void OpenAndApply(const std::string& path) {
        OpenPaths({path});
        ASSERT_TRUE(wizard->optionsPresent);
        wizard->StartProcessing(StartApply);
        RunUntilIdle();
    }
    const headless::MessageBoxRecord* LastMessage() const {
        return headless::MessageBoxes().empty() ? nullptr : &headless::MessageBoxes().back();
    }
    // The last message box's text (empty when there is none).
    std::string LastText() const { return LastMessage() ? LastMessage()->request.text.str() : std::string(); }
    int32_t MessageCount() const { return static_cast<int32_t>(headless::MessageBoxes().size()); }

    // The final size fields as they show, "width x height".
    std::string Sizes() const {
        return wizard->widthField->committedText.str() + " x " + wizard->heightField->committedText.str();
    }
    // The noise size, amount, cutoff and deblur sliders.
    std::array<Slider*, 4> Sliders() const {
        return {wizard->noiseSizeSlider, wizard->amountSlider, wizard->cutoffSlider, wizard->deblurSlider};
    }

    std::string folder;  // the program folder, without its trailing "/"
    WizardController* wizard = nullptr;
};
