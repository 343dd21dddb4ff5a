#pragma once

#include "core/strings.h"

#include <cstdint>
#include <memory>

// An auto-reset event: a successful wait consumes the signal, and any number
// of Set() calls before a wait release one wait only.
class Event {
public:
    static constexpr uint32_t Infinite = 0xFFFFFFFFu;

    Event();
    ~Event();
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Set();
    // True only if the event was signalled within the time-out.
    bool Wait(uint32_t timeoutMs);
    // Releases the platform's event; Set() and Wait() fail afterwards. The
    // destructor releases it too when the owner did not.
    bool Close();

    // "E<address in hex>N<counter>": distinct for every event of the process.
    const String& Name() const { return name_; }

    struct PlatformEvent;

private:
    String name_;
    std::unique_ptr<PlatformEvent> event_;
};

// The next event name for an event at this address: the process-wide
// counter is incremented atomically.
String NextEventName(const void* address);
