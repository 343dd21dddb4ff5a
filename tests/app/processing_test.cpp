#include "wizard_fixture.h"

#include "ui/button.h"
#include "ui/image_widget.h"
#include "ui/text_label.h"

#include <chrono>
#include <thread>

class ProcessingTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        OpenPaths({WriteImage("photo.png", picture)});
        ASSERT_TRUE(wizard->optionsPresent);
    }
    bool FramesUntilPercent(int32_t p) {
        return FramesUntil([&] { return wizard->progressShown == p; });
    }
    void Open(int32_t stages) { ScriptedPasses::opened = stages; }

    Bitmap picture = Gradient(600, 400);
};

TEST_F(ProcessingTest, OneProgressBarRedrawnOnlyWhenThePercentageChanges) {
    ScriptedPasses::gated = true;
    ClickWidget(wizard->previewButton);
    ASSERT_NE(wizard->progressBar, nullptr);
    EXPECT_EQ(wizard->jobMode, JobPreviewing);
    EXPECT_EQ(wizard->progressBar->Position().x, wizard->previewButton->bounds.left() + 112);
    EXPECT_EQ(wizard->progressBar->Position().y, wizard->previewButton->bounds.top());
    EXPECT_EQ(wizard->progressBar->Size().width, 107);
    EXPECT_EQ(wizard->progressShown, 0);
    const int32_t drawn = wizard->progressRenders;
    Frames(20);
    EXPECT_EQ(wizard->progressRenders, drawn);  // still 0 %

    Open(1);
    ASSERT_TRUE(FramesUntilPercent(30));
    EXPECT_EQ(wizard->progressRenders, drawn + 1);
    Frames(20);
    EXPECT_EQ(wizard->progressRenders, drawn + 1);
    // The bar's left 30 % is the red progress part, the rest is not.
    const Bitmap& bar = *wizard->progressBar->picture;
    EXPECT_GT(pixelRed(bar.at(10, 3)), 0u);
    EXPECT_EQ(pixelGreen(bar.at(10, 3)), 0u);
    EXPECT_EQ(pixelGreen(bar.at(100, 3)), pixelRed(bar.at(100, 3)));

    Open(3);
    ASSERT_TRUE(FramesUntil([&] { return wizard->resultKind != ResultNone; }));
    EXPECT_EQ(wizard->progressBar, nullptr);
    EXPECT_EQ(wizard->progressShown, -1);
    int32_t bars = 0;
    for (int32_t i = 0; i < wizard->root.ChildCount(); ++i)
        bars += wizard->root.Child(i)->TypeId() == TypeImageWidget && wizard->root.Child(i)->Size().width == 107;
    EXPECT_EQ(bars, 0);
}

TEST_F(ProcessingTest, PreviewShowsTheProcessedRectangleOnWhite) {
    ClickWidget(wizard->previewButton);
    RunUntilIdle();
    ASSERT_EQ(wizard->resultKind, ResultPreview);
    EXPECT_EQ(wizard->previewRect, Rect(75, 35, 525, 365));  // 450 x 330 around (300, 200)
    EXPECT_EQ(wizard->viewMode, ViewProcessed);
    EXPECT_EQ(wizard->viewModeLabel->text, "Preview");
    ASSERT_NE(wizard->viewToggle, nullptr);
    EXPECT_EQ(wizard->viewToggle->bounds, Rect(330, wizard->zoomInButton->bounds.top(), 355,
                                               wizard->zoomInButton->bounds.top() + 19));
    const Bitmap& canvas = wizard->result.Level(0);
    ASSERT_EQ(canvas.width, 600);
    const uint32_t white = packPixel(255, 255, 255);
    EXPECT_EQ(canvas.at(74, 100), white);
    EXPECT_EQ(canvas.at(75, 100), Inverted(picture.at(75, 100)));
    EXPECT_EQ(canvas.at(524, 364), Inverted(picture.at(524, 364)));
    EXPECT_EQ(canvas.at(525, 364), white);
    EXPECT_EQ(canvas.at(300, 34), white);
    EXPECT_EQ(canvas.at(300, 365), white);
    EXPECT_FALSE(headless::MenuItemEnabled(102));
    EXPECT_TRUE(wizard->step5Widgets.empty());

    // The toggle flips between source and preview.
    ClickWidget(wizard->viewToggle);
    EXPECT_EQ(wizard->viewMode, ViewSource);
    EXPECT_EQ(wizard->viewModeLabel->text, "Original");

    // Near the corner the rectangle is cut at the picture's edge.
    wizard->centreX = 10;
    wizard->centreY = 390;
    ClickWidget(wizard->previewButton);
    RunUntilIdle();
    EXPECT_EQ(wizard->previewRect, Rect(0, 225, 235, 400));
    EXPECT_EQ(wizard->result.Level(0).at(235, 300), white);
    EXPECT_EQ(wizard->result.Level(0).at(234, 300), Inverted(picture.at(234, 300)));
    EXPECT_EQ(wizard->centreX, 117.0f);  // the centre of the processed part
    EXPECT_EQ(wizard->centreY, 312.0f);
}

