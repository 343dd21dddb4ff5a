#include "platform/critical_section.h"
#include "platform/event.h"

#include "watchdog.h"

#include <gtest/gtest.h>

#include <chrono>

TEST(Event, AutoResetsAndTimesOut) {
    Event e;
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    e.Set();  // two sets release one wait
    EXPECT_TRUE(e.Wait(0));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.Wait(30));  // the wait consumed the signal
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(CriticalSection, OwnerMayEnterAgain) {
    Watchdog watchdog("entering a critical section twice");
    CriticalSection cs;
    cs.Enter();
    cs.Enter();
    cs.Leave();
    cs.Leave();
    Lock lock(cs);
    SUCCEED();
}
