#include "engine/processing_job.h"

#include <algorithm>

namespace {
constexpr uint32_t IdleWaitMs = 500;
}

ProcessingJob::ProcessingJob(PassSequence passes) : passes_(passes) { Start(); }

ProcessingJob::~ProcessingJob() {
    state.store(WorkerShutdown, std::memory_order_release);
    // Wake an idle worker at once instead of at its next time-out.
    wakeEvent_.Set();
    Join();
}

bool ProcessingJob::submit(const Bitmap& image, const EngineSettings& settings) {
    Lock lock(requestLock_);
    requestPending.store(1);
    const bool copied = requestImage_.copyFrom(image);
    if (!copied)
        requestImage_.clear();
    requestSettings_ = settings;
    if (state.load() != WorkerShutdown)
        state.store(WorkerRestart, std::memory_order_release);
    requestSignalled_ = true;
    wakeEvent_.Set();
    return copied;
}

void ProcessingJob::cancel() {
    Lock lock(requestLock_);
    requestPending.store(0);
    requestImage_.clear();
    if (state.load() != WorkerShutdown)
        state.store(WorkerRestart, std::memory_order_release);
    requestSignalled_ = true;
    wakeEvent_.Set();
}

void ProcessingJob::collect(Bitmap& output) {
    Lock lock(resultLock_);
    output.moveFrom(resultImage_);
    resultReady.store(0);
}

void ProcessingJob::publishPercent(int32_t value) {
    if (percent.load(std::memory_order_relaxed) != value)
        percent.store(value);
}

void ProcessingJob::setSubProgress(int32_t value) {
    value = std::clamp(value, 0, 99);
    int32_t total = passesTotal > 0 ? passesTotal : 1;
    subProgress = value;
    publishPercent((passesDone * 100 + value) / total);
}

bool ProcessingJob::takeRequest() {
    Lock lock(requestLock_);
    // A submit that lands between the worker's wake-up and this lock leaves
    // the event set for a request that is taken now. The wake-up it causes
    // later brings nothing new and must not unflag the finished result.
    if (!requestSignalled_)
        return false;
    requestSignalled_ = false;
    // The result of the run being replaced goes before the request stops
    // being pending: a caller that reads requestPending first, then
    // resultReady, never takes that result for the new one.
    resultReady.store(0);
    requestPending.store(0);
    workingImage.moveFrom(requestImage_);
    activeSettings = requestSettings_;
    // A shutdown that arrived together with the request must not be
    // overwritten, or the thread would never see it.
    int32_t expected = WorkerRestart;
    state.compare_exchange_strong(expected, WorkerRunning);
    percent.store(0);
    passesDone = subProgress = 0;
    passesTotal = 1;
    return state.load() == WorkerRunning && !workingImage.isEmpty();
}

void ProcessingJob::runPasses() {
    passesTotal = 1 + (activeSettings.secondPassEnabled ? 1 : 0);
    if (passes_.denoise)
        passes_.denoise(*this, 0, activeSettings.pass1, &activeSettings.deblur.map);
    if (activeSettings.secondPassEnabled) {
        ++passesDone;
        subProgress = 0;
        publishPercent(passesDone * 100 / passesTotal);
    }
    if (activeSettings.deblur.enabled && passes_.deblur)
        passes_.deblur(*this, activeSettings.deblur);
    if (activeSettings.secondPassEnabled && passes_.denoise)
        passes_.denoise(*this, 1, activeSettings.pass2, nullptr);
}

void ProcessingJob::handOver() {
    // A submit or cancel that arrived after the last checkpoint makes this
    // result stale: it must never be flagged, not even briefly.
    Lock request(requestLock_);
    if (requestSignalled_) {
        workingImage.clear();
        return;
    }
    Lock lock(resultLock_);
    resultImage_.moveFrom(workingImage);
    resultReady.store(1);
}

void ProcessingJob::Run() {
    for (;;) {
        if (!wakeEvent_.Wait(IdleWaitMs)) {
            if (state.load() == WorkerShutdown)
                return;
            continue;
        }
        if (!takeRequest()) {
            workingImage.clear();
            if (state.load() == WorkerShutdown)
                return;
            continue;
        }
        try {
            runPasses();
        } catch (int32_t thrown) {
            workingImage.clear();
            if (thrown == WorkerShutdown)
                return;
            continue;
        }
        handOver();
    }
}
