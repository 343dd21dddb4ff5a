#include "platform/clock.h"
#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"

#include "watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
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

namespace {

class SignalThread : public Thread {
public:
    Event& go;
    Event& done;
    std::atomic<int> runs{0};
    SignalThread(Event& g, Event& d) : go(g), done(d) {}
    ~SignalThread() override { Join(); }
    void Run() override {
        go.Wait(Event::Infinite);
        ++runs;
        done.Set();
    }
};

}  // namespace

TEST(Thread, RunsOnceAndJoins) {
    Event go, done;
    SignalThread t(go, done);
    ASSERT_TRUE(t.Start());
    EXPECT_FALSE(t.Start());
    go.Set();
    EXPECT_TRUE(done.Wait(5000));
    t.Join();
    EXPECT_EQ(1, t.runs.load());
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
