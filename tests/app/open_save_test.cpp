#include "wizard_fixture.h"

#include "imagefile/image_file.h"
#include "ui/button.h"
#include "ui/edit_field.h"
#include "ui/text_label.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

String S(const std::string& s) { return String(s.c_str()); }

// Shows the processed picture of a single file, as after "Apply".
void ApplyTo(WizardController* w) {
    ASSERT_TRUE(w->optionsPresent);
    w->StartProcessing(StartApply);
}

}  // namespace

TEST_F(WizardTest, OpeningOneFileShowsItsOptionsTitleAndPicture) {
    const Bitmap picture = Gradient(40, 30);
    const std::string path = WriteImage("one.png", picture);
    EXPECT_FALSE(wizard->stripWidgets.empty());

    ClickWidget(wizard->openButton);  // the first dialog is cancelled: nothing changes
    ASSERT_EQ(headless::FileDialogs().size(), 1u);
    EXPECT_TRUE(headless::FileDialogs()[0].hasInitialFolder);
    EXPECT_EQ(headless::FileDialogs()[0].initialFolder, S(Path("Samples") + PathSeparator));
    EXPECT_FALSE(headless::FileDialogs()[0].save);
    EXPECT_FALSE(wizard->optionsPresent);

    OpenPaths({path});
    EXPECT_FALSE(headless::FileDialogs().back().hasInitialFolder);  // only the first one
    EXPECT_EQ(headless::Title(), S("Vistrel - " + path));
    ASSERT_TRUE(wizard->optionsPresent);
    EXPECT_TRUE(wizard->stripWidgets.empty());
    EXPECT_EQ(wizard->widthField->committedText, "40");
    EXPECT_EQ(wizard->heightField->committedText, "30");
    EXPECT_EQ(wizard->step4Label->text, "Step 4 - apply to image");
    EXPECT_TRUE(wizard->batchWidgets.empty());
    EXPECT_EQ(wizard->fileNameLabel->text, "one.png");
    EXPECT_EQ(wizard->sizeLabel->text, "40x30");
    EXPECT_EQ(wizard->fileNameLabel->bounds.left(), wizard->navigator->bounds.right() + 15);

    // At 100 % the view's centre shows the picture's centre, one to one,
    // and grey around the picture.
    const Bitmap& screen = headless::Screen(*wizard);
    const Rect v = wizard->view->bounds;
    ASSERT_EQ(v, Rect(330, 250, 780, 580));
    const int32_t vx = v.left() + 2 + 223, vy = v.top() + 2 + 163;
    for (int32_t d = -5; d <= 5; ++d) {
        EXPECT_EQ(screen.at(vx + d, vy), picture.at(20 + d, 15));
        EXPECT_EQ(screen.at(vx, vy + d), picture.at(20, 15 + d));
    }
    EXPECT_EQ(screen.at(v.left() + 10, v.top() + 10), packPixel(192, 192, 192));
    EXPECT_FALSE(headless::MenuItemEnabled(102));
    EXPECT_FALSE(headless::MenuItemEnabled(103));
}

TEST_F(WizardTest, FailedLoadsSayWhyAndReturnToStepOne) {
    const std::string good = WriteImage("good.png", Gradient(20, 10));
    const std::string other = WriteImage("other.bmp", Gradient(12, 10));
    WriteText("notes.xyz", "hello");
    WriteText("broken.png", "\x89PNG\r\n\x1a\n not really");
    struct Case {
        std::string path;
        std::string message;
    } cases[] = {
        {Path("missing.png"), "Couldn't find file " + Path("missing.png")},
        {Path("notes.xyz"), "Unknown image format: " + Path("notes.xyz")},
        {Path("broken.png"), "Error reading " + Path("broken.png")},
    };
    for (const Case& c : cases) {
        // A batch of two is loaded first, so the naming panel is up.
        OpenPaths({good, other});
        ASSERT_TRUE(wizard->optionsPresent);
        ASSERT_FALSE(wizard->batchWidgets.empty());
        EXPECT_EQ(wizard->step4Label->text, "Step 4 - apply and save (batch)");
        EXPECT_EQ(headless::Title(), S("Vistrel - " + good + " (1/2)"));

        const int32_t before = MessageCount();
        OpenPaths({c.path});
        ASSERT_EQ(MessageCount(), before + 1);
        EXPECT_EQ(LastMessage()->request.text, S(c.message));
        EXPECT_EQ(LastMessage()->request.icon, MessageIcon::Warning);
        EXPECT_FALSE(LastMessage()->request.yesNo);
        EXPECT_EQ(headless::Title(), S("Vistrel - " + c.path + " (Load failed)"));
        EXPECT_FALSE(wizard->optionsPresent);
        EXPECT_TRUE(wizard->batchWidgets.empty());
        EXPECT_EQ(wizard->widthField, nullptr);
        EXPECT_TRUE(wizard->source.isEmpty());
        EXPECT_FALSE(wizard->stripWidgets.empty());  // back to the first page
        EXPECT_EQ(wizard->zoom, 256);
    }
}

