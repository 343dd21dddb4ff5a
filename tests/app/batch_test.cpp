#include "wizard_fixture.h"

#include "ui/radio_group.h"
#include "ui/slider.h"

class BatchTest : public WizardTest {};

TEST_F(BatchTest, EmptyNamesAskBeforeOverwritingAndNoStartsNothing) {
    const std::string a = WriteImage("a.png", Gradient(10, 8)), b = WriteImage("b.png", Gradient(12, 8));
    OpenPaths({a, b});
    EXPECT_EQ(std::pair(wizard->prependField->bounds.top(), wizard->appendField->bounds.top()), std::pair(551, 576));
    TypeInto(wizard->appendField, "");
    ASSERT_EQ(wizard->appendField->committedText, "");
    headless::QueueMessageBoxAnswer(false);
    ClickWidget(wizard->applyButton);
    ASSERT_EQ(MessageCount(), 1);
    EXPECT_EQ(LastText(), "No batch names specified - the original images on disk will be overwritten with the "
                          "results. Are you sure?");
    EXPECT_TRUE(!LastMessage()->request.yesIsDefault && LastMessage()->request.icon == MessageIcon::Warning);
    EXPECT_TRUE(wizard->jobMode == JobIdle && wizard->batchIndex == -1 && !wizard->progressBar);
    Frames(5);
    EXPECT_EQ(ScriptedPasses::runs.load(), 0);

    // Yes overwrites the inputs, without asking again for each file.
    Apply({true});
    EXPECT_EQ(MessageCount(), 2);
    for (auto [p, w] : {std::pair{a, 10}, {b, 12}}) EXPECT_EQ(Loaded(p).at(3, 3), Inverted(Gradient(w, 8).at(3, 3)));
}

TEST_F(BatchTest, AChangedResolutionAsksBetweenFactorsAndOneSize) {
    const std::string a = WriteImage("a.png", Gradient(50, 40)), b = WriteImage("b.png", Gradient(30, 20));
    // The results' sizes, which are then taken away for the next run.
    const auto results = [&](std::initializer_list<const char*> names) {
        std::string sizes;
        for (const char* name : names) {
            const Bitmap result = Loaded(Path(name));
            sizes += std::to_string(result.width) + "x" + std::to_string(result.height) + " ";
            std::filesystem::remove(Path(name));
        }
        return sizes;
    };
    const struct {
        bool factors;
        const char *width, *sizes, *shown;
    } rows[] = {{true, "100", "100x80 60x40 ", "60"}, {false, "100", "100x80 100x80 ", "100"},
                {false, "1", "1x1 1x1 ", "1"}};  // one pixel is a size too
    for (const auto& [factors, width, sizes, shown] : rows) {
        OpenPaths({a, b});
        TypeInto(wizard->widthField, width);
        Apply({factors});
        ASSERT_GE(MessageCount(), 1);
        EXPECT_EQ(LastText(), "You have initiated batch mode with an altered image resolution. Do you want to apply "
                              "the same magnifying factor to all images? Selecting no will generate the images with "
                              "the current selected final resolution regardless of the input image size.");
        EXPECT_TRUE(LastMessage()->request.yesIsDefault && LastMessage()->request.icon == MessageIcon::Question);
        EXPECT_EQ(results({"a_new.png", "b_new.png"}), sizes);
        EXPECT_EQ(wizard->widthField->committedText, shown);
    }
    // Again at the shown photo's own size: nothing is asked, each keeps its size (the last run's one is forgotten).
    TypeInto(wizard->widthField, std::to_string(wizard->source.width).c_str());
    const int32_t asked = MessageCount();
    Apply();
    EXPECT_EQ(MessageCount(), asked);
    EXPECT_EQ(results({"a_new.png", "b_new.png"}), "50x40 30x20 ");
    // Unconstrained, each side keeps its own factor (1 one way, 0.25 down or 0.2 across the other, never below a
    // pixel); the fields follow each file even when only one of its sides changes.
    for (const bool across : {false, true}) {
        OpenPaths({a, b, across ? WriteImage("d.png", Gradient(2, 30)) : WriteImage("c.png", Gradient(30, 1))});
        if (wizard->constrainToggle->on) ClickWidget(wizard->constrainToggle);
        TypeInto(across ? wizard->widthField : wizard->heightField, "10");
        Apply({true});
        EXPECT_EQ(results({"a_new.png", "b_new.png", across ? "d_new.png" : "c_new.png"}),
                  across ? "10x40 6x20 1x30 " : "50x10 30x5 30x1 ");
        EXPECT_EQ((across ? wizard->widthField : wizard->heightField)->committedText, "1");
    }
}

