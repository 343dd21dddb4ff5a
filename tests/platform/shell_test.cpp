#include "platform/browser.h"
#include "platform/file_dialog.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"

#include <gtest/gtest.h>


#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// ProgramFolder

TEST(ProgramFolder, CutsAfterTheLastSeparator) {
    EXPECT_EQ(ProgramFolderFromPath("/opt/vistrel/bin/vistrel", 24), "/opt/vistrel/bin/");
    EXPECT_EQ(ProgramFolderFromPath("C:\\Programs\\Vistrel\\vistrel.exe", 31), "C:\\Programs\\Vistrel\\");
    EXPECT_EQ(ProgramFolderFromPath("/a\\b/c", 6), "/a\\b/");
    EXPECT_EQ(ProgramFolderFromPath("vistrel", 7), "");
    EXPECT_EQ(ProgramFolderFromPath("/x", -1), "");  // the lookup failed
}

TEST(ProgramFolder, PathsOf1022CharactersOrMoreGiveNoFolder) {
    for (int64_t length : {1020, 1021, 1022, 1023}) {
        std::string path(static_cast<size_t>(length), 'a');
        path[0] = '/';
        path[10] = '/';
        String folder = ProgramFolderFromPath(path.data(), length);
        SCOPED_TRACE(length);
        EXPECT_EQ(folder.length, length < 1022 ? 11 : 0);
    }
}

// Filter lists

TEST(FileFilter, ListsHoldTheirPairsInOrder) {
    const String& open = OpenFilterList();
    std::string all(open.chars(), static_cast<size_t>(open.length));
    static const char expected[] = "All supported types\0*.bmp;*.jpg;*.jpeg;*.png;*.tif;*.tiff;*.tga\0BMP\0*.bmp\0"
                                   "JPG/JPEG\0*.jpg;*.jpeg\0PNG\0*.png\0TIF/TIFF\0*.tif;*.tiff\0TGA\0*.tga\0";
    EXPECT_EQ(all, std::string(expected, sizeof expected));  // with the final NUL
    const String& save = SaveFilterList();
    EXPECT_EQ(std::string(save.chars(), static_cast<size_t>(save.length)), all.substr(64));
}

TEST(FileFilter, FindFilterIndex) {
    const String& save = SaveFilterList();
    EXPECT_EQ(FindFilterIndex("cat.bmp", save), 0);
    EXPECT_EQ(FindFilterIndex("cat.JPEG", save), 1);
    EXPECT_EQ(FindFilterIndex("a.b/cat.Tif", save), 3);
    EXPECT_EQ(FindFilterIndex("cat.tga", save), 4);
    EXPECT_EQ(FindFilterIndex("cat.jp", save), -1);   // the whole length must match
    EXPECT_EQ(FindFilterIndex("cat.jpgx", save), -1);
    EXPECT_EQ(FindFilterIndex("cat", save), -1);
    EXPECT_EQ(FindFilterIndex("cat.", save), -1);
    EXPECT_EQ(FindFilterIndex("cat.png", OpenFilterList()), 0);  // "All supported types" comes first
    EXPECT_EQ(FindFilterIndex("cat.gif", OpenFilterList()), -1);
}

TEST(FileFilter, AppendFilterExtension) {
    const String& save = SaveFilterList();
    String name("cat");
    AppendFilterExtension(name, save, 1);
    EXPECT_EQ(name, "cat.jpg");
    name = "cat.";
    AppendFilterExtension(name, save, 3);
    EXPECT_EQ(name, "cat.tif");
    name = "cat";
    AppendFilterExtension(name, save, 5);
    AppendFilterExtension(name, save, -1);
    EXPECT_EQ(name, "cat");
}

// The file dialog's front end on the headless backend.

namespace {

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { headless::Reset(); }

    static String Save(const char* suggested, const char* typed, int32_t filterIndex) {
        headless::FileDialogAnswer answer;
        answer.paths = {String(typed)};
        answer.filterIndex = filterIndex;
        headless::QueueFileDialogAnswer(answer);
        String folder("/pics");
        String name(suggested ? suggested : "");
        String result;
        EXPECT_TRUE(FileDialog(result, true, false, SaveFilterList(), &folder, suggested ? &name : nullptr));
        return result;
    }
};

}  // namespace

TEST_F(Dialogs, SaveStartsWithTheSuggestedNameAndItsType) {
    String result = Save("cat.jpg", "/pics/cat.jpg", -1);
    EXPECT_EQ(result, "/pics/cat.jpg");
    ASSERT_EQ(headless::FileDialogs().size(), 1u);
    const FileDialogRequest& r = headless::FileDialogs()[0];
    EXPECT_TRUE(r.save);
    EXPECT_FALSE(r.multiSelect);
    EXPECT_EQ(r.filterIndex, 2);  // 1-based: "JPG/JPEG"
    EXPECT_TRUE(r.hasInitialFolder);
    EXPECT_EQ(r.initialFolder, "/pics");
    EXPECT_EQ(r.initialName, "cat.jpg");
    ASSERT_EQ(r.filters.size(), 5u);
    EXPECT_EQ(r.filters[1].description, "JPG/JPEG");
    EXPECT_EQ(r.filters[1].patterns, "*.jpg;*.jpeg");
}

