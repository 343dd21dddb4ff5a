#include "wizard_fixture.h"

#include "ui/text_label.h"

// Files dropped on the main window, through the handler the program installs.
class DropTest : public WizardTest {
protected:
    void Drop(AppWindow& window, const std::vector<std::string>& paths) {
        headless::DropFiles(window, {paths.begin(), paths.end()}), Frame(), WorkerSettles();
    }
};

TEST_F(DropTest, DroppedFilesOpenAsOneChoiceOfTheOpenDialog) {
    const std::string a = WriteImage("a.png", Gradient(10, 8)), b = WriteImage("b.png", Gradient(12, 8));
    Drop(*wizard, {a});
    EXPECT_EQ(headless::Title(), S("Vistrel - " + a));
    EXPECT_TRUE(wizard->source.width == 10 && wizard->batchWidgets.empty());

    // Several: batch mode, in the order dropped, and the same load message.
    WriteText("bad.png", "not a picture");
    Drop(*wizard, {b, Path("bad.png"), a});
    EXPECT_EQ(wizard->files, (std::vector<String>{b, Path("bad.png"), a}));
    EXPECT_EQ(headless::Title(), S("Vistrel - " + b + " (1/3)"));
    EXPECT_TRUE(!wizard->batchWidgets.empty() && MessageCount() == 0 && headless::FileDialogs().empty());

    // One again after many: the batch panel and its step label go.
    Drop(*wizard, {a});
    EXPECT_TRUE(wizard->batchWidgets.empty());
    EXPECT_EQ(wizard->step4Label->text, "Step 4 - apply to image");
    ASSERT_NE(wizard->step3Label, nullptr);
    EXPECT_EQ(wizard->step3Label->text, "Step 3 (optional) - preview");
}

TEST_F(DropTest, DropsWhileADialogIsOpenOrOnThePopUpAreIgnored) {
    const std::string a = WriteImage("a.png", Gradient(10, 8));
    WriteText("bad.png", "not a picture");
    // The load failure's message box is open while this drop arrives.
    headless::SetDuringModal([&] { headless::DropFiles(*wizard, {a}); });
    Drop(*wizard, {Path("bad.png")});
    headless::SetDuringModal(nullptr);
    EXPECT_EQ(wizard->files, std::vector<String>{Path("bad.png")});
    EXPECT_TRUE(MessageCount() == 1 && wizard->source.isEmpty());

    ASSERT_NE(TheApplication->about, nullptr);
    Drop(*TheApplication->about, {a});
    EXPECT_TRUE(wizard->source.isEmpty());
    Drop(*wizard, {a});  // the program's own window still takes it
    EXPECT_EQ(wizard->source.width, 10);
}
