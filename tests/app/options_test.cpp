#include "wizard_fixture.h"

#include "ui/slider.h"

class OptionsTest : public WizardTest {
protected:
    void SetUp() override {
        WizardTest::SetUp();
        OpenPaths({WriteImage("wide.bmp", Gradient(640, 480))});
        ASSERT_TRUE(wizard->optionsPresent);
    }
};

TEST_F(OptionsTest, ConstrainedWidthDrivesTheHeight) {
    EXPECT_EQ(Sizes(), "640 x 480");  // a photo opens at its size with the sliders at their defaults
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(Sliders()[i]->value, (std::array{25, 15, 15, 0})[i]) << "slider " << i;
    TypeInto(wizard->widthField, "1001");
    EXPECT_EQ(Sizes(), "1001 x 751");  // 750.75
    TypeInto(wizard->heightField, "0048");
    EXPECT_EQ(Sizes(), "64 x 48");  // leading zeros go
    TypeInto(wizard->widthField, "");
    EXPECT_EQ(Sizes(), "1 x 1");  // 480 x 1 / 640 = 0.75, at least 1
}

TEST_F(OptionsTest, AResolutionTooLargeForMemoryIsRefusedAndChangesNothing) {
    ClickWidget(wizard->previewButton), RunUntilIdle(), ScriptedPasses::Reset();  // a preview a refusal leaves on view
    ClickWidget(wizard->constrainToggle);
    TypeInto(wizard->widthField, "99999");
    TypeInto(wizard->heightField, "99999");
    const float cx = wizard->centreX;
    for (Button* start : {wizard->applyButton, wizard->previewButton}) {
        const int32_t before = MessageCount();
        ClickWidget(start);
        ASSERT_EQ(MessageCount(), before + 1);
        EXPECT_EQ(LastText(), "There is not enough memory to process the image at 99999x99999 pixels. Please choose "
                              "a smaller final resolution.");
        EXPECT_TRUE(wizard->jobMode == JobIdle && wizard->progressBar == nullptr && wizard->viewMode == ViewProcessed);
        EXPECT_EQ(std::pair(wizard->display.BaseSize().width, wizard->centreX), std::pair(640, cx));
    }
    EXPECT_EQ(ScriptedPasses::runs.load(), 0);
}
