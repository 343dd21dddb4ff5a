#include "platform/browser.h"
#include "platform/headless.h"
#include "platform/program_arguments.h"
#include "platform/user_folders.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using V = std::vector<std::string>;

// The desktop's own pictures folder first, then ~/Pictures, then home: whichever exists.
TEST(PicturesFolder, TheDesktopsChoiceThenPicturesThenHome) {
    const std::string home = MakeScratchFolder("vistrel-home");
    ASSERT_FALSE(home.empty());
    // The environment is put back as it was, set or not.
    std::vector<std::pair<const char*, std::string>> saved;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"})
        if (const char* value = std::getenv(name)) saved.emplace_back(name, value);
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    mkdir((home + "/.config").c_str(), 0755);
    std::ofstream(home + "/.config/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                      "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                      "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n";
    for (const char* folder : {"/Desktop", "/Fotos", "/Pictures"}) mkdir((home + folder).c_str(), 0755);
    for (const std::string chosen : {"/Fotos", "/Pictures"}) {
        EXPECT_EQ(PicturesFolder().str(), home + chosen);
        rmdir((home + chosen).c_str());
    }
    EXPECT_EQ(PicturesFolder().str(), home);
    // A path of its own rather than one under $HOME.
    std::ofstream(home + "/.config/user-dirs.dirs") << "XDG_PICTURES_DIR=\"" + home + "/Desktop\"\n";
    EXPECT_EQ(PicturesFolder().str(), home + "/Desktop");
    unsetenv("HOME");
    for (const auto& [name, value] : saved) setenv(name, value.c_str(), 1);
    RemoveScratchFolder(home);
}

TEST(CommandLine, SplitsWordsAndHonoursQuotes) {
    EXPECT_EQ(SplitCommandLine("  /usr/bin/firefox   -new-tab "), (V{"/usr/bin/firefox", "-new-tab"}));
    EXPECT_EQ(SplitCommandLine("\"/opt/My Browser/run\" --x='a b' %s"), (V{"/opt/My Browser/run", "--x=a b", "%s"}));
    EXPECT_EQ(SplitCommandLine("a\\ b \"q\\\"x\" ''"), (V{"a b", "q\"x", ""}));
    // Between double quotes a backslash escapes only " and itself; between single quotes nothing.
    EXPECT_EQ(SplitCommandLine("\"s\\\\l\\a\" 's\\\"q'"), (V{"s\\l\\a", "s\\\"q"}));
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

namespace {

class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        dir_ = MakeScratchFolder("vistrel-browser");
        ASSERT_FALSE(dir_.empty());
        script_ = dir_ + "/fake browser";
        std::ofstream(script_) << "#!/bin/sh\n"
                                  "out=\"$(dirname \"$0\")/args\"\n"
                                  "ls -l /proc/$$/fd > \"$out.fds\"\n"
                                  "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.tmp\"\n"
                                  "mv \"$out.tmp\" \"$out\"\n";
        chmod(script_.c_str(), 0755);
    }
    void TearDown() override {
        unsetenv("BROWSER");  // every test sets its own
        RemoveScratchFolder(dir_);
        headless::Reset();
    }
    std::string Quoted() const { return "'" + script_ + "'"; }
    // Processes whose parent is this one, zombies among them.
    static int Children() {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::string stat;
            std::getline(std::ifstream(entry.path() / "stat"), stat);
            int parent = 0;
            const size_t name = stat.rfind(')');
            n += name != std::string::npos && std::sscanf(stat.c_str() + name + 1, " %*c %d", &parent) == 1 &&
                 parent == getpid();
        }
        return n;
    }

    std::string dir_, script_;
};

}  // namespace

TEST(BrowserList, SplitsOnColonsAndPlacesTheTarget) {
    EXPECT_EQ(SplitBrowserList("firefox:'/opt/w3m' -o x::lynx"), (V{"firefox", "'/opt/w3m' -o x", "lynx"}));
    EXPECT_TRUE(SplitBrowserList("::").empty());
    // "%s" takes the target's place, with no extra argument after it.
    EXPECT_EQ(BrowserArguments("b --url=%s --x=100%%", "u"), (V{"b", "--url=u", "--x=100%"}));
    EXPECT_EQ(BrowserArguments("b -n %u", "u"), (V{"b", "-n", "%u", "u"}));
    EXPECT_EQ(BrowserArguments("b --x=100%%", "u"), (V{"b", "--x=100%", "u"}));
    EXPECT_TRUE(BrowserArguments("  ", "u").empty());
}

TEST_F(Browser, WithoutADesktopHandlerTheBrowserListIsTriedInOrder) {
    headless::SetDesktopHandlerAccepts(false);
    // Shell syntax in the target must reach the browser untouched.
    const char* target = "https://example.org/a b?q=$(touch pwned);x`id`&y=1";
    setenv("BROWSER", (dir_ + "/no-such-browser:" + Quoted() + " --new-window %s").c_str(), 1);
    const int held = ::open((dir_ + "/held").c_str(), O_RDWR | O_CREAT, 0600);  // not close-on-exec
    EXPECT_TRUE(OpenInBrowser(target));
    for (int i = 0; i < 2000 && access((dir_ + "/args").c_str(), F_OK) != 0; ++i)  // the browser runs on its own
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(ReadFileBytes(dir_ + "/args"), "--new-window\n" + std::string(target) + "\n");
    ::close(held);
    EXPECT_TRUE(held >= 0 && ReadFileBytes(dir_ + "/args.fds").find("/held") == std::string::npos) << "inherited";
    EXPECT_NE(access("pwned", F_OK), 0);
    for (int i = 0; i < 2000 && Children() > 0; ++i)  // waited for once it ends, so no zombie stays behind
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(0, Children());

    unsetenv("BROWSER");
    EXPECT_FALSE(OpenInBrowser("https://example.org/"));
    setenv("BROWSER", (dir_ + "/no-such-browser:" + dir_ + "/nor-this").c_str(), 1);
    EXPECT_FALSE(OpenInBrowser("https://example.org/"));
    EXPECT_EQ(headless::DesktopRequests().size(), 3u);
}

TEST(ProgramArguments, EveryArgumentAfterTheProgramsName) {
    char program[] = "vistrel", a[] = "a.png", b[] = "b c.png";
    char* argv[] = {program, a, b, nullptr};
    EXPECT_EQ(ProgramArguments(3, argv), (std::vector<std::string>{"a.png", "b c.png"}));
    EXPECT_TRUE(ProgramArguments(1, argv).empty() && ProgramArguments(0, argv).empty());
}
