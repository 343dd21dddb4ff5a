#include "platform/browser.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/win32/command_line_win32.h"
#include "platform/win32/window_placement_win32.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

// What CommandLineToArgvW and the C runtime give back for each quoted form.
TEST(CommandLine, QuotedArgumentsSurviveSplitting) {
    for (const auto& [argument, quoted] : {std::pair{"https://example.org/", "\"https://example.org/\""}, {"", "\"\""},
             {"C:\\Program Files\\Vistrel\\Help\\index.html", "\"C:\\Program Files\\Vistrel\\Help\\index.html\""},
             {"a\"b", "\"a\\\"b\""}, {"a\\\"b", "\"a\\\\\\\"b\""},  // a\"b
             {"C:\\dir\\", "\"C:\\dir\\\\\""}})                        // a closing backslash doubles
        EXPECT_EQ(QuoteArgument(argument), quoted) << argument;
    // The placeholder, bare or quoted, becomes the quoted target; without one the target is appended.
    const std::string page = "\"C:\\A B\\x.html\"";
    for (const char* command : {"\"C:\\b.exe\" --single-argument %1", "\"C:\\b.exe\" --single-argument \"%1\"",
                                "\"C:\\b.exe\" --single-argument %L", "\"C:\\b.exe\" --single-argument"})
        EXPECT_EQ(BrowserCommandLine(command, "C:\\A B\\x.html"), "\"C:\\b.exe\" --single-argument " + page) << command;
    EXPECT_EQ(BrowserCommandLine("b.exe -url=%l %* 100%% %2", "x"), "b.exe -url=\"x\"  100% ");
}

// The work area of 1366 x 768 at 125 % as an unscaled program sees it, of a full-HD screen, and of a monitor left of
// the main one with its taskbar at the top.
TEST(WindowPlacement, TheWindowMovesIntoTheWorkAreaTitleBarFirst) {
    auto same = [](RECT a, RECT b) { return EqualRect(&a, &b) != 0; };
    EXPECT_TRUE(same(PlaceInWorkArea({42, 22, 858, 560}, {0, 0, 1093, 582}), {42, 22, 858, 560}));
    EXPECT_TRUE(same(PlaceInWorkArea({42, 22, 858, 691}, {0, 0, 1093, 582}), {42, 0, 858, 669}));
    EXPECT_TRUE(same(PlaceInWorkArea({600, 300, 1416, 838}, {0, 0, 1366, 728}), {550, 190, 1366, 728}));
    EXPECT_TRUE(same(PlaceInWorkArea({-2000, 10, -1184, 548}, {-1920, 40, 0, 1080}), {-1920, 40, -1104, 578}));
}

namespace {

// The browser command under the classes root is pointed at a recorder for each test and removed afterwards.
class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        dir_ = AbsolutePath(MakeScratchFolder("vistrel-browser").c_str()).str();
        ASSERT_FALSE(dir_.empty());
        out_ = dir_ + "\\args.txt";
    }
    void TearDown() override {
        (void)std::system("reg delete HKCR\\http\\shell\\open\\command /f >NUL 2>&1");
        RemoveScratchFolder(dir_);
        headless::Reset();
    }
    static void SetBrowserCommand(const std::string& command) {
        std::string escaped;
        for (char c : command)
            escaped += c == '"' ? std::string("\\\"") : std::string(1, c);
        std::string reg = "reg add HKCR\\http\\shell\\open\\command /ve /f /d \"" + escaped + "\" >NUL";
        ASSERT_EQ(0, std::system(reg.c_str())) << reg;
    }
    std::string Recorder() const { return AbsolutePath(ARGS_RECORDER).str(); }
    std::vector<std::string> Arguments() const {
        for (int i = 0; i < 2000 && !std::filesystem::exists(out_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::ifstream in(std::filesystem::u8path(out_));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string dir_, out_;
};

}  // namespace

// Commands as Windows stores them: the target takes the place of "%1" or
// "%L" (or comes last when there is no placeholder).
TEST_F(Browser, StoredCommandGetsTheTargetAsOneArgument) {
    // A help page under a folder with a space, named in a script outside any ANSI code page.
    const std::string target = "C:\\Program Files\\\xd0\xa4\xd0\xbe\xd1\x82\xd0\xbe\\Help\\index.html";
    const std::string start = "\"" + Recorder() + "\" \"" + out_ + "\" --single-argument ";
    for (const char* tail : {"%1", "\"%L\"", ""}) {
        SetBrowserCommand(start + tail);
        EXPECT_TRUE(OpenInBrowser(target.c_str()));
        EXPECT_EQ(Arguments(), (std::vector<std::string>{"--single-argument", target})) << tail;
        std::filesystem::remove(std::filesystem::u8path(out_));
    }
    EXPECT_TRUE(headless::DesktopRequests().empty());
}

TEST_F(Browser, NoUsableCommandFallsBackToTheShell) {
    SetBrowserCommand("\"" + dir_ + "\\no-such-browser.exe\" %1");
    EXPECT_TRUE(OpenInBrowser("https://example.org/"));
    EXPECT_EQ(headless::DesktopRequests(), std::vector<String>{"https://example.org/"});

    (void)std::system("reg delete HKCR\\http\\shell\\open\\command /f >NUL 2>&1");
    headless::SetDesktopHandlerAccepts(false);
    EXPECT_FALSE(OpenInBrowser("https://example.org/"));
    EXPECT_EQ(headless::DesktopRequests().size(), 2u);
}
