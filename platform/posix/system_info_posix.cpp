#include "platform/system_info.h"

#include <unistd.h>

uint64_t PhysicalMemoryBytes() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }
