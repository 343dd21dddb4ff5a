#include "wizard_fixture.h"

#include "ui/slider.h"

namespace {

std::atomic<int32_t> previewSizedRuns{0};  // runs that finished with a picture no larger than a preview's

void CountingPass(ProcessingJob& job, int32_t n, const PassParams& p, MatchCountMap* map) {
    ScriptedPasses::Sequence().denoise(job, n, p, map);
    if (job.workingImage.width <= 450 && job.workingImage.height <= 330) previewSizedRuns.fetch_add(1);
}

}  // namespace

// Files of a batch that are too large for their final size, and runs that a new picture replaces.
class BatchRefusalTest : public WizardTest {
protected:
    PassSequence Passes() override { previewSizedRuns = 0; return PassSequence{CountingPass, nullptr}; }
    bool Refused(const char* size) const {
        const std::string refusal = std::string("There is not enough memory to process the image at ") + size;
        for (const auto& box : headless::MessageBoxes()) if (box.request.text.str().rfind(refusal, 0) == 0) return true;
        return false;
    }
};

TEST_F(BatchRefusalTest, ARefusedFileIsReportedAndSkippedAndTheViewNeverGoesEmpty) {
    // Factor 100: the 1200 x 900 file would be 120000 x 90000, cut to 99999 a side.
    const std::string a = WriteImage("a.png", Gradient(10, 8)), big = WriteImage("big.png", Gradient(1200, 900));
    OpenPaths({a, big, WriteImage("c.png", Gradient(10, 8))});
    TypeInto(wizard->widthField, "1000");
    Apply({true});  // the same factors for every file
    EXPECT_TRUE(Refused("99999x74999"));
    for (const char* name : {"a_new.png", "c_new.png"}) EXPECT_EQ(Loaded(Path(name)).bounds(), Rect(0, 0, 1000, 800));
    EXPECT_FALSE(Exists("big_new.png"));
    EXPECT_TRUE(wizard->viewMode == ViewProcessed && wizard->resultKind == ResultFull);

    // Refused as the last file: the view keeps that file's source.
    OpenPaths({a, big});
    TypeInto(wizard->widthField, "1000");
    Apply({true});
    EXPECT_EQ(std::tuple(wizard->batchIndex, wizard->source.width, wizard->viewMode),
              std::tuple(-1, 1200, int32_t{ViewSource}));
}

TEST_F(BatchRefusalTest, ABatchAbandonsTheRunningPreviewEvenWhenEveryFileIsRefused) {
    OpenPaths({WriteImage("a.png", Gradient(10, 8)), WriteImage("b.png", Gradient(10, 8))});
    TypeInto(wizard->widthField, "1000");
    StartGated(wizard->previewButton);
    // Both files change on disk: at factor 100 neither fits any more.
    WriteImage("a.png", Gradient(400, 300)), WriteImage("b.png", Gradient(400, 300));
    headless::QueueMessageBoxAnswer(true);
    ClickWidget(wizard->applyButton);
    OpenGate();
    // Time for an abandoned preview to finish, had it been left running.
    for (int32_t i = 0; i < 200; ++i) Frame(), std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(Refused("40000x30000"));
    EXPECT_EQ(MessageCount(), 3);  // the question and two refusals
    EXPECT_EQ(previewSizedRuns.load(), 0);  // the preview never finished
    EXPECT_EQ(std::pair(wizard->source.width, wizard->viewMode), std::pair(400, int32_t{ViewSource}));
}

TEST_F(BatchRefusalTest, ControlsChangedDuringABatchStayAsTheUserLeftThem) {
    OpenPaths({WriteImage("a.png", Gradient(10, 8)), WriteImage("b.png", Gradient(10, 8))});
    StartGated(wizard->applyButton);
    ClickWidget(wizard->deblurSlider->incrementButton);
    ASSERT_EQ(wizard->deblurSlider->value, 1);
    TypeInto(wizard->appendField, "_v2", false);  // still being typed
    ScriptedPasses::opened = 3;
    ASSERT_TRUE(FramesUntil([&] { return wizard->batchIndex == 1; }));
    EXPECT_EQ(wizard->deblurSlider->value, 1);
    EXPECT_EQ(wizard->appendField->label->text.str(), "_v2");
    RunUntilIdle();
}
