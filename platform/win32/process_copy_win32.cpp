#include "platform/process_copy.h"

// Windows cannot copy a running process; the caller does the work itself.
bool ProcessCopyPipe::Write(const void*, size_t) { return false; }
bool ProcessCopyPipe::Read(void*, size_t) { return false; }

ProcessCopyResult RunInProcessCopy(const std::function<bool(ProcessCopyPipe&)>&,
                                   const std::function<bool(ProcessCopyPipe&)>&) {
    return ProcessCopyResult::Unavailable;
}
