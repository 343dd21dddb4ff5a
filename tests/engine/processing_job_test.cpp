#include "engine/processing_job.h"
#include "pass_test_support.h"

#include "watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

// The job is driven with stand-in passes, run on its worker thread, that each test steers through these globals.
namespace {

std::atomic<int> runsStarted{0}, runsFinished{0}, maxPercentSeen{0}, deblurMapCell{-1};
std::atomic<bool> holdPass{false};  // keep the pass spinning at checkpoints
std::atomic<bool> percentWentDown{false}, passReturned{false};
std::atomic<uint32_t> lastPixelSeen{0};

// Inverts the image, reporting progress in steps and polling for cancel.
void fakeDenoise(ProcessingJob& job, int32_t, const PassParams&, MatchCountMap* map) {
    ++runsStarted;
    lastPixelSeen = job.workingImage.data[0];
    int last = 0;
    for (int step = 0; step < 150 || holdPass; ++step) {
        job.checkCancel();
        job.setSubProgress(step);
        const int p = job.percent.load();
        percentWentDown = percentWentDown || p < last;
        maxPercentSeen = std::max(maxPercentSeen.load(), p);
        last = p;
        if (holdPass) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    job.checkCancel();
    if (map) map->resize(1, 1), map->data[0] = 42;
    for (size_t i = 0; i < job.workingImage.pixelCount(); ++i) job.workingImage.data[i] = ~job.workingImage.data[i];
    ++runsFinished;
}

void fakeDeblur(ProcessingJob& job, const DeblurSettings& settings) {
    job.checkCancel();
    deblurMapCell = settings.map.isEmpty() ? -1 : settings.map.data[0];
}

PassSequence fakePasses() { return PassSequence{fakeDenoise, fakeDeblur}; }

Bitmap collected(ProcessingJob& job) { Bitmap out; job.collect(out); return out; }

using passtest::solid;

void instantDenoise(ProcessingJob& job, int32_t, const PassParams&, MatchCountMap*) {
    job.checkCancel(), ++job.workingImage.data[0];
}

// Holds the worker, without a checkpoint, while the gate is closed.
std::atomic<bool> gateClosed{false};
void gatedDenoise(ProcessingJob& job, int32_t, const PassParams&, MatchCountMap*) {
    for (++runsStarted; gateClosed;) std::this_thread::yield();
    job.checkCancel();
}

// Finishes its work, then a cancel arrives after the last checkpoint, before the worker hands the result over.
void cancelledAfterTheLastCheckpoint(ProcessingJob& job, int32_t, const PassParams&, MatchCountMap*) {
    job.checkCancel();
    job.setSubProgress(50);
    job.workingImage.data[0] = 7;
    job.cancel();
    passReturned = true;
}

class JobTest : public ::testing::Test {
protected:
    void SetUp() override {
        runsStarted = runsFinished = maxPercentSeen = 0;
        holdPass = percentWentDown = passReturned = false;
        lastPixelSeen = 0;
    }
    Watchdog watchdog_{"a job test", 20};  // covers the jobs' destructors too: they join the worker
};

}  // namespace

TEST_F(JobTest, RunsThePassesAndHandsTheResultOver) {
    ProcessingJob job(fakePasses());
    EngineSettings settings;
    settings.deblur.enabled = true;
    Bitmap in = solid(4, 3, 0x00000000);
    job.submit(in, settings);
    ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 1; }));
    Bitmap out = collected(job);
    EXPECT_TRUE(collected(job).isEmpty() && job.resultReady.load() == 0);  // the job keeps no copy
    ASSERT_EQ(Rect(0, 0, 4, 3), out.bounds());
    EXPECT_EQ(0xFFFFFFFFu, out.data[11]);
    EXPECT_EQ(0u, in.data[0]);  // the caller's image was copied, not touched
    EXPECT_EQ(42, deblurMapCell.load());  // the deblur pass sees the map the first pass filled
    EXPECT_TRUE(maxPercentSeen.load() <= 99 && !percentWentDown.load()) << maxPercentSeen.load();
    // With the second pass, twice: each run counts its passes from the first, (100 + 99) / 2 at most.
    settings.secondPassEnabled = true;
    for (int run = 0; run < 2; ++run) {
        job.submit(in, settings);
        ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 1; }));
        EXPECT_EQ(0u, collected(job).data[0]);  // inverted twice
    }
    EXPECT_EQ(std::pair(5, 99), std::pair(runsFinished.load(), maxPercentSeen.load()));
}

TEST_F(JobTest, QuickSubmitsCollapseToTheLast) {
    ProcessingJob job(fakePasses());
    holdPass = true;
    job.submit(solid(2, 2, 1), EngineSettings{});
    ASSERT_TRUE(eventually([&] { return runsStarted.load() >= 1; }));
    for (uint32_t v = 2; v <= 5; ++v) job.submit(solid(2, 2, v), EngineSettings{});
    holdPass = false;
    ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 1; }));
    EXPECT_EQ(std::pair(~5u, 5u), std::pair(collected(job).data[0], lastPixelSeen.load()));
    EXPECT_EQ(1, runsFinished.load());  // the abandoned run never finished
    EXPECT_LE(runsStarted.load(), 5);
}

