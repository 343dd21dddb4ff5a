#include "platform/thread.h"

#include <system_error>
#include <thread>

struct Thread::PlatformThread {
    std::thread thread;
};

Thread::Thread() = default;

Thread::~Thread() { Join(); }

bool Thread::Start() {
    if (handle_)
        return false;
    try {
        handle_ = std::make_unique<PlatformThread>();
        handle_->thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        handle_.reset();
        return false;
    }
    return true;
}

void Thread::Join() {
    if (handle_ && handle_->thread.joinable())
        handle_->thread.join();
    handle_.reset();
}

int HardwareThreadCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n ? static_cast<int>(n) : 1;
}
