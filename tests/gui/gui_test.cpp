// The GTK backend on a private X server: Xvfb with openbox as the window
// manager (focus, the minimum size and the close box need one), driven with
// xdotool and checked with screenshots. Each test starts its own server, so
// tests may run in parallel and never touch the user's desktop.

#include "x_session.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef GUI_PROBE
#error "GUI_PROBE must name the probe program"
#endif

namespace {

using namespace x11;

class GtkBackend : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(session_.Start()) << session_.Error();
        dir_ = session_.Folder();
        commands_ = dir_ + "/commands";
        log_ = dir_ + "/probe.log";
        std::ofstream(commands_).flush();
        probe_ = Spawn({GUI_PROBE, commands_, log_}, dir_ + "/probe.out");
        ASSERT_TRUE(WaitForLine("ready 800 600")) << Log();
        window_ = session_.FindWindow("^Vistrel$");
        ASSERT_FALSE(window_.empty());
        ASSERT_TRUE(WaitForLine("active 1")) << Log();
    }

    void TearDown() override { Stop(probe_); }

    std::string Log() const {
        std::ifstream in(log_);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::vector<std::string> Lines(const std::string& prefix) const {
        std::vector<std::string> lines;
        std::istringstream in(Log());
        for (std::string line; std::getline(in, line);) {
            if (line.compare(0, prefix.size(), prefix) == 0)
                lines.push_back(line);
        }
        return lines;
    }
    bool WaitForLine(const std::string& line) const {
        return WaitUntil([&] {
            std::string log = "\n" + Log();
            return log.find("\n" + line + "\n") != std::string::npos;
        });
    }
    void Send(const std::string& command) { std::ofstream(commands_, std::ios::app) << command << "\n"; }

    // The main window's client area: the bottom of the window, below the
    // menu bar, at the size the probe last reported.
    Geometry ClientArea() const {
        Geometry g = WindowGeometry(window_);
        std::vector<std::string> resizes = Lines("resize ");
        int width = 800, height = 600;
        if (!resizes.empty())
            std::sscanf(resizes.back().c_str(), "resize %d %d", &width, &height);
        return {g.x, g.y + g.height - height, width, height};
    }

    std::vector<uint32_t> Pixels(const std::vector<std::pair<int, int>>& points) const {
        return session_.Pixels(points);
    }

    int ProbeExitStatus() { return WaitForExit(probe_); }

    Session session_;
    std::string dir_, commands_, log_, window_;
    pid_t probe_ = 0;
};

constexpr uint32_t Green = 0x204020;

}  // namespace