TEST_F(JobTest, CancelWhileIdleClearsTheFlagAndKeepsTheResult) {
    ProcessingJob job(fakePasses());
    job.submit(solid(3, 1, 7), EngineSettings{});
    ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 1; }));
    EXPECT_GT(job.percent.load(), 0);
    job.cancel();
    EXPECT_EQ(0, job.requestPending.load());
    ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 0 && job.percent.load() == 0; }));
    Bitmap out = collected(job);
    ASSERT_EQ(3, out.width);
    EXPECT_EQ(~7u, out.data[2]);
}

TEST_F(JobTest, CancelWhileBusyAbandonsTheRun) {
    ProcessingJob job(fakePasses());
    holdPass = true;
    job.submit(solid(2, 2, 1), EngineSettings{});
    ASSERT_TRUE(eventually([&] { return runsStarted.load() == 1; }));
    job.cancel();
    holdPass = false;
    ASSERT_TRUE(eventually([&] { return job.percent.load() == 0 && job.requestPending.load() == 0; }));
    // An empty image is a cancel: once the worker took it, nothing was handed over, and only the next picture runs.
    job.submit(Bitmap{}, EngineSettings{});
    ASSERT_TRUE(eventually([&] { return job.requestPending.load() == 0; }));
    EXPECT_EQ(std::pair(0, 0), std::pair(runsFinished.load(), job.resultReady.load()));
    job.submit(solid(1, 1, 3), EngineSettings{});
    ASSERT_TRUE(eventually([&] { return job.resultReady.load() == 1; }));
    EXPECT_EQ(2, runsStarted.load());
    // A request the busy worker has not taken yet is no longer pending once cancelled.
    ProcessingJob gated(PassSequence{gatedDenoise, nullptr});
    gateClosed = true;
    gated.submit(solid(1, 1, 1), EngineSettings{});
    ASSERT_TRUE(eventually([&] { return runsStarted.load() == 3; }));
    gated.submit(solid(1, 1, 2), EngineSettings{});
    gated.cancel();
    EXPECT_EQ(0, gated.requestPending.load());
    gateClosed = false;
}

TEST_F(JobTest, DestructionWhileBusyEndsAtTheNextCheckpoint) {
    auto job = std::make_unique<ProcessingJob>(fakePasses());
    holdPass = true;  // the pass would spin for ever without a checkpoint throw
    job->submit(solid(2, 2, 1), EngineSettings{});
    ASSERT_TRUE(eventually([&] { return runsStarted.load() == 1; }));
    job.reset();
    EXPECT_EQ(0, runsFinished.load());

    // Right after a submit the request and the shutdown arrive together: taking the request must not clear the
    // shutdown (the watchdog ends a hang).
    for (int i = 0; i < 20; ++i) {
        holdPass = true;
        job = std::make_unique<ProcessingJob>(fakePasses());
        job->submit(solid(2, 2, 1), EngineSettings{});
        job.reset();
    }
}

TEST_F(JobTest, BackToBackSubmitsAlwaysLeaveTheLastResultFlagged) {
    // A second submit can land after the worker woke for the first but before it took the request, leaving the event
    // set for a request already taken. The wake-up must not unflag the finished result, or the caller waits for ever.
    ProcessingJob job(PassSequence{instantDenoise, nullptr});
    for (uint32_t i = 0; i < 300; ++i) {
        job.submit(solid(1, 1, 2 * i), EngineSettings{});
        job.submit(solid(1, 1, 2 * i + 1), EngineSettings{});
        // The first may finish and be flagged for a moment before the second is submitted: wait for the second.
        ASSERT_TRUE(eventually([&] { return job.requestPending.load() == 0 && job.resultReady.load() == 1; }))
            << "round " << i;
        // Give a stray wake-up the time to do its damage before looking.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        ASSERT_EQ(1, job.resultReady.load()) << "round " << i;
        ASSERT_EQ(2 * i + 2, collected(job).data[0]) << "round " << i;
    }
}

TEST_F(JobTest, ACancelBeforeTheHandOverNeverShowsTheResult) {
    ProcessingJob job(PassSequence{cancelledAfterTheLastCheckpoint, nullptr});
    bool flagged = false;
    job.submit(solid(1, 1, 1), EngineSettings{});
    // Taking the cancel afterwards puts the percentage back to 0.
    ASSERT_TRUE(eventually([&] {
        flagged = flagged || job.resultReady.load() == 1;
        return passReturned && job.percent.load() == 0 && job.requestPending.load() == 0;
    }));
    EXPECT_TRUE(!flagged && collected(job).isEmpty());
}
