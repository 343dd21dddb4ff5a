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
