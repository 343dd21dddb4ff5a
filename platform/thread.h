#pragma once

#include <memory>

// A thread object: derived classes implement Run(), which executes on the
// new thread once Start() is called. The destructor waits for the thread,
// so Run() must be asked to end first, and a Thread must not be destroyed by
// the thread it runs.
class Thread {
public:
    Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    virtual ~Thread();

    virtual void Run() = 0;

    // Starts the thread; false if it is already running or could not start.
    bool Start();
    // Waits without time limit for Run() to return.
    void Join();
    bool IsStarted() const { return handle_ != nullptr; }

    struct PlatformThread;

private:
    std::unique_ptr<PlatformThread> handle_;
};

// Hardware threads of this machine, at least 1.
int HardwareThreadCount();
