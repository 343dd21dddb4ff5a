#include "platform/event.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>

namespace {
std::atomic<int32_t> eventCounter{0};
}

String NextEventName(const void* address) {
    int32_t n = ++eventCounter;
    char text[64];
    std::snprintf(text, sizeof text, "E%" PRIxPTR "N%d", reinterpret_cast<uintptr_t>(address), n);
    return String(text);
}
