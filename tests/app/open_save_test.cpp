#include "wizard_fixture.h"

#include "platform/menu_table.h"
#include "ui/text_label.h"

#include <fstream>
#include <unistd.h>
#ifndef _WIN32
#include "platform/posix/save_seams.h"
#endif

TEST_F(WizardTest, FailedLoadsSayWhyAndReturnToStepOne) {
    Frame();
    EXPECT_EQ(hashImage(headless::Screen(*wizard)), 0x6d6aca64be7fadbaull);  // as the run below records
    EXPECT_EQ(hashImage(headless::Screen(*TheApplication->about)), 0x8d720c9d176042b1ull);  // About, as looked at
    EXPECT_FALSE(headless::LogoutInhibited());  // nothing runs before a photo is open
    const std::string good = WriteImage("good.png", Gradient(20, 10));
    const std::string other = WriteImage("other.bmp", Gradient(12, 10));
    WriteText("notes.xyz", "hello");
    WriteText("broken.png", "\x89PNG\r\n\x1a\n not really");
    const std::string jpeg = ReadFileBytes(WriteImage("whole.jpg", Gradient(40, 30)));
    WriteText("half.jpg", jpeg.substr(0, jpeg.size() / 2));
    for (const auto& [name, reason] : {std::pair{"missing.png", "Couldn't find file "},
                                       {"notes.xyz", "Unknown image format: "}, {"broken.png", "Error reading "},
                                       {"half.jpg", "Error reading "}}) {
        const std::string path = Path(name);
        // A batch of two is loaded first, so the naming panel is up.
        OpenPaths({good, other});
        ASSERT_TRUE(wizard->optionsPresent && !wizard->batchWidgets.empty());
        EXPECT_EQ(wizard->step4Label->text, "Step 4 - apply and save (batch)");
        EXPECT_EQ(headless::Title(), S("Vistrel - " + good + " (1/2)"));
        EXPECT_EQ(wizard->fileNameLabel->text, "good.png");

        const int32_t before = MessageCount();
        OpenPaths({path});
        ASSERT_EQ(MessageCount(), before + 1);
        EXPECT_EQ(LastText(), reason + path);
        EXPECT_TRUE(LastMessage()->request.icon == MessageIcon::Warning && !LastMessage()->request.yesNo);
        EXPECT_EQ(headless::Title(), S("Vistrel - " + path + " (Load failed)"));
        // Back to the first page, with nothing of the batch or the photo left.
        EXPECT_FALSE(wizard->optionsPresent || !wizard->batchWidgets.empty() || wizard->stripWidgets.empty());
        EXPECT_TRUE(!wizard->widthField && !wizard->step2Label && !wizard->helpButton && wizard->source.isEmpty());
        EXPECT_EQ(wizard->zoom, 256);
    }
    // Only the run's first Open dialog starts in the samples beside the program.
    ASSERT_EQ(headless::FileDialogs().size(), 8u);
    EXPECT_EQ(std::pair(headless::FileDialogs()[0].initialFolder.str(), headless::FileDialogs()[1].initialFolder.str()),
              std::pair(folder + PathSeparator + "Samples" + PathSeparator, std::string()));
}

TEST_F(WizardTest, ReplacingAnExistingFileAsksAndNoWritesNothing) {
    const std::string cat = WriteImage("cat.png", Gradient(24, 16)), other = WriteImage("other.png", Gradient(10, 10));
    const std::string before = ReadFileBytes(other);
    OpenPaths({cat});
    EXPECT_FALSE(headless::ChooseMenu(MenuSave));  // nothing to save yet
    OpenAndApply(cat);

    headless::QueueFileDialogAnswer({true, {S(other)}, 3});  // confirmed, with the third filter selected
    headless::QueueMessageBoxAnswer(false);
    ClickWidget(wizard->saveAsButton);
    ASSERT_EQ(MessageCount(), 1);
    EXPECT_EQ(LastText(), other + " already exists. Do you want to replace it?");
    const MessageBoxRequest& asked = LastMessage()->request;
    EXPECT_TRUE(asked.yesNo && !asked.yesIsDefault && asked.icon == MessageIcon::Warning);
    EXPECT_EQ(ReadFileBytes(other), before);

    // "Save" replaces the opened file, after the same question.
    headless::QueueMessageBoxAnswer(true);
    ClickWidget(wizard->saveButton);
    ASSERT_EQ(MessageCount(), 2);
    EXPECT_EQ(LastText(), cat + " already exists. Do you want to replace it?");
    const Bitmap saved = Loaded(cat);
    EXPECT_TRUE(saved.width == 24 && saved.at(5, 5) == Inverted(Gradient(24, 16).at(5, 5)));
}

