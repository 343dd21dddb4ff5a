#include "wizard_fixture.h"

#include "ui/button_face.h"
#include "ui/slider.h"
#include "tests/support/failing_malloc.h"

class ProcessingTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        OpenPaths({WriteImage("photo.png", picture)});
        ASSERT_TRUE(wizard->optionsPresent);
    }

    Bitmap picture = Gradient(600, 400);
};

// The window's fingerprints with the photo open and after the run (and, in another test, at the first step) were
// recorded from screens looked at: a difference wants a look at the screen before new values are recorded.
TEST_F(ProcessingTest, ApplyOffersSavingUntilTheNextRun) {
    const uint64_t opened = hashImage(headless::Screen(*wizard));
    EXPECT_FALSE(headless::LogoutInhibited());
    ClickWidget(wizard->applyButton);
    EXPECT_EQ(wizard->jobMode, JobApplying);
    EXPECT_TRUE(headless::LogoutInhibited());  // a run holds the session open
    EXPECT_EQ(wizard->progressBar->Position().x, wizard->applyButton->bounds.left() + 112);
    EXPECT_FALSE(headless::MenuItemEnabled(102));
    RunUntilIdle();
    EXPECT_FALSE(headless::LogoutInhibited());
    ASSERT_EQ(wizard->resultKind, ResultFull);
    EXPECT_EQ(std::pair(opened, hashImage(headless::Screen(*wizard))),
              (std::pair<uint64_t, uint64_t>(0x506cafa309baa6f0, 0x637ee1c61523b878)));  // step 5 and the result shown
    EXPECT_EQ(wizard->result.Level(0).at(0, 0), Inverted(picture.at(0, 0)));
    EXPECT_TRUE(headless::MenuItemEnabled(102) && headless::MenuItemEnabled(103));
    // The toggle shows the source again, and then the result.
    for (const char* shown : {"Original", "Result"}) {
        ClickWidget(wizard->viewToggle);
        EXPECT_EQ(wizard->viewModeLabel->text, shown);
    }
    EXPECT_TRUE(headless::FileDialogs().empty() || !headless::FileDialogs().back().save);  // only its button saves

    ClickWidget(wizard->previewButton);
    EXPECT_EQ(wizard->viewMode, ViewSource);  // the source shows while the preview runs
    EXPECT_TRUE(wizard->step5Widgets.empty() && wizard->viewToggle == nullptr);
    EXPECT_FALSE(headless::MenuItemEnabled(102) || headless::MenuItemEnabled(103));
    RunUntilIdle();
    EXPECT_TRUE(wizard->step5Widgets.empty());  // a preview offers no saving
    EXPECT_FALSE(headless::MenuItemEnabled(102));
    ASSERT_NE(wizard->viewToggle, nullptr);
    OpenPaths({WriteImage("other.png", Gradient(30, 20))});  // the result goes with its photo
    EXPECT_EQ(wizard->viewToggle, nullptr);
}

TEST_F(ProcessingTest, TwoQuickPreviewsGiveOneResult) {
    StartGated(wizard->previewButton);
    wizard->centreX = wizard->centreY = 100;  // the second request differs from the first
    ClickWidget(wizard->previewButton);
    EXPECT_EQ(wizard->previewRect, Rect(0, 0, 325, 265));
    OpenGate();
    Frames(30);
    EXPECT_EQ(std::pair(wizard->resultsCollected, wizard->resultKind), (std::pair<int32_t, int32_t>(1, ResultPreview)));
    EXPECT_EQ(wizard->result.Level(0).at(324, 264), Inverted(picture.at(324, 264)));
    EXPECT_EQ(wizard->result.Level(0).at(325, 100), packPixel(255, 255, 255));
    EXPECT_EQ(std::pair(wizard->centreX, wizard->centreY), std::pair(162.0f, 132.0f));  // the result's middle
}

TEST_F(ProcessingTest, ApplyWhilePreviewingGivesTheFullResult) {
    StartGated(wizard->previewButton);
    ClickWidget(wizard->applyButton);
    OpenGate();
    EXPECT_EQ(std::pair(wizard->resultsCollected, wizard->resultKind), (std::pair<int32_t, int32_t>(1, ResultFull)));
    EXPECT_EQ(wizard->result.Level(0).at(0, 0), Inverted(picture.at(0, 0)));
}

TEST_F(ProcessingTest, AChangedResolutionScalesTheSourceFirst) {
    ClickWidget(wizard->presetButtons[1]);  // "Photo 2x zoom": 30, 50, 50, 20
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(Sliders()[i]->value, (std::array{30, 50, 50, 20})[i]) << "slider " << i;
    ClickWidget(wizard->applyButton);
    EXPECT_EQ(std::pair(wizard->display.BaseSize().width, wizard->display.BaseSize().height), std::pair(1200, 800));
    EXPECT_EQ(std::pair(wizard->centreX, wizard->centreY), std::pair(600.0f, 400.0f));  // the centre follows the scale
    RunUntilIdle();
    ASSERT_EQ(wizard->result.BaseSize().width, 1200);
    // Pixel (2x, 2y) samples the source at (x, y) exactly.
    EXPECT_EQ(wizard->result.Level(0).at(2 * 37, 2 * 21), Inverted(picture.at(37, 21)));
}

