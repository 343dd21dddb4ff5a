#pragma once

#include "engine/processing_job.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// Runs the rows of a loop over several threads, the calling thread being
// worker 0. Rows are handed out one at a time in ascending order, so a row
// is never done twice and the caller sees its own rows in increasing order.
//
// Cancellation: the job's checkCancel (and its test hook) only ever runs on
// the calling thread. The other workers poll the job's state at their
// checkpoints; when it is set, or when any worker fails, every worker leaves
// at its next checkpoint, the threads are joined, and the failure (or the
// job's state, through checkCancel) is rethrown on the calling thread.
class ParallelRows {
public:
    ParallelRows(ProcessingJob* job, int32_t threads, int32_t rows)
        : job_(job), rows_(rows), threads_(std::max(1, std::min(threads, rows))) {}

    int32_t workerCount() const { return threads_; }

    // How many rows have been handed out so far (the highest row started is
    // one less); it only grows.
    int32_t rowsStarted() const { return std::min(next_.load(std::memory_order_relaxed), rows_); }

    // To be called by the row body before each unit of work.
    void checkpoint(int32_t worker) {
        if (worker == 0) {
            if (job_)
                job_->checkCancel();
            if (stop_.load(std::memory_order_acquire))
                throw Stopped{};
            return;
        }
        if (job_ && job_->state.load(std::memory_order_acquire) != WorkerRunning) {
            stop_.store(true, std::memory_order_release);
            throw Stopped{};
        }
        if (stop_.load(std::memory_order_acquire))
            throw Stopped{};
    }

    // body(row, worker) for every row in [0, rows).
    template <typename Body>
    void run(Body&& body) {
        if (threads_ == 1) {
            for (int32_t row = 0; row < rows_; ++row) {
                next_.store(row + 1, std::memory_order_relaxed);
                body(row, 0);
            }
            return;
        }
        std::vector<std::thread> helpers;
        auto work = [this, &body](int32_t worker) {
            for (;;) {
                if (stop_.load(std::memory_order_acquire))
                    return;
                const int32_t row = next_.fetch_add(1, std::memory_order_relaxed);
                if (row >= rows_)
                    return;
                body(row, worker);
            }
        };
        auto helper = [this, &work](int32_t worker) {
            try {
                work(worker);
            } catch (const Stopped&) {
            } catch (...) {
                fail(std::current_exception());
            }
        };
        try {
            for (int32_t worker = 1; worker < threads_; ++worker) {
                try {
                    helpers.emplace_back(helper, worker);
                } catch (const std::system_error&) {
                    break;  // fewer threads than asked for: the others share the rows
                }
            }
            work(0);
        } catch (const Stopped&) {
        } catch (...) {
            stop_.store(true, std::memory_order_release);
            for (std::thread& t : helpers)
                t.join();
            throw;
        }
        for (std::thread& t : helpers)
            t.join();
        if (failure_)
            std::rethrow_exception(failure_);
        if (stop_.load(std::memory_order_acquire) && job_) {
            // A helper saw the job's state change; report it as a checkpoint
            // of the calling thread would.
            job_->checkCancel();
            throw static_cast<int32_t>(job_->state.load());
        }
    }

private:
    struct Stopped {};

    void fail(std::exception_ptr e) {
        std::lock_guard<std::mutex> lock(failureLock_);
        if (!failure_)
            failure_ = e;
        stop_.store(true, std::memory_order_release);
    }

    ProcessingJob* job_;
    int32_t rows_;
    int32_t threads_;
    std::atomic<int32_t> next_{0};
    std::atomic<bool> stop_{false};
    std::mutex failureLock_;
    std::exception_ptr failure_;
};

// The thread count a pass uses for the job (at least 1).
inline int32_t passThreads(const ProcessingJob* job) {
    return job ? std::max(1, job->threadCount.load(std::memory_order_relaxed)) : 1;
}

// Calls fn(y0, y1) for bands of rows that together cover [0, height), shared
// among threads. A band holds at least about 4096 pixels, so that small
// images do not pay for threads they cannot use. For loops without
// checkpoints.
template <typename Fn>
void forEachRowBand(int32_t threads, int32_t width, int32_t height, Fn&& fn) {
    if (height <= 0)
        return;
    const int32_t bandRows = std::max(1, 4096 / std::max(1, width));
    const int32_t bands = (height + bandRows - 1) / bandRows;
    ParallelRows rows(nullptr, threads, bands);
    rows.run([&](int32_t band, int32_t) { fn(band * bandRows, std::min(height, (band + 1) * bandRows)); });
}
