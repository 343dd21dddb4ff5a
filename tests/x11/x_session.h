#pragma once

// A private X session for tests of the desktop program: Xvfb with openbox as
// the window manager (focus, the minimum size and the close box need one),
// driven with xdotool and checked with screenshots. Each session has its
// own server and home folder, so tests may run in parallel and never touch
// the user's desktop.

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace x11 {

// Generous: a loaded CI machine can be slow, and waiting longer never makes
// a test pass that should fail.
constexpr int WaitLimitMs = 30000;

// Starts a program with its output appended to a file; keepFd stays open in
// the child.
pid_t Spawn(const std::vector<std::string>& args, const std::string& output, int keepFd = -1);
// Ends a program (TERM, then KILL) and reaps it.
void Stop(pid_t& pid);
// Waits up to the limit for a program to end; its exit status, or -1.
int WaitForExit(pid_t& pid, int limitMs = WaitLimitMs);
// Standard output of a shell command.
std::string Output(const std::string& command);
bool WaitUntil(const std::function<bool()>& condition, int limitMs = WaitLimitMs);
std::string Trim(std::string s);
void Xdotool(const std::string& args);

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};
Geometry WindowGeometry(const std::string& window);

class Session {
public:
    // Creates the home folder and starts Xvfb and openbox; false when either
    // does not come up (the reason is in Error()).
    bool Start();
    ~Session();

    const std::string& Folder() const { return dir_; }
    const std::string& Error() const { return error_; }

    // The id of the first visible window whose title matches the regular
    // expression, waiting for it; empty when none appears.
    std::string FindWindow(const std::string& titlePattern, int limitMs = WaitLimitMs) const;
    // Saves the whole screen as a PNG.
    bool Screenshot(const std::string& path) const;
    // Screen pixels as 0xRRGGBB, from one screenshot.
    std::vector<uint32_t> Pixels(const std::vector<std::pair<int, int>>& points) const;

private:
    std::string dir_, error_;
    pid_t xvfb_ = 0, openbox_ = 0;
};

}  // namespace x11
