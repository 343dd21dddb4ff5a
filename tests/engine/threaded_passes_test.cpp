// The passes on several threads: work sharing, failures and cancellation
// carried back to the calling thread, progress, and results equal to the
// single-threaded reference. Small pictures: these also run under the thread
// sanitizer.
#include "engine/block_search.h"
#include "engine/deblur.h"
#include "engine/denoise.h"
#include "engine/detail_pyramid.h"
#include "engine/option_mapping.h"
#include "engine/parallel_rows.h"
#include "engine/presets.h"
#include "engine/reference_passes.h"
#include "pass_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using passtest::idleJob;
using passtest::sameImage;

TEST(ParallelRows, EveryRowOnceAndTheCallerInOrder) {
    for (int32_t threads : {1, 2, 7}) {
        const int32_t rows = 57;
        std::vector<std::atomic<int32_t>> done(rows);
        std::vector<int32_t> callerRows;
        ParallelRows parallel(nullptr, threads, rows);
        EXPECT_EQ(parallel.workerCount(), threads);
        std::atomic<int32_t> badWorker{0};
        parallel.run([&](int32_t row, int32_t worker) {
            if (worker < 0 || worker >= threads)
                badWorker.store(1);
            done[static_cast<size_t>(row)].fetch_add(1);
            if (worker == 0)
                callerRows.push_back(row);
        });
        EXPECT_EQ(badWorker.load(), 0);
        for (int32_t row = 0; row < rows; ++row)
            EXPECT_EQ(done[static_cast<size_t>(row)].load(), 1) << "row " << row << ", " << threads << " threads";
        for (size_t i = 1; i < callerRows.size(); ++i)
            EXPECT_LT(callerRows[i - 1], callerRows[i]);
    }
    EXPECT_EQ(ParallelRows(nullptr, 7, 3).workerCount(), 3);
    EXPECT_EQ(ParallelRows(nullptr, 0, 3).workerCount(), 1);
}

TEST(ParallelRows, AFailureOnAnyThreadReachesTheCaller) {
    for (int32_t failingRow : {0, 5, 39}) {
        ParallelRows parallel(nullptr, 3, 40);
        std::atomic<int32_t> rowsAfterStop{0};
        EXPECT_THROW(parallel.run([&](int32_t row, int32_t worker) {
            parallel.checkpoint(worker);
            if (row == failingRow)
                throw std::runtime_error("row failed");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }),
                     std::runtime_error)
            << failingRow;
        (void)rowsAfterStop;
    }
}

// The job's state, set while helpers work, ends the loop on every thread and
// is thrown on the calling thread, as its own checkpoint would.
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
                if (row == 20)
                    job.state.store(WorkerRestart);
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            });
        } catch (int32_t state) {
            thrown = state;
        }
        EXPECT_EQ(thrown, WorkerRestart) << threads;
        // Each thread leaves at its next checkpoint.
        EXPECT_LT(started.load(), 21 + threads) << threads;
    }
    idleJob(Bitmap());
}

// The blur and the conversions share out bands of rows once a picture has a
// few thousand pixels; the floats and bytes are those of one thread.
TEST(ThreadedPasses, BlurAndConversionsOnThreadsEqualOneThread) {
    Bitmap picture = passtest::withNoise(passtest::texture(150, 90), 9.0, 31);
    BandSplit single = splitBands(picture, 2.0f, 1);
    for (int32_t threads : {2, 7}) {
        BandSplit shared = splitBands(picture, 2.0f, threads);
        EXPECT_TRUE(sameImage(shared.lowPass, single.lowPass)) << threads;
        ASSERT_EQ(shared.detail.pixelCount(), single.detail.pixelCount());
        for (size_t i = 0; i < single.detail.pixelCount(); ++i)
            ASSERT_EQ(shared.detail.data[i], single.detail.data[i]) << threads << " threads, pixel " << i;
        EXPECT_TRUE(sameImage(mergeDetail(shared.lowPass, shared.detail, 1, threads),
                              mergeDetail(single.lowPass, single.detail, 1, 1)));
    }
    // And the reference blur, which clamps every tap, agrees with both.
    EXPECT_TRUE(sameImage(splitBandsReference(picture, 2.0f).lowPass, single.lowPass));
}