TEST_F(GtkBackend, MainWindowShowsTheBackBufferAt800x600) {
    EXPECT_EQ(Trim(Output("xdotool getwindowname " + window_)), "Vistrel");
    Geometry w = WindowGeometry(window_);
    EXPECT_EQ(w.width, 800);
    EXPECT_GT(w.height, 600);  // the menu bar sits above the client area
    Geometry c = ClientArea();
    // The green fills exactly the client area: its corners are green, the
    // pixels just outside are not.
    std::vector<uint32_t> p = Pixels({{c.x, c.y}, {c.x + 799, c.y}, {c.x, c.y + 599}, {c.x + 799, c.y + 599},
                                      {c.x + 400, c.y + 300}, {c.x + 400, c.y - 1}, {c.x + 800, c.y + 300}});
    ASSERT_EQ(p.size(), 7u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(p[i], Green) << i;
    EXPECT_NE(p[5], Green);
    EXPECT_NE(p[6], Green);
}

TEST_F(GtkBackend, WindowCannotBeMadeSmallerThanTheMinimum) {
    Geometry before = WindowGeometry(window_);
    Xdotool("windowsize " + window_ + " 1000 " + std::to_string(before.height + 100));
    ASSERT_TRUE(WaitForLine("resize 1000 700")) << Log();
    Geometry c = ClientArea();
    std::vector<uint32_t> p = Pixels({{c.x + 999, c.y + 699}, {c.x + 900, c.y + 650}});
    EXPECT_EQ(p, (std::vector<uint32_t>{Green, Green}));

    Xdotool("windowsize " + window_ + " 400 300");
    ASSERT_TRUE(WaitForLine("resize 800 600")) << Log();
    ASSERT_TRUE(WaitUntil([&] { return WindowGeometry(window_).width == 800; })) << Log();
    for (const std::string& line : Lines("resize ")) {
        int width = 0, height = 0;
        std::sscanf(line.c_str(), "resize %d %d", &width, &height);
        EXPECT_GE(width, 800) << line;
        EXPECT_GE(height, 600) << line;
    }
    EXPECT_EQ(WindowGeometry(window_).height, before.height);
}

TEST_F(GtkBackend, ClickArrivesAsOnePressInClientCoordinates) {
    Geometry c = ClientArea();
    Xdotool("mousemove --sync " + std::to_string(c.x + 120) + " " + std::to_string(c.y + 80) + " click 1");
    // A typed marker after the click: once it is in, the click is too.
    Xdotool("type z");
    ASSERT_TRUE(WaitForLine("keys 122")) << Log();
    EXPECT_EQ(Lines("press "), (std::vector<std::string>{"press 1 120 80"})) << Log();
    ASSERT_TRUE(WaitForLine("held 0 120 80")) << Log();

    // A drag that ends outside the window still reports to it.
    Xdotool("mousemove --sync " + std::to_string(c.x + 10) + " " + std::to_string(c.y + 10) + " mousedown 3");
    ASSERT_TRUE(WaitUntil([&] { return !Lines("held 2 ").empty(); })) << Log();
    Xdotool("mousemove --sync " + std::to_string(c.x + 900) + " " + std::to_string(c.y - 20) + " mouseup 3");
    ASSERT_TRUE(WaitForLine("held 0 900 -20")) << Log();
}

TEST_F(GtkBackend, KeysAndWheelFollowTheCodeTable) {
    Xdotool("type a");
    Xdotool("key BackSpace Tab Return Delete Escape F11 F12 F1 F10 Left Next");
    Xdotool("type Z");
    ASSERT_TRUE(WaitUntil([&] { return Log().find(" 90\n") != std::string::npos; })) << Log();
    std::string codes;
    for (const std::string& line : Lines("keys"))
        codes += line.substr(4);
    EXPECT_EQ(codes, " 97 8 9 13 11 12 14 23 1 6 90");

    Geometry c = ClientArea();
    Xdotool("mousemove --sync " + std::to_string(c.x + 50) + " " + std::to_string(c.y + 50) +
            " click 4 click 4 click 4 click 5");
    ASSERT_TRUE(WaitUntil([&] {
        int total = 0;
        for (const std::string& line : Lines("wheel "))
            total += std::atoi(line.c_str() + 6);
        return total == 2;
    })) << Log();
}

TEST_F(GtkBackend, MenuItemDisabledAtRunTimeCannotBeChosen) {
    Send("disable 110");
    ASSERT_TRUE(WaitForLine("done disable 110")) << Log();
    Xdotool("key --delay 200 alt+h a Escape Escape");
    Xdotool("key --delay 200 alt+h c");
    ASSERT_TRUE(WaitForLine("command 106")) << Log();
    EXPECT_TRUE(Lines("command 110").empty()) << Log();
}

TEST_F(GtkBackend, YesNoMessageBoxReturnsTheAnswer) {
    auto dialog = [&] {
        std::string found;
        WaitUntil([&] {
            std::istringstream in(Output("xdotool search --onlyvisible --name '^Vistrel$'"));
            for (std::string id; in >> id;) {
                if (id != window_)
                    found = id;
            }
            return !found.empty();
        });
        return found;
    };
    Send("ask");
    std::string box = dialog();
    ASSERT_FALSE(box.empty()) << Log();
    Xdotool("windowactivate --sync " + box);
    Xdotool("key Return");  // No is the default
    ASSERT_TRUE(WaitForLine("answer no")) << Log();

    Send("ask");
    box = dialog();
    ASSERT_FALSE(box.empty()) << Log();
    Xdotool("windowactivate --sync " + box);
    Xdotool("key alt+y");
    ASSERT_TRUE(WaitForLine("answer yes")) << Log();
    EXPECT_EQ(Lines("answer").size(), 2u);
}

TEST_F(GtkBackend, PopupOpensOverTheMainWindowAndCloses) {
    Send("popup");
    ASSERT_TRUE(WaitForLine("done popup")) << Log();
    std::string popup;
    ASSERT_TRUE(WaitUntil([&] {
        popup = Trim(Output("xdotool search --onlyvisible --name '^Probe pop-up$' | head -1"));
        return !popup.empty() && WindowGeometry(popup).width == 300;
    }));
    Geometry p = WindowGeometry(popup);
    EXPECT_EQ(p.height, 200);
    Geometry c = ClientArea();
    EXPECT_EQ(Pixels({{p.x + 150, p.y + 100}}), (std::vector<uint32_t>{0xC80000}));
    // Placed against the main client area; the window manager may shift it
    // by its frame.
    EXPECT_NEAR(p.x - c.x, 250, 20);
    EXPECT_NEAR(p.y - c.y, 50, 40);
    Xdotool("windowactivate --sync " + popup);
    Xdotool("key Escape");
    ASSERT_TRUE(WaitForLine("popup closed")) << Log();
    EXPECT_TRUE(Lines("main destroyed").empty());
}

TEST_F(GtkBackend, ClosingTheWindowEndsTheProgram) {
    Xdotool("windowactivate --sync " + window_);
    Xdotool("key alt+F4");
    EXPECT_EQ(ProbeExitStatus(), 0) << Log();
    std::string log = Log();
    size_t destroyed = log.find("main destroyed"), teardown = log.find("teardown"), exit = log.find("exit 0");
    ASSERT_NE(destroyed, std::string::npos) << log;
    ASSERT_NE(teardown, std::string::npos) << log;
    ASSERT_NE(exit, std::string::npos) << log;
    EXPECT_LT(destroyed, teardown);
    EXPECT_LT(teardown, exit);
}

TEST_F(GtkBackend, ExitMenuItemEndsTheProgram) {
    Xdotool("key --delay 200 alt+f x");
    EXPECT_EQ(ProbeExitStatus(), 0) << Log();
    std::string log = Log();
    EXPECT_NE(log.find("command 105"), std::string::npos) << log;
    // Here the window outlives the loop and goes with the window manager.
    EXPECT_LT(log.find("teardown"), log.find("main destroyed")) << log;
}

namespace {

// The visible window with this exact title that is not the main window.
std::string FindDialog(const std::string& title, const std::string& mainWindow) {
    std::string found;
    WaitUntil([&] {
        std::istringstream in(Output("xdotool search --onlyvisible --name '^" + title + "$'"));
        for (std::string id; in >> id;) {
            if (id != mainWindow)
                found = id;
        }
        return !found.empty();
    });
    return found;
}

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

}  // namespace

TEST_F(GtkBackend, OpenDialogSelectsSeveralFilesThroughTheFilter) {
    std::string pics = dir_ + "/pics";
    mkdir(pics.c_str(), 0755);
    for (const char* name : {"a.bmp", "B.BMP", "c.jpg", "notes.txt"})
        Touch(pics + "/" + name);

    // A typed path is one file, returned as it is.
    Send("open " + pics);
    std::string box = FindDialog("Open", window_);
    ASSERT_FALSE(box.empty()) << Log();
    Xdotool("windowactivate --sync " + box);
    Xdotool("key ctrl+l");
    Xdotool("type --delay 20 '" + pics + "/c.jpg'");
    Xdotool("key Return");
    ASSERT_TRUE(WaitForLine("opened " + pics + "/c.jpg")) << Log();

    // Select all: the filter hides the text file but not the upper-case
    // name; several files come back as the folder and then the names.
    Send("open " + pics);
    ASSERT_TRUE(WaitUntil([&] { return Lines("opened ").size() == 1 && !FindDialog("Open", window_).empty(); }));
    box = FindDialog("Open", window_);
    Xdotool("windowactivate --sync " + box);
    // The folder fills in the background: until it has, select-all finds
    // nothing and Return does nothing, so try again now and then.
    ASSERT_TRUE(WaitUntil([&] {
        Xdotool("key ctrl+a Return");
        for (int i = 0; i < 20 && Lines("opened ").size() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return Lines("opened ").size() == 2;
    })) << Log();
    std::string line = Lines("opened ")[1];
    std::vector<std::string> parts;
    std::istringstream in(line.substr(7));
    for (std::string part; std::getline(in, part, '|');)
        parts.push_back(part);
    ASSERT_EQ(parts.size(), 4u) << line;
    EXPECT_EQ(parts[0], pics);
    std::sort(parts.begin() + 1, parts.end());
    EXPECT_EQ(parts, (std::vector<std::string>{pics, "B.BMP", "a.bmp", "c.jpg"}));
}

TEST_F(GtkBackend, SaveDialogStartsWithTheSuggestedNameAndType) {
    std::string pics = dir_ + "/pics";
    mkdir(pics.c_str(), 0755);
    Touch(pics + "/cat.jpg");

    // Accepting the suggestion over an existing file asks nothing here: the
    // program asks its own question.
    Send("save " + pics + "|cat.jpg");
    std::string box = FindDialog("Save As", window_);
    ASSERT_FALSE(box.empty()) << Log();
    Xdotool("windowactivate --sync " + box);
    Xdotool("key Return");
    ASSERT_TRUE(WaitForLine("saved " + pics + "/cat.jpg")) << Log();

    // A name typed without an extension gets the preselected type's.
    Send("save " + pics + "|cat.jpg");
    ASSERT_TRUE(WaitUntil([&] { return !FindDialog("Save As", window_).empty(); }));
    box = FindDialog("Save As", window_);
    Xdotool("windowactivate --sync " + box);
    Xdotool("key ctrl+a");
    Xdotool("type --delay 20 dog");
    Xdotool("key Return");
    ASSERT_TRUE(WaitForLine("saved " + pics + "/dog.jpg")) << Log();

    Send("save " + pics + "|cat.jpg");
    ASSERT_TRUE(WaitUntil([&] { return !FindDialog("Save As", window_).empty(); }));
    box = FindDialog("Save As", window_);
    Xdotool("windowactivate --sync " + box);
    Xdotool("key Escape");
    ASSERT_TRUE(WaitForLine("cancelled")) << Log();
}

TEST_F(GtkBackend, DesktopHandlerOpensWebAddresses) {
    // A fake browser registered the way desktops register one.
    std::string script = dir_ + "/fake-browser";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > \"" << dir_ << "/opened.tmp\"\n"
                          << "mv \"" << dir_ << "/opened.tmp\" \"" << dir_ << "/opened\"\n";
    chmod(script.c_str(), 0755);
    mkdir((dir_ + "/data/applications").c_str(), 0755);
    std::ofstream(dir_ + "/data/applications/fake-browser.desktop")
        << "[Desktop Entry]\nType=Application\nName=Fake browser\nExec=" << script
        << " %u\nMimeType=x-scheme-handler/https;\n";
    std::ofstream(dir_ + "/config/mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/https=fake-browser.desktop\n";

    std::string url = "https://example.org/help?a=1&b=$(x)";
    Send("browse " + url);
    ASSERT_TRUE(WaitForLine("browse 1")) << Log();
    std::string opened = dir_ + "/opened";
    ASSERT_TRUE(WaitUntil([&] { return access(opened.c_str(), F_OK) == 0; }));
    std::ifstream in(opened);
    std::string received((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(received, url);

    // Nothing handles this scheme: not accepted.
    Send("browse vistrel-none://x");
    ASSERT_TRUE(WaitForLine("browse 0")) << Log();
}

TEST_F(GtkBackend, DroppedUriListGivesTheLocalFilesDecodedInOrder) {
    Send("drop file:///tmp/b%20c%C3%A9.png|https://example.org/x.png|file://elsewhere/y.png|"
         "file://localhost/tmp/a.jpg");
    ASSERT_TRUE(WaitForLine("done drop")) << Log();
    std::vector<std::string> drops = Lines("dropped");
    ASSERT_EQ(drops.size(), 1u) << Log();
    EXPECT_EQ(drops[0], "dropped [/tmp/b c\xC3\xA9.png] [/tmp/a.jpg]");

    // Nothing local: nothing reaches the program (the next drop shows the
    // probe got that far).
    Send("drop https://example.org/x.png");
    Send("drop file:///tmp/z.png");
    ASSERT_TRUE(WaitForLine("dropped [/tmp/z.png]")) << Log();
    EXPECT_EQ(Lines("dropped").size(), 2u);
}

TEST_F(GtkBackend, FilesDraggedFromAnotherProgramArriveThroughXdnd) {
    pid_t source = Spawn({DRAG_SOURCE, "file:///tmp/photo%201.jpg", "file:///tmp/photo2.png"}, dir_ + "/source.out");
    std::string sourceWindow = session_.FindWindow("^Drag source$");
    ASSERT_FALSE(sourceWindow.empty());
    Geometry from = WindowGeometry(sourceWindow);
    Geometry to = ClientArea();
    // Press on the button, move in steps past GTK's drag threshold and over
    // the main window, then release there.
    Xdotool("mousemove --sync " + std::to_string(from.x + from.width / 2) + " " +
            std::to_string(from.y + from.height / 2) + " mousedown 1");
    for (int step = 1; step <= 10; ++step) {
        int x = from.x + from.width / 2 + (to.x + 300 - from.x - from.width / 2) * step / 10;
        int y = from.y + from.height / 2 + (to.y + 300 - from.y - from.height / 2) * step / 10;
        Xdotool("mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Xdotool("mouseup 1");
    EXPECT_TRUE(WaitForLine("dropped [/tmp/photo 1.jpg] [/tmp/photo2.png]")) << Log();
    Stop(source);
}
