// The passes on several threads: work sharing, failures and cancellation carried back to the calling thread,
// progress, and results equal to the single-threaded reference. Small pictures: these also run under TSan.
#include "engine/denoise.h"
#include "engine/option_mapping.h"
#include "engine/parallel_rows.h"
#include "engine/presets.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using passtest::idleJob;

TEST(ParallelRows, EveryRowOnceAndTheCallerInOrder) {
    for (int32_t threads : {1, 2, 7}) {
        const int32_t rows = 57;
        std::vector<std::atomic<int32_t>> done(rows);
        std::vector<int32_t> callerRows;
        ParallelRows parallel(nullptr, threads, rows);
        EXPECT_EQ(parallel.workerCount(), threads);
        std::atomic<int32_t> badWorker{0};
        parallel.run([&](int32_t row, int32_t worker) {
            if (worker < 0 || worker >= threads) badWorker.store(1);
            done[static_cast<size_t>(row)].fetch_add(1);
            if (worker == 0) callerRows.push_back(row);
        });
        EXPECT_EQ(badWorker.load(), 0);
        for (int32_t row = 0; row < rows; ++row)
            EXPECT_EQ(done[static_cast<size_t>(row)].load(), 1) << "row " << row << ", " << threads << " threads";
        for (size_t i = 1; i < callerRows.size(); ++i) EXPECT_LT(callerRows[i - 1], callerRows[i]);
    }
    EXPECT_EQ(ParallelRows(nullptr, 7, 3).workerCount(), 3);
    EXPECT_EQ(ParallelRows(nullptr, 0, 3).workerCount(), 1);
    // The caller works too: two rows that each wait for the other to start both start only if each thread takes one.
    std::atomic<int32_t> started{0};
    std::atomic<bool> alone{false};
    ParallelRows(nullptr, 2, 2).run([&](int32_t, int32_t) {
        started.fetch_add(1);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (started.load() < 2 && std::chrono::steady_clock::now() < giveUp) std::this_thread::yield();
        alone.store(alone.load() || started.load() < 2);
    });
    EXPECT_FALSE(alone.load());
}

TEST(ParallelRows, AFailureOnAnyThreadReachesTheCaller) {
    for (int32_t failingRow : {0, 5, 39}) {
        ParallelRows parallel(nullptr, 3, 40);
        const auto failing = [&](int32_t row, int32_t worker) {
            parallel.checkpoint(worker);
            if (row == failingRow) throw std::runtime_error("row failed");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        };
        EXPECT_THROW(parallel.run(failing), std::runtime_error) << failingRow;
    }
}

// The job's state, set while helpers work, ends the loop on every thread and is thrown on the calling thread.
TEST(ParallelRows, CancellationIsThrownOnTheCaller) {
    ProcessingJob& job = idleJob(passtest::solid(1, 1, 0));
    for (int32_t threads : {2, 7}) {
        job.state.store(WorkerRunning);
        ParallelRows parallel(&job, threads, 200);
        std::atomic<int32_t> started{0};
        int32_t thrown = -1;
        try {
            parallel.run([&](int32_t row, int32_t worker) {
                parallel.checkpoint(worker);
                started.fetch_add(1);
                if (row == 20) job.state.store(WorkerRestart);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            });
        } catch (int32_t state) { thrown = state; }
        EXPECT_EQ(thrown, WorkerRestart) << threads;
        EXPECT_LT(started.load(), 21 + threads) << threads;  // each thread leaves at its next checkpoint
    }
    idleJob(Bitmap());
}

// Cancelling at a checkpoint of the calling thread abandons the threaded pass and leaves the picture alone.
TEST(ThreadedPasses, CancellingLeavesThePictureAlone) {
    Bitmap picture = passtest::withNoise(passtest::texture(40, 30), 6.0, 12);
    const EngineSettings settings = settingsFromOptions(findPreset("Phone camera noise")->options());
    for (int32_t threads : {2, 7}) {
        SCOPED_TRACE(std::to_string(threads) + " threads");
        // 6 checkpoints precede the search; 7 and 8 are the first blocks the calling thread takes.
        MatchCountMap map;
        passtest::expectEveryCheckpointCancels(picture, 8, WorkerShutdown, [&](ProcessingJob& job) {
            job.threadCount.store(threads);
            runDenoisePass(job, 0, settings.pass1, &map);
        });
    }
}

}
