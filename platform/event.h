#pragma once

#include "core/strings.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>

// An auto-reset event: a successful wait consumes the signal, and any number
// of Set() calls before a wait release one wait only.
class Event {
public:
    static constexpr uint32_t Infinite = 0xFFFFFFFFu;

    Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Set();
    // True only if the event was signalled within the time-out.
    bool Wait(uint32_t timeoutMs);
    // Kept for symmetry with the owners that close explicitly; the event
    // stays usable until it is destroyed.
    bool Close() { return true; }

    // "E<address in hex>N<counter>": distinct for every event of the process.
    const String& Name() const { return name_; }

private:
    std::mutex mutex_;
    std::condition_variable signalled_;
    bool set_ = false;
    String name_;
};