TEST_F(WizardTest, AFailedSaveKeepsTheOriginalAndSaysSo) {
    const std::string cat = WriteImage("cat.png", Gradient(24, 16)), before = ReadFileBytes(cat);
    OpenAndApply(cat);

    // Unknown extension: nothing is written.
    wizard->Save(S(Path("result.qqq")), true);
    EXPECT_EQ(LastText(), "Unknown image format: " + Path("result.qqq"));
    EXPECT_FALSE(Exists("result.qqq"));

    // A folder that does not exist cannot be written; the message gives the system's reason, not the read-only advice.
    wizard->Save(S(Path("nowhere/cat.png")), true);
    ASSERT_EQ(MessageCount(), 2);
    EXPECT_EQ(LastText().rfind("Unable to save " + Path("nowhere/cat.png") + " (", 0), 0u) << LastText();
    EXPECT_EQ(LastText().find("read-only"), std::string::npos) << LastText();

    // A read-only original is refused and kept (file modes bind only users without the rights to ignore them).
    ASSERT_EQ(chmod(cat.c_str(), 0444), 0);
    if (access(cat.c_str(), W_OK) != 0) {
        headless::QueueMessageBoxAnswer(true);
        ASSERT_TRUE(headless::ChooseMenu(102));
        EXPECT_EQ(0u, LastText().find("Unable to save " + cat + " - check file isn't read-only ("));
    }
    EXPECT_EQ(ReadFileBytes(cat), before);
}

TEST_F(WizardTest, FilesGivenAtStartOpenAsOneChoice) {
    const std::string a = WriteImage("a.png", Gradient(20, 10));
    WriteImage("b.bmp", Gradient(12, 10));
    // Start again from nothing: the windows go first, then the application.
    delete TheApplication->about;
    delete wizard;
    EXPECT_EQ(TheApplication->wizard, nullptr);  // nothing dropped now reaches the closed window
    StopApplication();
    // "Open with" hands over absolute paths; a shell may hand over relative ones, counted from the current folder.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    StartApplication(Passes(), {S(a), S("b.bmp")});
    std::filesystem::current_path(before);
    ASSERT_TRUE(TheApplication && TheApplication->wizard);
    wizard = TheApplication->wizard;
    EXPECT_EQ(wizard->files, (std::vector<String>{S(a), S(Path("b.bmp"))}));
    EXPECT_TRUE(wizard->optionsPresent);
    EXPECT_EQ(headless::Title(), S("Vistrel - " + a + " (1/2)"));
    EXPECT_NE(TheApplication->about, nullptr);  // the About window still opens
}

#ifndef _WIN32
// A file that appears at the chosen name while saving is not replaced unasked: No keeps it, Yes replaces it.
TEST_F(WizardTest, AFileThatAppearsWhileSavingIsAskedAbout) {
    OpenAndApply(WriteImage("cat.png", Gradient(24, 16)));
    static std::string intruder;
    intruder = Path("new.png");
    for (bool replace : {false, true}) {
        std::filesystem::remove(intruder);
        save_seams::beforePublish = [](const char*) { std::ofstream(intruder) << "another program's file"; };
        headless::QueueMessageBoxAnswer(replace);
        wizard->Save(S(intruder), true);
        save_seams::beforePublish = nullptr;
        ASSERT_EQ(MessageCount(), 1 + replace);
        EXPECT_EQ(LastText(), intruder + " already exists. Do you want to replace it?");
        EXPECT_EQ(Loaded(intruder).isEmpty(), !replace);
    }
    EXPECT_EQ(Loaded(intruder).at(3, 3), Inverted(Gradient(24, 16).at(3, 3)));
}

// Files chosen together in the root come back as "/" + name, not "//" + name.
TEST_F(WizardTest, FilesChosenTogetherInTheRootKeepOneSeparator) {
    const std::vector<String> chosen = {S("/vistrel-absent-a.png"), S("/vistrel-absent-b.png")};
    OpenPaths({chosen[0].str(), chosen[1].str()});
    EXPECT_EQ(wizard->files, chosen);
}

// A help page that exists but that nothing can show is not reported as a missing file (the fixture has unset BROWSER).
TEST_F(WizardTest, HelpPagesTellAMissingFileFromAMissingBrowser) {
    headless::SetDesktopHandlerAccepts(false);
    openHelpFile("page.html");
    ASSERT_NE(LastMessage(), nullptr);
    EXPECT_EQ(LastText(), "Couldn't open file " + Path("page.html"));
    WriteText("page.html", "<p>help</p>");
    openHelpFile("page.html");
    EXPECT_EQ(LastText(), "No web browser was found to show " + Path("page.html"));
    headless::SetDesktopHandlerAccepts(true);
    openHelpFile("page.html");
    EXPECT_EQ(MessageCount(), 2);
}
#endif