TEST_F(BatchTest, AFileThatFailsIsReportedAndSkippedWithTheOptionsKept) {
    OpenPaths({WriteImage("a.png", Gradient(10, 8)), Path("gone.png"), WriteImage("c.png", Gradient(10, 8))});
    TypeInto(wizard->prependField, "p_");
    TypeInto(wizard->appendField, "_v2");
    // Every control off its default, each to a value of its own; rebuilt after the failed file, so read afresh.
    const int32_t values[] = {40, 70, 30, 60};
    for (size_t i = 0; i < 4; ++i) Sliders()[i]->value = values[i], Sliders()[i]->Reposition();
    wizard->scaleGroup->Select(1);
    const bool constrain = !wizard->constrainToggle->on;
    ClickWidget(wizard->constrainToggle);
    ASSERT_EQ(wizard->constrainToggle->on, constrain);
    Apply();
    ASSERT_EQ(MessageCount(), 1);
    EXPECT_EQ(LastText(), "Couldn't find file " + Path("gone.png"));
    EXPECT_EQ(std::tuple(true, false, true),
              std::tuple(Exists("p_a_v2.png"), Exists("p_gone_v2.png"), Exists("p_c_v2.png")));
    // The controls came back after the failed file as the user had set them.
    ASSERT_TRUE(wizard->optionsPresent);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(Sliders()[i]->value, values[i]) << "slider " << i;
    EXPECT_EQ(std::tuple(wizard->CurrentOptions().scaleChoice, wizard->constrainToggle->on,
                         wizard->prependField->committedText, wizard->appendField->committedText),
              std::tuple(1, constrain, "p_", "_v2"));
}

TEST_F(BatchTest, WhenTheLastFilesFailTheBatchEndsAtStepOne) {
    OpenPaths({WriteImage("a.png", Gradient(10, 8)), Path("gone.png")});
    Apply();
    EXPECT_TRUE(Exists("a_new.png") && wizard->batchIndex == -1);
    EXPECT_FALSE(wizard->optionsPresent || wizard->stripWidgets.empty());
}

TEST_F(BatchTest, AnExistingOutputIsAskedAboutAndNoSkipsOnlyThatFile) {
    WriteText("a_new.png", "keep me");
    OpenPaths({WriteImage("a.png", Gradient(10, 8)), WriteImage("b.png", Gradient(10, 8))});
    Apply({false});
    ASSERT_EQ(MessageCount(), 1);
    EXPECT_EQ(LastText(), Path("a_new.png") + " already exists. Do you want to replace it?");
    EXPECT_TRUE(ReadFileBytes(Path("a_new.png")) == "keep me" && Exists("b_new.png"));
}

// Every result's name is checked before any file is touched: one naming another file of the batch stops it unstarted.
TEST_F(BatchTest, ABatchThatWouldReplaceOneOfItsOwnFilesNeverStarts) {
    const std::string a = WriteImage("a.png", Gradient(10, 8)), aNew = WriteImage("a_new.png", Gradient(12, 8));
    const std::string before = ReadFileBytes(aNew);
    OpenPaths({a, aNew});
    ClickWidget(wizard->applyButton);
    Frames(5);
    ASSERT_EQ(MessageCount(), 1);
    EXPECT_EQ(LastText(), "The batch would write " + aNew + ": it is " + aNew +
                          ", another file of this run, which must not be replaced before it is read. Choose other "
                          "batch names.");
    EXPECT_EQ(std::pair(wizard->batchIndex, ScriptedPasses::runs.load()), std::pair(-1, 0));
    EXPECT_TRUE(ReadFileBytes(aNew) == before && !Exists("a_new_new.png"));
}

// Before any work: an unwritable result type is reported, and replacing a file with less than it holds is asked about.
TEST_F(BatchTest, UnwritableResultsAndLossyReplacementsAreSettledBeforeTheWork) {
    const std::string deep = Path("deep.png");
    std::filesystem::copy_file(std::string(VISTREL_TESTDATA_DIR) + "/formats/png/pngsuite/basn2c16.png", deep);
    WriteText("mono.wbmp", std::string("\0\0\x08\x02\xF0\x0F", 6));
    const std::string b = WriteImage("b.png", Gradient(10, 8));
    const std::string deepBefore = ReadFileBytes(deep), monoBefore = ReadFileBytes(Path("mono.wbmp"));
    OpenPaths({deep, Path("mono.wbmp"), b});
    TypeInto(wizard->appendField, "");
    Apply({true, false});  // no batch names: overwrite, but not the 16-bit file
    ASSERT_EQ(MessageCount(), 3);
    EXPECT_EQ(headless::MessageBoxes()[1].request.text,
              S("Replacing " + deep + " with its result loses 16 bits per channel (the result keeps 8). Replace it "
                "anyway?"));
    EXPECT_TRUE(headless::MessageBoxes()[1].request.yesNo);
    EXPECT_EQ(headless::MessageBoxes()[2].request.text, S("Unable to save " + Path("mono.wbmp") +
                " (WBMP files hold black and white only, which this program does not write)"));
    EXPECT_EQ(ScriptedPasses::runs.load(), 1);
    EXPECT_EQ(std::pair(ReadFileBytes(deep), ReadFileBytes(Path("mono.wbmp"))), std::pair(deepBefore, monoBefore));
    EXPECT_EQ(Loaded(b).at(3, 3), Inverted(Gradient(10, 8).at(3, 3)));

    // Saving over the 16-bit file from step 5 says what it loses.
    OpenAndApply(deep);
    headless::QueueMessageBoxAnswer(false);
    ClickWidget(wizard->saveButton);
    EXPECT_EQ(LastText(), deep + " already exists. Do you want to replace it?\n\nReplacing it loses 16 bits per "
                                 "channel (the result keeps 8).");
    EXPECT_EQ(ReadFileBytes(deep), deepBefore);
}
