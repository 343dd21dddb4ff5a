#pragma once

#include <cstddef>
#include <functional>

// One end of the pipe between this process and a copy of it.
class ProcessCopyPipe {
public:
    explicit ProcessCopyPipe(int handle) : handle_(handle) {}
    // Exactly `size` bytes, or false once the other side has gone.
    bool Write(const void* bytes, size_t size);
    bool Read(void* bytes, size_t size);

private:
    int handle_;
};

enum class ProcessCopyResult {
    Done,         // `receive` took the answer and the copy ended normally
    Failed,       // the copy crashed, was killed or gave up, or `receive` refused
    Unavailable,  // no copy could be made (or the system makes none)
};

// Runs `inCopy` in a copy of this process, so that library code that crashes
// or writes out of bounds on hostile input takes only the copy down with it.
// The copy sends its answer down the pipe and ends; `receive` reads it here.
// A copy that is still running when `receive` gives up is killed; `receive`
// must not throw. Windows
// has no cheap copy of a running process: there the result is Unavailable
// and the caller does the work itself.
ProcessCopyResult RunInProcessCopy(const std::function<bool(ProcessCopyPipe&)>& inCopy,
                                   const std::function<bool(ProcessCopyPipe&)>& receive);
