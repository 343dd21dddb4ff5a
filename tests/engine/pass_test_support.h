#pragma once

#include "core/bilinear_weights.h"
#include "core/bitmap.h"
#include "engine/processing_job.h"
#include "engine/work_image.h"
#include "tests/support/images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

// Shared by the pass tests: a deterministic generator (the standard distributions differ between library
// versions), synthetic pictures, and one idle job whose worker never wakes, on which the passes run directly.
namespace passtest {

// splitmix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1) with 24 bits.
    double uniform() { return static_cast<double>(next() >> 40) / 16777216.0; }
    // Approximately normal (sum of twelve uniforms), mean 0, deviation 1, computed with additions only.
    double normal() {
        double s = 0.0;
        for (int i = 0; i < 12; ++i) s += uniform();
        return s - 6.0;
    }

private:
    uint64_t state_;
};

inline uint8_t clampByte(double v) { return v <= 0.0 ? 0 : v >= 255.0 ? 255 : static_cast<uint8_t>(std::lrint(v)); }

using ::generated, ::hashImage;

inline Bitmap solid(int32_t w, int32_t h, uint32_t p) { return generated(w, h, [p](int32_t, int32_t) { return p; }); }

// A coloured picture with repeating structure (a diagonal triangle wave of period 12), in integers only.
inline Bitmap texture(int32_t w, int32_t h) {
    return generated(w, h, [](int32_t x, int32_t y) {
        const int32_t wave = (x + 2 * y) % 12;
        const uint32_t v = static_cast<uint32_t>(90 + (wave < 6 ? wave * 12 : (12 - wave) * 12));  // 90..162
        return packPixel(v + 20, v, v - 30, 255);
    });
}

// Adds the same normal noise of the given deviation to all three channels of every pixel (a luminance noise).
inline Bitmap withNoise(const Bitmap& clean, double deviation, uint64_t seed) {
    Random random(seed);
    return generated(clean.width, clean.height, [&](int32_t x, int32_t y) {
        const double n = random.normal() * deviation;
        const uint32_t p = clean.at(x, y);
        return packPixel(clampByte(pixelRed(p) + n), clampByte(pixelGreen(p) + n), clampByte(pixelBlue(p) + n),
                         pixelAlpha(p));
    });
}

// Every sample random: the hardest picture (Bitmap) for the search, a detail band (ByteImage) without structure.
template <typename ImageType> ImageType randomImage(int32_t w, int32_t h, uint64_t seed) {
    Random random(seed);
    using Sample = std::remove_pointer_t<decltype(ImageType::data)>;
    return generated<ImageType>(w, h, [&random](int32_t, int32_t) { return static_cast<Sample>(random.next()); });
}

inline double psnr(const Bitmap& a, const Bitmap& b) {
    double sum = 0.0;
    for (size_t i = 0; i < a.pixelCount(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const double d = double((a.data[i] >> shift) & 255) - double((b.data[i] >> shift) & 255);
            sum += d * d;
        }
    return 10.0 * std::log10(255.0 * 255.0 * 3.0 * double(a.pixelCount()) / sum);
}

// Counts the checkpoints passes reach on a job, with the percentage at each; sets the job's state at the cancelAt-th.
struct Checkpoints {
    static inline int64_t seen = 0, cancelAt = -1;
    static inline int32_t state = WorkerRestart;
    static inline std::vector<int32_t> percents;
    static void arm(ProcessingJob& job, int64_t at, int32_t cancelState = WorkerRestart) {
        seen = 0, cancelAt = at, state = cancelState;
        percents.clear();
        job.checkpointHook = [](ProcessingJob& j) {
            percents.push_back(j.percent.load());
            if (++seen == cancelAt) j.state.store(state);
        };
    }
};

// A job whose worker waits idle for the whole test program: nothing is ever submitted to it, so the tests own its
// working image and fields. The passes run on the calling thread alone unless a test sets threadCount.
inline ProcessingJob& idleJob(const Bitmap& image) {
    static ProcessingJob* job = (InitBilinearWeights(), new ProcessingJob(PassSequence{}));
    job->checkpointHook = nullptr;
    job->passesDone = 0, job->passesTotal = 1, job->subProgress = 0;
    job->state.store(WorkerRunning), job->percent.store(0), job->threadCount.store(1);
    job->workingImage.copyFrom(image);
    return *job;
}

// Runs the pass on a fresh copy of the picture once for each of its first `total` checkpoints, cancelling it
// there with `state`: every run must end with that state thrown and the picture as it was.
template <typename Pass>
void expectEveryCheckpointCancels(const Bitmap& picture, int64_t total, int32_t state, Pass pass) {
    for (int64_t at = 1; at <= total; ++at) {
        ProcessingJob& job = idleJob(picture);
        Checkpoints::arm(job, at, state);
        int32_t thrown = -1;
        try { pass(job); } catch (int32_t s) { thrown = s; }
        EXPECT_EQ(thrown, state) << "cancelled at checkpoint " << at;
        EXPECT_TRUE(samePixels(job.workingImage, picture)) << "cancelled at checkpoint " << at;
    }
    idleJob(Bitmap());
}

}
