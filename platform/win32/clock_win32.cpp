#include "platform/clock.h"

#include <windows.h>

#include <mmsystem.h>

int64_t PerformanceFrequency = 0;

// The multimedia timer's millisecond count wraps after about 49.7 days.
int64_t NowMicroseconds() { return static_cast<int64_t>(static_cast<uint32_t>(timeGetTime())) * 1000; }

void InitPerformanceFrequency() {
    LARGE_INTEGER frequency;
    PerformanceFrequency = QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

int64_t PerformanceCounter() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void SleepMilliseconds(uint32_t ms) { Sleep(ms); }
