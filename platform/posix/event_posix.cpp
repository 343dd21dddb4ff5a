#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

struct Event::PlatformEvent {
    std::mutex mutex;
    std::condition_variable signalled;
    bool set = false;
};

Event::Event() : name_(NextEventName(this)), event_(std::make_unique<PlatformEvent>()) {}
Event::~Event() = default;

bool Event::Set() {
    if (!event_)
        return false;
    {
        std::lock_guard<std::mutex> lock(event_->mutex);
        event_->set = true;
    }
    event_->signalled.notify_one();
    return true;
}

bool Event::Wait(uint32_t timeoutMs) {
    if (!event_)
        return false;
    PlatformEvent& e = *event_;
    std::unique_lock<std::mutex> lock(e.mutex);
    if (timeoutMs == Infinite)
        e.signalled.wait(lock, [&e] { return e.set; });
    else if (!e.signalled.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&e] { return e.set; }))
        return false;
    e.set = false;
    return true;
}

bool Event::Close() {
    bool had = event_ != nullptr;
    event_.reset();
    return had;
}
