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

    int ProbeExitStatus() { return WaitForExit(probe_); }

    Session session_;
    std::string dir_, commands_, log_, window_;
    pid_t probe_ = 0;
};

}  // namespace

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
