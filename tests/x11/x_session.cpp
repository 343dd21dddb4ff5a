#include "x_session.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

namespace x11 {

pid_t Spawn(const std::vector<std::string>& args, const std::string& output, int keepFd) {
    pid_t pid = fork();
    if (pid == 0) {
        int out = open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
        }
        int null = open("/dev/null", O_RDONLY);
        if (null >= 0)
            dup2(null, 0);
        for (int fd = 3; fd < 1024; ++fd) {
            if (fd != keepFd)
                close(fd);
        }
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

void Stop(pid_t& pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = 0;
}

int WaitForExit(pid_t& pid, int limitMs) {
    int status = -1;
    if (pid <= 0 || !WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limitMs))
        return -1;
    pid = 0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Output(const std::string& command) {
    std::string result;
    if (FILE* p = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
            result.append(buffer, n);
        pclose(p);
    }
    return result;
}

bool WaitUntil(const std::function<bool()>& condition, int limitMs) {
    auto start = std::chrono::steady_clock::now();
    while (!condition()) {
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(limitMs))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    return true;
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

void Xdotool(const std::string& args) { (void)std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

Geometry WindowGeometry(const std::string& window) {
    Geometry g;
    std::istringstream in(Output("xwininfo -id " + window));
    for (std::string line; std::getline(in, line);) {
        auto value = [&](const char* key, int& field) {
            size_t at = line.find(key);
            if (at != std::string::npos)
                field = std::atoi(line.c_str() + at + std::strlen(key));
        };
        value("Absolute upper-left X:", g.x);
        value("Absolute upper-left Y:", g.y);
        value("Width:", g.width);
        value("Height:", g.height);
    }
    return g;
}

bool Session::Start() {
    char pattern[] = "/tmp/vistrel-x11-XXXXXX";
    if (!mkdtemp(pattern)) {
        error_ = "no temporary folder";
        return false;
    }
    dir_ = pattern;
    for (const char* sub : {"/data", "/config", "/cache", "/run"})
        mkdir((dir_ + sub).c_str(), 0700);
    setenv("HOME", dir_.c_str(), 1);
    setenv("XDG_DATA_HOME", (dir_ + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dir_ + "/cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("BROWSER");

    // Xvfb picks a free display and writes its number to the pipe.
    int fds[2];
    if (pipe(fds) != 0) {
        error_ = "no pipe";
        return false;
    }
    xvfb_ = Spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   "-noreset"},
                  dir_ + "/xvfb.log", fds[1]);
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        error_ = "Xvfb did not start";
        return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);

    openbox_ = Spawn({"openbox"}, dir_ + "/openbox.log");
    if (!WaitUntil([] { return Output("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos; })) {
        error_ = "openbox did not start";
        return false;
    }
    return true;
}

Session::~Session() {
    Stop(openbox_);
    Stop(xvfb_);
    if (!dir_.empty())
        (void)std::system(("rm -rf '" + dir_ + "'").c_str());
}

std::string Session::FindWindow(const std::string& titlePattern, int limitMs) const {
    std::string window;
    WaitUntil(
        [&] {
            window = Trim(Output("xdotool search --onlyvisible --name '" + titlePattern + "' | head -1"));
            return !window.empty();
        },
        limitMs);
    return window;
}

bool Session::Screenshot(const std::string& path) const {
    return std::system(("import -window root '" + path + "' 2>/dev/null").c_str()) == 0;
}

std::vector<uint32_t> Session::Pixels(const std::vector<std::pair<int, int>>& points) const {
    std::string shot = dir_ + "/shot.png";
    Screenshot(shot);
    std::string format;
    for (auto [x, y] : points)
        format += "%[hex:u.p{" + std::to_string(x) + "," + std::to_string(y) + "}] ";
    std::istringstream in(Output("convert '" + shot + "' -format '" + format + "' info:"));
    std::vector<uint32_t> result;
    for (std::string hex; in >> hex;)
        result.push_back(static_cast<uint32_t>(std::stoul(hex.substr(0, 6), nullptr, 16)));
    return result;
}

}  // namespace x11
