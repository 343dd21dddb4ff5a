#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"

#include "watchdog.h"

#ifndef _WIN32
#include "tests/support/child_process.h"

#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(Event, AutoResetsAndTimesOut) {
    Event e;
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    e.Set();  // two sets release one wait
    EXPECT_TRUE(e.Wait(0));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.Wait(30));  // the wait consumed the signal
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
    EXPECT_TRUE(e.Close() && !e.Wait(Event::Infinite));  // nothing to wait for once closed
}

TEST(CriticalSection, OwnerMayEnterAgain) {
    Watchdog watchdog("entering a critical section twice");
    CriticalSection cs;
    cs.Enter(), cs.Enter(), cs.Leave(), cs.Leave();
    Lock lock(cs);
}

TEST(Thread, StartsOnceUntilJoined) {
    Watchdog watchdog("a thread waiting for its release");
    struct Waiter : Thread {
        Event release;
        std::atomic<bool> released{false};
        int runs = 0;
        void Run() override {
            release.Wait(Event::Infinite);
            runs += released;  // only a wait that lasted until the release counts
        }
    } waiter;
    ASSERT_TRUE(waiter.Start());
    EXPECT_FALSE(waiter.Start());  // a second Run would wait for the same signal
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    waiter.released = true;
    waiter.release.Set();
    waiter.Join();
    EXPECT_TRUE(waiter.runs == 1 && !waiter.IsStarted()) << waiter.runs;
    ASSERT_TRUE(waiter.Start());
    waiter.release.Set();
    waiter.Join();
    EXPECT_EQ(waiter.runs, 2);
}

#ifndef _WIN32
// With no thread left to the user, a start fails and leaves nothing running.
TEST(Thread, AThreadTheSystemRefusesIsNotStarted) {
    const int status = RunInChild([] {
        const rlimit none{0, 0};
        if (setrlimit(RLIMIT_NPROC, &none) != 0) return 4;
        struct Idle : Thread { void Run() override {} } idle;
        return !idle.Start() && !idle.IsStarted() ? 0 : 1;
    }, true);
    if (status == 3) GTEST_SKIP() << "no unprivileged user to run as";
    EXPECT_EQ(status, 0);
}
#endif
