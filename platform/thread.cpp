#include "platform/thread.h"

#include <system_error>

Thread::~Thread() { Join(); }

bool Thread::Start() {
    if (handle_)
        return false;
    try {
        handle_ = std::make_unique<std::thread>([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void Thread::Join() {
    if (handle_ && handle_->joinable())
        handle_->join();
    handle_.reset();
}

int HardwareThreadCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n ? static_cast<int>(n) : 1;
}
