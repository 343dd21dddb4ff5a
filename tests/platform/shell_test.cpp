#include "platform/file_dialog.h"
#include "platform/headless.h"
#include "platform/menu_table.h"
#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

TEST(ProgramFolder, CutsAfterTheLastSeparator) {
    for (const auto& [path, length, folder] : {std::tuple{"/opt/vistrel/bin/vistrel", 24, "/opt/vistrel/bin/"},
             {"C:\\Programs\\Vistrel\\vistrel.exe", 31, "C:\\Programs\\Vistrel\\"}, {"/a\\b/c", 6, "/a\\b/"},
             {"vistrel", 7, ""}, {"/x", -1, ""}})  // the last: the lookup failed
        EXPECT_EQ(ProgramFolderFromPath(path, length), folder) << path;
    // A path that fills the lookup's buffer may have been cut.
    const std::string longest(static_cast<size_t>(ProgramPathBufferSize), '/');
    EXPECT_EQ(ProgramFolderFromPath(longest.c_str(), ProgramPathBufferSize - 2).length, ProgramPathBufferSize - 2);
    EXPECT_EQ(ProgramFolderFromPath(longest.c_str(), ProgramPathBufferSize - 1), "");
}

TEST(FileFilter, FindFilterIndex) {
    // Any case; the whole extension must match.
    const std::pair<const char*, int32_t> save[] = {{"cat.bmp", 0}, {"cat.JPEG", 1}, {"a.b/cat.Tif", 3}, {"cat.tga", 4},
                                                   {"cat.jp", -1},  {"cat.jpgx", -1}, {"cat", -1},     {"cat.", -1},
                                                   {"xbmp", -1}, {".tga", 4}};  // no dot at all; nothing before it
    for (const auto& [name, index] : save) EXPECT_EQ(FindFilterIndex(name, SaveFilterList()), index) << name;
    EXPECT_EQ(FindFilterIndex("cat.png", OpenFilterList()), 0);  // "All supported types" comes first
    EXPECT_EQ(FindFilterIndex("cat.gif", OpenFilterList()), -1);
    EXPECT_EQ(FindFilterIndex("a.zz", String("Z\0*.zZ\0\0", 8)), 0);  // letters up to z and Z
    for (const String* list : {&OpenFilterList(), &SaveFilterList()})  // the last text's NUL, then the list's
        EXPECT_EQ(0, std::memcmp(list->data + list->length - 2, "\0\0", 2));
}

// GTK's menu labels: "&" marks the mnemonic, "&&" is a literal "&" and a literal "_" must be doubled.
TEST(MenuLabel, MnemonicsAreMarkedTheGtkWay) {
    for (const auto& [label, gtk] : {std::pair{"&File", "_File"}, {"Save &As...", "Save _As..."},
                                     {"Salt && &Pepper", "Salt & _Pepper"}, {"my_photo", "my__photo"}, {"end&", "end"}})
        EXPECT_EQ(MnemonicLabel(label), gtk) << label;
}

// The file dialog's front end on the headless backend.

namespace {

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override { headless::Reset(); }
    void TearDown() override { headless::Reset(); }

    static String Save(const char* suggested, const char* typed, int32_t filterIndex) {
        headless::QueueFileDialogAnswer({true, {String(typed)}, filterIndex});
        String folder("/pics"), name(suggested ? suggested : ""), result;
        EXPECT_TRUE(FileDialog(result, true, false, SaveFilterList(), &folder, suggested ? &name : nullptr));
        return result;
    }
};

}  // namespace

TEST_F(Dialogs, SaveExtensionRules) {
    // Switching the type while keeping the suggested name changes the extension; a typed listed extension stays,
    // whatever the type; without one the chosen type's is appended, a typed dot not doubled.
    for (auto [suggested, typed, filter, saved] :
         {std::tuple<const char*, const char*, int32_t, const char*>{"cat.jpg", "/pics/cat.jpg", 3, "/pics/cat.png"},
          {"cat.jpg", "/pics/CAT.JPG", 3, "/pics/CAT.png"}, {"cat.jpg", "C:\\pics\\cat.jpg", 3, "C:\\pics\\cat.png"},
          {"cat.jpg", "/pics/cat.PNG", 2, "/pics/cat.PNG"}, {"cat.jpg", "/pics/dog.jpg", 3, "/pics/dog.jpg"},
          {"cat.jpg", "/pics/cat", 5, "/pics/cat.tga"}, {"cat.jpg", "/pics/cat.", 5, "/pics/cat.tga"},
          {"cat.jpg", "/pics/cat.xyz", 1, "/pics/cat.xyz.bmp"}, {nullptr, "/pics/cat", 4, "/pics/cat.tif"},
          {nullptr, "/pics/cat.bmp", 4, "/pics/cat.bmp"}})  // the last two with no suggested name: no type chosen
        EXPECT_EQ(Save(suggested, typed, filter), saved) << typed;
    const String& list = SaveFilterList();  // a type one past the list's end (no dialog answers one) appends nothing
    EXPECT_EQ(Save(nullptr, "/pics/cat", int32_t(std::count(list.chars(), list.chars() + list.length, 0) / 2 + 1)),
              "/pics/cat");
    EXPECT_TRUE(headless::FileDialogs().back().filterIndex == 0 && !headless::FileDialogs().back().initialName.length);
}

TEST_F(Dialogs, MultipleSelectionGivesFolderThenNames) {
    String result;
    const auto open = [&result](const headless::FileDialogAnswer& a) {
        return headless::QueueFileDialogAnswer(a), FileDialog(result, false, true, OpenFilterList(), nullptr, nullptr);
    };
    headless::FileDialogAnswer answer{true, {String("/pics/b.jpg"), String("/pics/a.png"), String("/pics/c.tif")}};
    ASSERT_TRUE(open(answer));
    EXPECT_EQ(result.str(), std::string("/pics\0b.jpg\0a.png\0c.tif", 23));

    answer.paths = {String("/pics/only.jpg")};
    ASSERT_TRUE(open(answer));
    EXPECT_EQ(result, "/pics/only.jpg");
#ifdef _WIN32  // the folder of Windows paths ends at its last "\"
    answer.paths = {String("C:\\My pics\\b.jpg"), String("C:\\My pics\\a.png")};
    ASSERT_TRUE(open(answer));
    EXPECT_EQ(result.str(), std::string("C:\\My pics\0b.jpg\0a.png", 22));
#endif

    // From different folders (a search view): folder + "/" + name still names every file ("//" is "/" in a path).
    answer.paths = {String("/pics/x/a.jpg"), String("/pics/y/b.jpg"), String("/c.jpg")};
    ASSERT_TRUE(open(answer));
    PointerArray* parts = result.Split(0);
    ASSERT_EQ(parts->count, 4);
    std::string folder = parts->At<String>(0)->str();
    for (int i = 1; i < 4; ++i) {
        std::string joined = folder + "/" + parts->At<String>(i)->str();
        for (size_t at; (at = joined.find("//")) != std::string::npos;) joined.erase(at, 1);
        EXPECT_EQ(joined, answer.paths[size_t(i - 1)].str());
    }
    DeleteStrings(parts);

    // Cancelled, nothing chosen, an empty name or one holding a NUL: nothing.
    const headless::FileDialogAnswer nothing[] = {{false, {String("/pics/a.jpg")}}, {true, {}}, {true, {String("")}},
                                                  {true, {String("/pics/a.jpg"), String("a\0b", 3)}}};
    for (const headless::FileDialogAnswer& a : nothing) EXPECT_TRUE(!open(a) && result.length == 0);
}