TEST_F(ProcessingTest, AnotherPhotoOpenedMidRunTakesTheRunsWidgetsAway) {
    StartGated(wizard->applyButton);
    ASSERT_NE(wizard->progressBar, nullptr);
    OpenPaths({WriteImage("other.png", Gradient(30, 20))});
    EXPECT_TRUE(wizard->source.width == 30 && wizard->progressBar == nullptr);
    OpenGate();
    EXPECT_EQ(wizard->viewModeLabel->text, "Original");
}

// The bar is drawn again only for a new percentage, with the file's place in a batch beside it.
TEST_F(ProcessingTest, TheProgressBarShowsEachNewPercentageAndTheBatchPlace) {
    const std::string a = WriteImage("a.png", Gradient(10, 8)), b = WriteImage("b.png", Gradient(12, 8));
    for (const char* place : {"", " (1/2)"}) {
        if (*place) OpenPaths({a, b});
        ScriptedPasses::Reset();
        StartGated(wizard->applyButton);
        ASSERT_NE(wizard->progressBar, nullptr);
        const int32_t renders = wizard->progressRenders;
        Frames(3);
        EXPECT_EQ(wizard->progressRenders, renders);
        ScriptedPasses::opened = 1;
        ASSERT_TRUE(FramesUntil([&] { return wizard->progressShown > 0; }));
        const int32_t percent = wizard->progressShown;
        Bitmap expected;
        RenderButtonFace(FaceNormal, expected, nullptr, (std::to_string(percent) + "%" + place).c_str(), 107, -1, true,
                         percent);
        EXPECT_EQ(hashImage(wizard->progressPicture), hashImage(expected)) << place;
        EXPECT_EQ(wizard->progressRenders, renders + 1);
        OpenGate();
    }
}

#if VISTREL_FAILING_MALLOC
// Wherever memory runs out as a preview replaces an apply (each allocation until the view is lost, then each of a
// picture's size), the bar shows while a run goes on: the apply when the preview could not be scaled, the preview,
// or none when the view or the run's copy could not be made, which is reported. The apply's result is never taken
// for the preview's.
TEST_F(ProcessingTest, MemoryRunningOutLeavesNeitherAStaleBarNorAStalePicture) {
    for (const size_t atLeast : {size_t{200000}, size_t{0}}) {
        for (long k = 0, made = 1; made > k - 1 && !wizard->display.IsEmpty(); ++k) {
            ScriptedPasses::Reset();
            StartGated(wizard->applyButton);
            const int32_t messages = MessageCount();
            FailAllocation(k, atLeast);
            const bool started = wizard->StartProcessing(StartPreview);
            made = FailAllocation(-1);
            const bool running = wizard->progressBar != nullptr;
            OpenGate();
            EXPECT_EQ(wizard->resultKind, !running ? ResultNone : started ? ResultPreview : ResultFull) << k;
            EXPECT_EQ(MessageCount(), messages + (started && running ? 0 : 1)) << k;
            // Where nothing runs, the apply was called off before it could reach its percentages.
            EXPECT_TRUE(running || FramesUntil([&] { return wizard->job.percent.load() == 0; })) << k;
        }
    }
    EXPECT_EQ(LastText(), "There is not enough memory to process the image at 600x400 pixels. Please choose a "
                          "smaller final resolution.");
    EXPECT_TRUE(wizard->display.IsEmpty());
    // A new picture whose copy for the view cannot be made shows an even grey rather than the picture before.
    OpenPaths({WriteImage("other.png", picture)});
    Bitmap next = Gradient(8, 6);
    FailAllocation(0), wizard->SetImage(&next), FailAllocation(-1);
    EXPECT_TRUE(wizard->source.width == 8 && wizard->display.IsEmpty());
    EXPECT_EQ(wizard->viewPicture.at(400, 100), packPixel(192, 192, 192));
}

// Wherever a picture's memory runs out as a batch's first file starts, the batch goes on to the next (a file whose
// run cannot take its copy is reported and skipped, as one too large to scale).
TEST_F(ProcessingTest, ABatchGoesOnWhereverMemoryRunsOutForAFile) {
    OpenPaths({WriteImage("a.png", picture), WriteImage("b.png", Gradient(12, 8))});
    Apply();
    for (long k = 0, made = 1; made > k - 1; ++k) {  // until the failure no longer strikes
        std::filesystem::remove(Path("b_new.png"));
        wizard->batchIndex = 0;
        FailAllocation(k, 200000), wizard->StartProcessing(StartBatchFile), made = FailAllocation(-1);
        RunUntilIdle();
        EXPECT_TRUE(Exists("b_new.png")) << k;
    }
}
#endif
