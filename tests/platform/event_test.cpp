#include "platform/clock.h"
#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

TEST(Event, ZeroTimeoutAndAutoReset) {
    Event e;
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(0));  // the wait consumed the signal
}

TEST(Event, TwoSetsReleaseOneWait) {
    Event e;
    e.Set();
    e.Set();
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(10));
}

TEST(Event, TimedWaitReturnsFalseAfterTheTimeout) {
    Event e;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(e.Wait(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(Event, NamesAreDistinctEvenAtTheSameAddress) {
    String first;
    String second;
    {
        Event e;
        first = e.Name();
    }
    {
        Event e;
        second = e.Name();
    }
    EXPECT_NE(first.str(), second.str());
    EXPECT_EQ('E', first.str()[0]);
    EXPECT_NE(std::string::npos, first.str().find('N'));
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
    CriticalSection cs;
    cs.Enter();
    cs.Enter();
    cs.Leave();
    cs.Leave();
    Lock lock(cs);
    SUCCEED();
}

TEST(Clock, MillisecondResolutionInMicroseconds) {
    int64_t t = NowMicroseconds();
    EXPECT_EQ(0, t % 1000);
    InitPerformanceFrequency();
    EXPECT_GT(PerformanceFrequency, 0);
}