// Cancelling at a checkpoint of the calling thread abandons the threaded
// pass with the job's state and leaves the picture alone.
TEST(ThreadedPasses, CancellingLeavesThePictureAlone) {
    Bitmap picture = passtest::withNoise(passtest::texture(40, 30), 6.0, 12);
    const EngineSettings settings = settingsFromOptions(findPreset("Phone camera noise")->options());
    for (int32_t threads : {2, 7}) {
        // 6 checkpoints precede the search; 7 and 8 are the first blocks the
        // calling thread takes.
        for (int32_t cancelAt : {2, 6, 7, 8}) {
            ProcessingJob& job = idleJob(picture);
            job.threadCount.store(threads);
            static int32_t seen;
            static int32_t at;
            seen = 0;
            at = cancelAt;
            job.checkpointHook = [](ProcessingJob& j) {
                if (++seen == at)
                    j.state.store(WorkerShutdown);
            };
            int32_t thrown = -1;
            MatchCountMap map;
            try {
                runDenoisePass(job, 0, settings.pass1, &map);
            } catch (int32_t state) {
                thrown = state;
            }
            EXPECT_EQ(thrown, WorkerShutdown) << threads << " threads, checkpoint " << cancelAt;
            EXPECT_TRUE(sameImage(job.workingImage, picture));
        }
    }
    idleJob(Bitmap());
}

// Progress comes from the calling thread only, rises and stays below 100;
// the results equal the reference passes.
TEST(ThreadedPasses, ProgressRisesAndResultsEqualTheReference) {
    Bitmap picture = passtest::withNoise(passtest::texture(37, 26), 7.0, 3);
    const EngineSettings settings = settingsFromOptions(findPreset("Digital zoom artifacts")->options());
    ASSERT_TRUE(settings.deblur.enabled);

    ProcessingJob& reference = idleJob(picture);
    MatchCountMap expectedMap;
    runDenoisePassReference(reference, 0, settings.pass1, &expectedMap);
    DeblurSettings deblur = settings.deblur;
    deblur.map.copyFrom(expectedMap);
    runDeblurPassReference(reference, deblur);
    Bitmap expected;
    expected.copyFrom(reference.workingImage);

    static std::vector<int32_t> percents;
    for (int32_t threads : {2, 7}) {
        ProcessingJob& job = idleJob(picture);
        job.threadCount.store(threads);
        percents.clear();
        job.checkpointHook = [](ProcessingJob& j) { percents.push_back(j.percent.load()); };
        MatchCountMap map;
        runDenoisePass(job, 0, settings.pass1, &map);
        runDeblurPass(job, deblur);
        EXPECT_TRUE(sameImage(job.workingImage, expected)) << threads << " threads";
        ASSERT_GT(percents.size(), 10u);
        for (size_t i = 1; i < percents.size(); ++i)
            EXPECT_LE(percents[i - 1], percents[i]);
        EXPECT_GT(percents.back(), 50);
        EXPECT_LE(job.percent.load(), 99);
    }
    idleJob(Bitmap());
}

// The job itself, on its worker thread with helpers of its own, gives the
// reference result.
TEST(ThreadedPasses, TheJobUsesItsThreads) {
    Bitmap picture = passtest::withNoise(passtest::texture(31, 22), 5.0, 8);
    const EngineSettings settings = settingsFromOptions(findPreset("Fine digicam noise")->options());
    ProcessingJob& reference = idleJob(picture);
    MatchCountMap map;
    runDenoisePassReference(reference, 0, settings.pass1, &map);
    Bitmap expected;
    expected.copyFrom(reference.workingImage);
    idleJob(Bitmap());

    ProcessingJob job;
    job.threadCount.store(3);
    job.submit(picture, settings);
    for (int i = 0; i < 60000 && !job.resultReady.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(job.resultReady.load(), 1);
    Bitmap collected;
    job.collect(collected);
    EXPECT_TRUE(sameImage(collected, expected));
}

}
