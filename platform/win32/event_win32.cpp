#include "platform/event.h"

#include <windows.h>

struct Event::PlatformEvent {
    HANDLE handle = nullptr;
};

// The kernel event stays unnamed: a named one is shared by every process of
// the session, so two copies of the program could meet on the same name and
// wake each other's workers. Name() still tells the events apart.
Event::Event() : name_(NextEventName(this)), event_(std::make_unique<PlatformEvent>()) {
    event_->handle = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

Event::~Event() { Close(); }

bool Event::Set() { return event_->handle && SetEvent(event_->handle) != 0; }

bool Event::Wait(uint32_t timeoutMs) {
    static_assert(Infinite == INFINITE, "the infinite time-out is the platform's");
    return event_->handle && WaitForSingleObject(event_->handle, timeoutMs) == WAIT_OBJECT_0;
}

bool Event::Close() {
    if (!event_->handle)
        return false;
    bool closed = CloseHandle(event_->handle) != 0;
    event_->handle = nullptr;
    return closed;
}
