#include "platform/clock.h"

#include <chrono>

int64_t PerformanceFrequency = 0;

int64_t NowMicroseconds() {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<int64_t>(static_cast<uint32_t>(ms.count())) * 1000;
}

void InitPerformanceFrequency() {
    using period = std::chrono::steady_clock::period;
    PerformanceFrequency = period::den / period::num;
}

int64_t PerformanceCounter() { return std::chrono::steady_clock::now().time_since_epoch().count(); }

#include <thread>

void SleepMilliseconds(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
