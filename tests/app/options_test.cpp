#include "wizard_fixture.h"

#include "ui/button.h"
#include "ui/edit_field.h"
#include "ui/radio_group.h"
#include "ui/slider.h"
#include "ui/text_label.h"

class OptionsTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        OpenPaths({WriteImage("wide.bmp", Gradient(640, 480))});
        ASSERT_TRUE(wizard->optionsPresent);
    }
};

TEST_F(OptionsTest, ControlsStartAtTheFirstPreset) {
    EXPECT_EQ(wizard->step2Label->text, "Step 2 - options");
    EXPECT_EQ(wizard->presetButtons[0]->bounds, Rect(15, 98, 157, 117));
    EXPECT_EQ(wizard->presetButtons[7]->bounds, Rect(162, 173, 304, 192));
    EXPECT_EQ(wizard->noiseSizeSlider->value, 25);
    EXPECT_EQ(wizard->amountSlider->value, 15);
    EXPECT_EQ(wizard->cutoffSlider->value, 15);
    EXPECT_EQ(wizard->deblurSlider->value, 0);
    EXPECT_EQ(wizard->noiseSizeSlider->bounds, Rect(127, 303, 127 + 178, 322));
    EXPECT_EQ(wizard->scaleGroup->selected, 0);
    EXPECT_TRUE(wizard->constrainToggle->on);
    EXPECT_EQ(wizard->step3Label->text, "Step 3 (optional) - preview");
    EXPECT_EQ(wizard->zoomLabel->text, "100%");
    EXPECT_EQ(wizard->viewModeLabel->text, "Original");
}

TEST_F(OptionsTest, ConstrainedWidthDrivesTheHeight) {
    TypeInto(wizard->widthField, "1000");
    EXPECT_EQ(wizard->widthField->committedText, "1000");
    EXPECT_EQ(wizard->heightField->committedText, "750");
    TypeInto(wizard->widthField, "1001");
    EXPECT_EQ(wizard->heightField->committedText, "751");  // 750.75
    TypeInto(wizard->heightField, "0048");
    EXPECT_EQ(wizard->heightField->committedText, "48");  // leading zeros go
    EXPECT_EQ(wizard->widthField->committedText, "64");
    TypeInto(wizard->widthField, "");
    EXPECT_EQ(wizard->widthField->committedText, "1");
    EXPECT_EQ(wizard->heightField->committedText, "1");  // 480 x 1 / 640 = 0.75, at least 1
}

TEST_F(OptionsTest, UnconstrainedFieldsOnlyNormaliseThemselves) {
    ClickWidget(wizard->constrainToggle);
    ASSERT_FALSE(wizard->constrainToggle->on);
    TypeInto(wizard->heightField, "", false);
    ClickAt(600, 100);  // clicking elsewhere commits
    EXPECT_EQ(wizard->heightField->committedText, "1");
    EXPECT_EQ(wizard->widthField->committedText, "640");
    TypeInto(wizard->widthField, "77");
    EXPECT_EQ(wizard->widthField->committedText, "77");
    EXPECT_EQ(wizard->heightField->committedText, "1");
}

TEST_F(OptionsTest, PresetsSetSizeScaleAndSliders) {
    ClickWidget(wizard->constrainToggle);  // presets ignore the toggle
    ClickWidget(wizard->presetButtons[5]);
    EXPECT_EQ(wizard->presetButtons[5]->bounds.top(), 148);
    EXPECT_EQ(wizard->widthField->committedText, "2560");
    EXPECT_EQ(wizard->heightField->committedText, "1920");
    EXPECT_EQ(wizard->scaleGroup->selected, 1);
    EXPECT_EQ(wizard->noiseSizeSlider->value, 70);
    EXPECT_EQ(wizard->amountSlider->value, 50);
    EXPECT_EQ(wizard->cutoffSlider->value, 50);
    EXPECT_EQ(wizard->deblurSlider->value, 50);
    EXPECT_FALSE(wizard->constrainToggle->on);

    ClickWidget(wizard->presetButtons[6]);  // "Digital zoom artifacts"
    EXPECT_EQ(wizard->widthField->committedText, "640");
    EXPECT_EQ(wizard->scaleGroup->selected, 0);
    EXPECT_EQ(wizard->noiseSizeSlider->value, 50);
    EXPECT_EQ(wizard->amountSlider->value, 35);
    EXPECT_EQ(wizard->cutoffSlider->value, 35);
    EXPECT_EQ(wizard->deblurSlider->value, 75);

    const OptionValues o = wizard->CurrentOptions();
    EXPECT_EQ(o.noiseSize, 50);
    EXPECT_EQ(o.deblurAmount, 75);
    EXPECT_EQ(o.scaleChoice, 0);
}

TEST_F(OptionsTest, AResolutionTooLargeForMemoryIsRefusedAndChangesNothing) {
    ClickWidget(wizard->constrainToggle);
    TypeInto(wizard->widthField, "99999");
    TypeInto(wizard->heightField, "99999");
    const float cx = wizard->centreX;
    for (Button* start : {wizard->applyButton, wizard->previewButton}) {
        const int32_t before = MessageCount();
        ClickWidget(start);
        ASSERT_EQ(MessageCount(), before + 1);
        EXPECT_EQ(LastMessage()->request.text,
                  "There is not enough memory to process the image at 99999x99999 pixels. Please choose a "
                  "smaller final resolution.");
        EXPECT_EQ(wizard->jobMode, JobIdle);
        EXPECT_EQ(wizard->progressBar, nullptr);
        EXPECT_EQ(wizard->display.BaseSize().width, 640);
        EXPECT_EQ(wizard->centreX, cx);
    }
    EXPECT_EQ(ScriptedPasses::runs.load(), 0);
}
