#include "wizard_fixture.h"

#include "platform/user_folders.h"

// Save As opens beside the picture if its folder takes new files, else in the user's Pictures (here: it is gone).
TEST_F(WizardTest, SaveAsStartsInPicturesWhenThePicturesFolderIsNotWritable) {
    ASSERT_TRUE(std::filesystem::create_directory(Path("album")));
    OpenAndApply(WriteImage("album/cat.png", Gradient(24, 16)));

    wizard->SaveAs();
    ASSERT_FALSE(headless::FileDialogs().empty());
    EXPECT_EQ(headless::FileDialogs().back().initialFolder.str(), Path("album"));

    std::filesystem::remove_all(Path("album"));
    const String pictures = PicturesFolder();
    ASSERT_GT(pictures.length, 0);
    wizard->SaveAs();
    EXPECT_EQ(headless::FileDialogs().back().initialFolder.str(), pictures.str());
    EXPECT_EQ(headless::FileDialogs().back().initialName.str(), "cat.png");
}