TEST_F(WizardTest, SeveralFilesBecomeFullPathsInDialogOrder) {
    const std::string a = WriteImage("b.png", Gradient(8, 8));
    WriteImage("a.png", Gradient(8, 8));
    WriteImage("c.png", Gradient(8, 8));
    headless::FileDialogAnswer answer;
    answer.paths = {S(Path("b.png")), S(Path("a.png")), S(Path("c.png"))};
    headless::QueueFileDialogAnswer(answer);
    ASSERT_TRUE(headless::ChooseMenu(101));
    ASSERT_EQ(wizard->files.size(), 3u);
    EXPECT_EQ(wizard->files[0], S(Path("b.png")));
    EXPECT_EQ(wizard->files[1], S(Path("a.png")));
    EXPECT_EQ(wizard->files[2], S(Path("c.png")));
    EXPECT_EQ(headless::Title(), S("Vistrel - " + a + " (1/3)"));
    ASSERT_EQ(wizard->batchWidgets.size(), 5u);
    EXPECT_EQ(wizard->prependField->committedText, "");
    EXPECT_EQ(wizard->appendField->committedText, "_new");
    EXPECT_EQ(wizard->prependField->bounds.top(), 551);
    EXPECT_EQ(wizard->appendField->bounds.top(), 576);
}

TEST_F(WizardTest, SaveAsSuggestsTheNameAndFollowsTheChosenType) {
    const std::string cat = WriteImage("cat.jpg", Gradient(24, 16));
    OpenPaths({cat});
    ApplyTo(wizard);
    RunUntilIdle();
    ASSERT_EQ(wizard->resultKind, ResultFull);

    struct Case {
        const char* typed;
        int32_t filter;  // 1-based: BMP, JPG/JPEG, PNG, TIF/TIFF, TGA
        const char* written;
        ImageFileType type;
    } cases[] = {
        {"cat.jpg", 3, "cat.png", ImageFilePng},        // type switched, suggested name kept
        {"cat.PNG", 2, "cat.PNG", ImageFilePng},        // a listed extension stays
        {"cat", 5, "cat.tga", ImageFileTga},            // no extension: the chosen type's
        {"cat.xyz", 1, "cat.xyz.bmp", ImageFileBmp},    // an unlisted one gets it added
    };
    int32_t replaced = 0;
    for (const Case& c : cases) {
        // Where names ignore case (Windows), cat.PNG is the cat.png written
        // before, and replacing it is asked first.
        if (std::filesystem::exists(Path(c.written))) {
            headless::QueueMessageBoxAnswer(true);
            ++replaced;
        }
        headless::FileDialogAnswer answer;
        answer.paths = {S(Path(c.typed))};
        answer.filterIndex = c.filter;
        headless::QueueFileDialogAnswer(answer);
        ASSERT_TRUE(headless::ChooseMenu(103));
        const FileDialogRequest& request = headless::FileDialogs().back();
        EXPECT_TRUE(request.save);
        EXPECT_EQ(request.initialFolder, S(folder));
        EXPECT_EQ(request.initialName, "cat.jpg");
        EXPECT_EQ(request.filterIndex, 2);  // JPG/JPEG preselected
        EXPECT_EQ(request.filters.size(), 5u);

        Bitmap written;
        EXPECT_EQ(load(written, S(Path(c.written)), nullptr), c.type) << c.written;
        ASSERT_EQ(written.width, 24) << c.written;
        EXPECT_EQ(written.height, 16);
    }
    EXPECT_EQ(MessageCount(), replaced);
    // The processed picture was written, not the source.
    Bitmap png;
    load(png, S(Path("cat.png")), nullptr);
    EXPECT_EQ(png.at(3, 3), wizard->result.Level(0).at(3, 3));
}

