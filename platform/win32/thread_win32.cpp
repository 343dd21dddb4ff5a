#include "platform/thread.h"

#include <windows.h>

#include <process.h>

struct Thread::PlatformThread {
    HANDLE handle = nullptr;
};

namespace {

// Started through the C runtime so that it sets up its per-thread state.
unsigned __stdcall ThreadEntry(void* object) {
    static_cast<Thread*>(object)->Run();
    return 0;
}

}  // namespace

Thread::Thread() = default;

Thread::~Thread() { Join(); }

bool Thread::Start() {
    if (handle_)
        return false;
    uintptr_t handle = _beginthreadex(nullptr, 0, ThreadEntry, this, 0, nullptr);
    if (handle == 0)
        return false;
    handle_ = std::make_unique<PlatformThread>();
    handle_->handle = reinterpret_cast<HANDLE>(handle);
    return true;
}

void Thread::Join() {
    if (!handle_)
        return;
    WaitForSingleObject(handle_->handle, INFINITE);
    CloseHandle(handle_->handle);
    handle_.reset();
}

int HardwareThreadCount() {
    DWORD n = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return n > 0 ? static_cast<int>(n) : 1;
}