TEST_F(Dialogs, SaveExtensionRules) {
    // Switching the type while keeping the suggested name changes the extension.
    EXPECT_EQ(Save("cat.jpg", "/pics/cat.jpg", 3), "/pics/cat.png");
    EXPECT_EQ(Save("cat.jpg", "/pics/CAT.JPG", 3), "/pics/CAT.png");
    // A typed listed extension stays, whatever the type.
    EXPECT_EQ(Save("cat.jpg", "/pics/cat.PNG", 2), "/pics/cat.PNG");
    EXPECT_EQ(Save("cat.jpg", "/pics/dog.jpg", 3), "/pics/dog.jpg");
    // No listed extension: the chosen type's is appended.
    EXPECT_EQ(Save("cat.jpg", "/pics/cat", 5), "/pics/cat.tga");
    EXPECT_EQ(Save("cat.jpg", "/pics/cat.xyz", 1), "/pics/cat.xyz.bmp");
    EXPECT_EQ(Save(nullptr, "/pics/cat", 4), "/pics/cat.tif");
    EXPECT_EQ(Save(nullptr, "/pics/cat.bmp", 4), "/pics/cat.bmp");
    EXPECT_EQ(headless::FileDialogs().back().filterIndex, 0);  // no suggested name: no type chosen
    EXPECT_FALSE(headless::FileDialogs().back().initialName.length);
}

TEST_F(Dialogs, CancelLeavesAnEmptyResult) {
    String result("stale");
    String folder("/pics");
    EXPECT_FALSE(FileDialog(result, false, true, OpenFilterList(), &folder, nullptr));  // none queued
    EXPECT_EQ(result.length, 0);
    headless::FileDialogAnswer cancelled;
    cancelled.confirmed = false;
    cancelled.paths = {String("/pics/a.jpg")};
    headless::QueueFileDialogAnswer(cancelled);
    EXPECT_FALSE(FileDialog(result, false, false, OpenFilterList(), nullptr, nullptr));
    EXPECT_FALSE(headless::FileDialogs().back().hasInitialFolder);
}

TEST_F(Dialogs, MultipleSelectionGivesFolderThenNames) {
    headless::FileDialogAnswer answer;
    answer.paths = {String("/pics/b.jpg"), String("/pics/a.png"), String("/pics/c.tif")};
    headless::QueueFileDialogAnswer(answer);
    String result;
    ASSERT_TRUE(FileDialog(result, false, true, OpenFilterList(), nullptr, nullptr));
    EXPECT_EQ(std::string(result.chars(), static_cast<size_t>(result.length)),
              std::string("/pics\0b.jpg\0a.png\0c.tif", 23));

    answer.paths = {String("/pics/only.jpg")};
    headless::QueueFileDialogAnswer(answer);
    ASSERT_TRUE(FileDialog(result, false, true, OpenFilterList(), nullptr, nullptr));
    EXPECT_EQ(result, "/pics/only.jpg");

    // From different folders (a search view): folder + "/" + name still
    // names every file ("//" is "/" in a path).
    answer.paths = {String("/pics/x/a.jpg"), String("/pics/y/b.jpg"), String("/c.jpg")};
    headless::QueueFileDialogAnswer(answer);
    ASSERT_TRUE(FileDialog(result, false, true, OpenFilterList(), nullptr, nullptr));
    PointerArray* parts = result.Split(0);
    ASSERT_EQ(parts->count, 4);
    std::string folder = parts->At<String>(0)->str();
    for (int i = 1; i < 4; ++i) {
        std::string joined = folder + "/" + parts->At<String>(i)->str();
        for (size_t at; (at = joined.find("//")) != std::string::npos;)
            joined.erase(at, 1);
        EXPECT_EQ(joined, answer.paths[size_t(i - 1)].str());
    }
    DeleteStrings(parts);
}

TEST_F(Dialogs, SingleOpenReturnsThePath) {
    headless::FileDialogAnswer answer;
    answer.paths = {String("/pics/a b.jpg")};
    headless::QueueFileDialogAnswer(answer);
    String result;
    ASSERT_TRUE(FileDialog(result, false, false, OpenFilterList(), nullptr, nullptr));
    EXPECT_EQ(result, "/pics/a b.jpg");
    EXPECT_FALSE(headless::FileDialogs().back().multiSelect);
}

// Message boxes

TEST_F(Dialogs, MessageBoxesCarryCaptionIconAndDefault) {
    ShowMessage("Couldn't find file /x.jpg", true);
    ShowMessage("Done", false);
    EXPECT_FALSE(AskYesNo("Replace?", false, true));  // nothing queued: the default, No
    EXPECT_TRUE(AskYesNo("Continue?", true, false));  // default Yes
    headless::QueueMessageBoxAnswer(true);
    headless::QueueMessageBoxAnswer(false);
    EXPECT_TRUE(AskYesNo("Replace?", false, true));
    EXPECT_FALSE(AskYesNo("Continue?", true, false));

    const auto& boxes = headless::MessageBoxes();
    ASSERT_EQ(boxes.size(), 6u);
    for (const auto& box : boxes)
        EXPECT_EQ(box.request.caption, "Vistrel");
    EXPECT_EQ(boxes[0].request.text, "Couldn't find file /x.jpg");
    EXPECT_FALSE(boxes[0].request.yesNo);
    EXPECT_EQ(boxes[0].request.icon, MessageIcon::Warning);
    EXPECT_EQ(boxes[1].request.icon, MessageIcon::None);
    EXPECT_TRUE(boxes[2].request.yesNo);
    EXPECT_FALSE(boxes[2].request.yesIsDefault);
    EXPECT_EQ(boxes[2].request.icon, MessageIcon::Warning);
    EXPECT_TRUE(boxes[3].request.yesIsDefault);
    EXPECT_EQ(boxes[3].request.icon, MessageIcon::Question);
}
