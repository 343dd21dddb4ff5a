#pragma once

#include <cstdint>

// Microseconds from a millisecond counter that wraps like a 32-bit count of
// milliseconds (about every 49.7 days): millisecond resolution.
int64_t NowMicroseconds();

// Ticks per second of the high-resolution counter, read once at start-up.
extern int64_t PerformanceFrequency;
void InitPerformanceFrequency();
// The high-resolution counter itself, in those ticks.
int64_t PerformanceCounter();

// Sleeps the calling thread.
void SleepMilliseconds(uint32_t ms);