TEST_F(ProcessingTest, ApplyOffersSavingUntilTheNextRun) {
    ClickWidget(wizard->applyButton);
    EXPECT_EQ(wizard->jobMode, JobApplying);
    EXPECT_EQ(wizard->progressBar->Position().x, wizard->applyButton->bounds.left() + 112);
    EXPECT_FALSE(headless::MenuItemEnabled(102));
    RunUntilIdle();
    ASSERT_EQ(wizard->resultKind, ResultFull);
    EXPECT_EQ(wizard->viewModeLabel->text, "Result");
    EXPECT_EQ(wizard->result.Level(0).at(0, 0), Inverted(picture.at(0, 0)));
    ASSERT_EQ(wizard->step5Widgets.size(), 3u);
    EXPECT_EQ(static_cast<TextLabel*>(wizard->step5Widgets[0])->text, "Step 5 - save result");
    EXPECT_EQ(wizard->saveButton->bounds, Rect(15, 573, 122, 592));
    EXPECT_EQ(wizard->saveAsButton->bounds, Rect(127, 573, 234, 592));
    EXPECT_TRUE(headless::MenuItemEnabled(102));
    EXPECT_TRUE(headless::MenuItemEnabled(103));

    ClickWidget(wizard->previewButton);
    EXPECT_TRUE(wizard->step5Widgets.empty());
    EXPECT_EQ(wizard->viewToggle, nullptr);
    EXPECT_FALSE(headless::MenuItemEnabled(102));
    EXPECT_FALSE(headless::MenuItemEnabled(103));
    RunUntilIdle();
    EXPECT_TRUE(wizard->step5Widgets.empty());  // a preview offers no saving
    EXPECT_FALSE(headless::MenuItemEnabled(102));
}

TEST_F(ProcessingTest, TwoQuickPreviewsGiveOneResult) {
    ScriptedPasses::gated = true;
    ClickWidget(wizard->previewButton);
    WorkerSettles();  // the first preview runs
    wizard->centreX = 100;  // the second request differs from the first
    wizard->centreY = 100;
    ClickWidget(wizard->previewButton);
    const Rect second = wizard->previewRect;
    EXPECT_EQ(second, Rect(0, 0, 325, 265));
    Open(3);
    RunUntilIdle();
    Frames(30);
    EXPECT_EQ(wizard->resultsCollected, 1);
    EXPECT_EQ(wizard->resultKind, ResultPreview);
    EXPECT_EQ(wizard->result.Level(0).at(324, 264), Inverted(picture.at(324, 264)));
    EXPECT_EQ(wizard->result.Level(0).at(325, 100), packPixel(255, 255, 255));
}

TEST_F(ProcessingTest, ApplyWhilePreviewingGivesTheFullResult) {
    ScriptedPasses::gated = true;
    ClickWidget(wizard->previewButton);
    WorkerSettles();
    ClickWidget(wizard->applyButton);
    Open(3);
    RunUntilIdle();
    EXPECT_EQ(wizard->resultsCollected, 1);
    EXPECT_EQ(wizard->resultKind, ResultFull);
    EXPECT_EQ(wizard->result.Level(0).at(0, 0), Inverted(picture.at(0, 0)));
}

TEST_F(ProcessingTest, AChangedResolutionScalesTheSourceFirst) {
    ClickWidget(wizard->presetButtons[1]);  // "Photo 2x zoom"
    ClickWidget(wizard->applyButton);
    EXPECT_EQ(wizard->display.BaseSize().width, 1200);
    EXPECT_EQ(wizard->display.BaseSize().height, 800);
    EXPECT_EQ(wizard->centreX, 600.0f);  // the centre follows the scale
    EXPECT_EQ(wizard->centreY, 400.0f);
    RunUntilIdle();
    ASSERT_EQ(wizard->result.BaseSize().width, 1200);
    // Pixel (2x, 2y) samples the source at (x, y) exactly.
    EXPECT_EQ(wizard->result.Level(0).at(2 * 37, 2 * 21), Inverted(picture.at(37, 21)));
}
