#include "platform/event.h"

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>

namespace {
std::atomic<int32_t> eventCounter{0};
}

Event::Event() {
    int32_t n = ++eventCounter;
    char text[64];
    std::snprintf(text, sizeof text, "E%" PRIxPTR "N%d", reinterpret_cast<uintptr_t>(this), n);
    name_ = text;
}

bool Event::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        set_ = true;
    }
    signalled_.notify_one();
    return true;
}

bool Event::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (timeoutMs == Infinite)
        signalled_.wait(lock, [this] { return set_; });
    else if (!signalled_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return set_; }))
        return false;
    set_ = false;
    return true;
}
