#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

// A test that waits for something that may never happen (a worker joined by a destructor, a result that never comes)
// ends here within seconds, with a message saying what it waited for, instead of hanging until the runner's limit.
class Watchdog {
public:
    explicit Watchdog(const char* what, int seconds = 10)
        : thread_([this, what, seconds] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!finished_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
                  std::fprintf(stderr, "watchdog: %s did not finish within %d s\n", what, seconds);
                  std::fflush(stderr);
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        finished_.notify_one();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    std::thread thread_;  // declared last: it starts once the members above exist
};

// Polls condition every millisecond until it holds (true) or the limit passes (false). The limit only guards against
// hangs; it never decides a passing run.
template <typename F> bool eventually(F condition, int milliseconds = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
