#pragma once

#include "core/bitmap.h"
#include "engine/engine_settings.h"
#include "platform/critical_section.h"
#include "platform/event.h"
#include "platform/thread.h"

#include <atomic>
#include <cstdint>

class ProcessingJob;

// The passes a job runs. Tests plug in their own; the program uses
// DefaultPassSequence().
struct PassSequence {
    // Denoise/magnify pass on job.workingImage; pass number 0 or 1 only labels
    // it. map is the match-count map to fill, or null.
    void (*denoise)(ProcessingJob& job, int32_t passNumber, const PassParams& params, MatchCountMap* map) = nullptr;
    // Sharpening pass on job.workingImage.
    void (*deblur)(ProcessingJob& job, const DeblurSettings& settings) = nullptr;
};

PassSequence DefaultPassSequence();

// Values of the job's state, and of the int32 that a checkpoint throws.
enum WorkerState : int32_t {
    WorkerRunning = 0,
    WorkerRestart = 1,   // a submit or cancel is waiting: abandon the run
    WorkerShutdown = 2,  // the job is being destroyed: end the thread
};

// Enhances one image at a time on its own worker thread. The UI thread
// submits, cancels, polls percent/resultReady/requestPending once per frame
// and collects the result; the passes report progress and poll for
// cancellation through setSubProgress and checkCancel.
class ProcessingJob final : public Thread {
public:
    explicit ProcessingJob(PassSequence passes = DefaultPassSequence());
    ~ProcessingJob() override;

    // UI thread.
    // False when there is no memory for the job's copy: the request is then a cancel.
    bool submit(const Bitmap& image, const EngineSettings& settings);
    void cancel();
    void collect(Bitmap& output);

    std::atomic<int32_t> requestPending{0};
    std::atomic<int32_t> resultReady{0};
    std::atomic<int32_t> percent{0};
    std::atomic<int32_t> state{WorkerRunning};

    // Worker thread, from inside a pass.
    void setSubProgress(int32_t value);
    void checkCancel() {
        if (checkpointHook)
            checkpointHook(*this);
        int32_t s = state.load(std::memory_order_acquire);
        if (s != WorkerRunning)
            throw s;
    }

    // Worker-owned while a request runs; passes read and replace it.
    Bitmap workingImage;
    EngineSettings activeSettings;
    int32_t passesDone = 0;
    int32_t passesTotal = 1;
    int32_t subProgress = 0;

    // Called on the worker at every checkpoint before the state is read, so
    // that a test can cancel a pass at a chosen point. Null in the program.
    void (*checkpointHook)(ProcessingJob& job) = nullptr;

    // How many threads a pass may use for its heavy loops, the worker
    // included (1 = only the worker); all hardware threads unless set. Read
    // when a pass starts. The results do not depend on it.
    std::atomic<int32_t> threadCount{HardwareThreadCount()};

protected:
    void Run() override;

private:
    // Takes the waiting request; false when it was an empty one (a cancel)
    // or the job is shutting down.
    bool takeRequest();
    void runPasses();
    void handOver();
    void publishPercent(int32_t value);

    PassSequence passes_;

    CriticalSection requestLock_;
    Bitmap requestImage_;
    EngineSettings requestSettings_;
    bool requestSignalled_ = false;  // a submit or cancel not taken yet
    Event wakeEvent_;

    CriticalSection resultLock_;
    Bitmap resultImage_;
};