TEST_F(WizardTest, ReplacingAnExistingFileAsksAndNoWritesNothing) {
    const std::string cat = WriteImage("cat.png", Gradient(24, 16));
    const std::string other = WriteImage("other.png", Gradient(10, 10));
    const std::string before = FileBytes(other);
    OpenPaths({cat});
    ApplyTo(wizard);
    RunUntilIdle();

    headless::FileDialogAnswer answer;
    answer.paths = {S(other)};
    answer.filterIndex = 3;
    headless::QueueFileDialogAnswer(answer);
    headless::QueueMessageBoxAnswer(false);
    ClickWidget(wizard->saveAsButton);
    ASSERT_EQ(MessageCount(), 1);
    EXPECT_EQ(LastMessage()->request.text, S(other + " already exists. Do you want to replace it?"));
    EXPECT_TRUE(LastMessage()->request.yesNo);
    EXPECT_FALSE(LastMessage()->request.yesIsDefault);
    EXPECT_EQ(LastMessage()->request.icon, MessageIcon::Warning);
    EXPECT_EQ(FileBytes(other), before);

    // "Save" replaces the opened file, after the same question.
    headless::QueueMessageBoxAnswer(true);
    ClickWidget(wizard->saveButton);
    ASSERT_EQ(MessageCount(), 2);
    EXPECT_EQ(LastMessage()->request.text, S(cat + " already exists. Do you want to replace it?"));
    Bitmap saved;
    load(saved, S(cat), nullptr);
    ASSERT_EQ(saved.width, 24);
    EXPECT_EQ(saved.at(5, 5), Inverted(Gradient(24, 16).at(5, 5)));
}

TEST_F(WizardTest, AFailedSaveKeepsTheOriginalAndSaysSo) {
    const std::string cat = WriteImage("cat.png", Gradient(24, 16));
    const std::string before = FileBytes(cat);
    OpenPaths({cat});
    ApplyTo(wizard);
    RunUntilIdle();

    // Unknown extension: nothing is written.
    wizard->Save(S(Path("result.qqq")), true);
    ASSERT_EQ(MessageCount(), 1);
    EXPECT_EQ(LastMessage()->request.text, S("Unknown image format: " + Path("result.qqq")));
    EXPECT_FALSE(std::filesystem::exists(Path("result.qqq")));

    // A folder that does not exist cannot be written.
    wizard->Save(S(Path("nowhere/cat.png")), true);
    ASSERT_EQ(MessageCount(), 2);
    EXPECT_EQ(LastMessage()->request.text, S("Unable to save " + Path("nowhere/cat.png") +
                                             " - check file isn't read-only"));

    // A read-only original is refused and stays as it was (file modes bind
    // only users without the rights to ignore them).
    ASSERT_EQ(chmod(cat.c_str(), 0444), 0);
    if (access(cat.c_str(), W_OK) != 0) {
        headless::QueueMessageBoxAnswer(true);
        ASSERT_TRUE(headless::ChooseMenu(102));
        EXPECT_EQ(LastMessage()->request.text, S("Unable to save " + cat + " - check file isn't read-only"));
    }
    EXPECT_EQ(FileBytes(cat), before);
}

TEST_F(WizardTest, FilesGivenAtStartOpenAsOneChoice) {
    const std::string a = WriteImage("a.png", Gradient(20, 10));
    WriteImage("b.bmp", Gradient(12, 10));
    // Start again from nothing: the windows go first, then the application.
    delete TheApplication->about;
    delete wizard;
    StopApplication();
    // A desktop's "Open with" hands over absolute paths; a shell may hand
    // over relative ones, which count from the current folder.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    StartApplication(Passes(), {S(a), S("b.bmp")});
    std::filesystem::current_path(before);
    ASSERT_NE(TheApplication, nullptr);
    wizard = TheApplication->wizard;
    ASSERT_NE(wizard, nullptr);
    ASSERT_EQ(wizard->files.size(), 2u);
    EXPECT_EQ(wizard->files[1], S(Path("b.bmp")));
    EXPECT_TRUE(wizard->optionsPresent);
    EXPECT_EQ(headless::Title(), S("Vistrel - " + a + " (1/2)"));
    EXPECT_NE(TheApplication->about, nullptr);  // the About window still opens
}
