#include "platform/process_copy.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

bool ProcessCopyPipe::Write(const void* bytes, size_t size) {
    const auto* p = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t written = write(handle_, p, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        p += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

bool ProcessCopyPipe::Read(void* bytes, size_t size) {
    auto* p = static_cast<uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t got = read(handle_, p, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        size -= static_cast<size_t>(got);
    }
    return true;
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
