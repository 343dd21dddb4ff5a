#include "platform/process_copy.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Moves all `size` bytes through `call` (read or write), which may move fewer
// at a time or be interrupted; false once the other side has gone.
template <typename Byte, typename Call> bool moveAll(Byte* p, size_t size, Call call) {
    while (size > 0) {
        const ssize_t moved = call(p, size);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved <= 0)
            return false;
        p += moved;
        size -= static_cast<size_t>(moved);
    }
    return true;
}

}  // namespace

bool ProcessCopyPipe::Write(const void* bytes, size_t size) {
    return moveAll(static_cast<const uint8_t*>(bytes), size,
                   [this](const uint8_t* p, size_t n) { return write(handle_, p, n); });
}

bool ProcessCopyPipe::Read(void* bytes, size_t size) {
    return moveAll(static_cast<uint8_t*>(bytes), size, [this](uint8_t* p, size_t n) { return read(handle_, p, n); });
}

ProcessCopyResult RunInProcessCopy(const std::function<bool(ProcessCopyPipe&)>& inCopy,
                                   const std::function<bool(ProcessCopyPipe&)>& receive) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return ProcessCopyResult::Unavailable;
    const pid_t pid = fork();
    if (pid < 0) {
        close(ends[0]);
        close(ends[1]);
        return ProcessCopyResult::Unavailable;
    }
    if (pid == 0) {
        close(ends[0]);
        // A crash ends the copy without the handlers of the process it was
        // copied from (a sanitizer's report, a fuzzer's crash file).
        for (int s : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGPIPE})
            signal(s, SIG_DFL);
        ProcessCopyPipe out(ends[1]);
        bool sent = false;
        // Nothing may unwind out of here: the frames above belong to the
        // original's caller.
        try {
            sent = inCopy(out);
        } catch (...) {
            sent = false;
        }
        // No exit handlers or stream flushes: they belong to the original.
        _exit(sent ? 0 : 1);
    }
    close(ends[1]);
    ProcessCopyPipe in(ends[0]);
    const bool received = receive(in);
    close(ends[0]);
    if (!received)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        // A program started with SIGCHLD ignored has its children reaped
        // by the system: the whole answer is then all there is to go by.
        if (errno == ECHILD)
            return received ? ProcessCopyResult::Done : ProcessCopyResult::Failed;
        if (errno != EINTR)
            return ProcessCopyResult::Failed;
    }
    return received && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ProcessCopyResult::Done
                                                                     : ProcessCopyResult::Failed;
}
