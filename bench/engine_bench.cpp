// Speed of the enhancement passes on a one-megapixel noisy picture.
//
//   engine_bench --benchmark_filter='Preset'          every preset: the
//       straightforward reference passes on one thread (PresetReference) and
//       the fast passes on all hardware threads (PresetFast)
//   engine_bench --benchmark_filter='BlockSearch'     the block search alone
//       of "Fine digicam noise": reference, and fast on 1 and all threads
//   engine_bench --benchmark_filter='Zoom4x'          "Photo 4x zoom" on a
//       three-megapixel picture magnified to 48 megapixels first, all
//       threads; reports the process's peak resident memory
//   engine_bench --benchmark_filter='Auto'            the damage estimate of
//       vistrel-cli --auto (AutoEstimate) against the passes with the
//       sliders it chooses (AutoPasses, all threads) on a 12-megapixel
//       picture
//   engine_bench --write-picture=PATH                 writes the one-megapixel
//       picture as raw 8-bit RGB (1000 x 1000) for other tools, then exits
//
// The presets of the first group run without their magnification: the
// passes work on the picture as given. Each case takes seconds, so it runs
// once per repetition and the median of the repetitions is reported, with
// wall time and the CPU time of the whole process (all threads).
#include "core/bilinear_scale.h"
#include "engine/auto_sliders.h"
#include "engine/noise_estimate.h"
#include "core/bilinear_weights.h"
#include "engine/block_search.h"
#include "engine/deblur.h"
#include "engine/denoise.h"
#include "engine/detail_pyramid.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "engine/processing_job.h"
#include "engine/reference_passes.h"
#include "engine/structure_estimate.h"
#include "platform/thread.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace {

constexpr int Repetitions = 3;

// splitmix64, so that the picture is the same on every machine.
uint64_t nextRandom(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Soft diagonal waves and a slow colour gradient with luminance noise of
// deviation about 5 (a sum of uniforms), the kind of picture the presets
// are made for.
Bitmap makeNoisyPicture(int32_t width, int32_t height) {
    Bitmap b;
    b.resize(width, height);
    uint64_t state = 20240611;
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            int32_t wave = (x + 2 * y) % 24;
            wave = wave < 12 ? wave * 6 : (24 - wave) * 6;
            int32_t noise = 0;
            for (int i = 0; i < 4; ++i)
                noise += static_cast<int32_t>(nextRandom(state) % 9);
            noise -= 16;
            int32_t v = 60 + wave + (x + y) / 20 + noise;
            auto clampByte = [](int32_t c) { return static_cast<uint32_t>(c < 0 ? 0 : c > 255 ? 255 : c); };
            b.at(x, y) = packPixel(clampByte(v + 25), clampByte(v), clampByte(v - 35 + y / 25));
        }
    }
    return b;
}

const Bitmap& noisyPicture() {
    static Bitmap picture = makeNoisyPicture(1000, 1000);
    return picture;
}

// A job whose worker only waits; the passes run on the benchmark's thread.
ProcessingJob& idleJob() {
    static ProcessingJob* job = [] {
        InitBilinearWeights();
        return new ProcessingJob(PassSequence{});
    }();
    return *job;
}

// Peak resident memory of the process so far, in megabytes (Linux).
double peakResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0.0;
}

template <bool Reference>
void runSettings(benchmark::State& state, const Bitmap& picture, const EngineSettings& settings, int32_t threads) {
    ProcessingJob& job = idleJob();
    job.threadCount.store(threads);
    for (auto _ : state) {
        state.PauseTiming();
        job.workingImage.copyFrom(picture);
        job.subProgress = job.passesDone = 0;
        job.passesTotal = 1;
        state.ResumeTiming();
        MatchCountMap map;
        if (Reference)
            runDenoisePassReference(job, 0, settings.pass1, &map);
        else
            runDenoisePass(job, 0, settings.pass1, &map);
        if (settings.deblur.enabled) {
            DeblurSettings deblur = settings.deblur;
            deblur.map.moveFrom(map);
            if (Reference)
                runDeblurPassReference(job, deblur);
            else
                runDeblurPass(job, deblur);
        }
        benchmark::DoNotOptimize(job.workingImage.data);
    }
    state.counters["threads"] = threads;
}

template <bool Reference>
void runPreset(benchmark::State& state, const Bitmap& picture, int32_t presetIndex, int32_t threads) {
    runSettings<Reference>(state, picture, settingsFromOptions(Presets[presetIndex].options()), threads);
    state.SetLabel(Presets[presetIndex].name);
}

void PresetReference(benchmark::State& state) {
    runPreset<true>(state, noisyPicture(), static_cast<int32_t>(state.range(0)), 1);
}
void PresetFast(benchmark::State& state) {
    runPreset<false>(state, noisyPicture(), static_cast<int32_t>(state.range(0)), HardwareThreadCount());
}
BENCHMARK(PresetReference)
    ->DenseRange(0, PresetCount - 1)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->ReportAggregatesOnly(true);
BENCHMARK(PresetFast)
    ->DenseRange(0, PresetCount - 1)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->ReportAggregatesOnly(true);

// The block search of "Fine digicam noise" alone, on the detail band of the
// padded picture. Argument: threads, 0 for the reference.
void BlockSearch(benchmark::State& state) {
    PassParams params = settingsFromOptions(Presets[0].options()).pass1;
    const int32_t m = 2 * params.patchRadius;
    const int32_t threads = state.range(0) < 0 ? HardwareThreadCount() : static_cast<int32_t>(state.range(0));
    BandSplit bands = splitBands(padByReplication(noisyPicture(), m), params.splitRadius);
    DetailPyramid pyramid = buildPyramid(bands.detail);
    ByteImage detailOut;
    MatchCountMap map;
    for (auto _ : state) {
        if (threads == 0)
            averageDetailReference(pyramid, pyramid, bands.detail, detailOut, params, m, nullptr, &map);
        else
            averageDetail(pyramid, pyramid, bands.detail, detailOut, params, m, nullptr, &map, threads);
        benchmark::DoNotOptimize(detailOut.data);
    }
    state.SetLabel(threads == 0 ? "reference" : "fast");
    state.counters["threads"] = threads == 0 ? 1 : threads;
}
BENCHMARK(BlockSearch)
    ->Arg(0)
    ->Arg(1)
    ->Arg(-1)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->ReportAggregatesOnly(true);

const Bitmap& twelveMegapixels() {
    static Bitmap picture = makeNoisyPicture(4000, 3000);
    return picture;
}

void AutoEstimate(benchmark::State& state) {
    const Bitmap& picture = twelveMegapixels();
    for (auto _ : state) {
        const float sigma = estimateNoiseSigma(picture);
        benchmark::DoNotOptimize(estimateStructure(picture, sigma));
        benchmark::DoNotOptimize(estimateNoiseProfile(picture));
    }
    state.counters["sigma"] = estimateNoiseSigma(picture);
    state.counters["structure"] = estimateStructure(picture, estimateNoiseSigma(picture));
}
BENCHMARK(AutoEstimate)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(Repetitions)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->ReportAggregatesOnly(true);

void AutoPasses(benchmark::State& state) {
    const float sigma = estimateNoiseSigma(twelveMegapixels());
    DamageEstimate damage{sigma, 0, estimateStructure(twelveMegapixels(), sigma)};
    damage.profile = estimateNoiseProfile(twelveMegapixels());
    const OptionValues sliders = autoSliders(damage).sliders;
    runSettings<false>(state, twelveMegapixels(), settingsFromOptions(sliders), HardwareThreadCount());
    state.counters["noise_size"] = sliders.noiseSize;
    state.counters["amount"] = sliders.denoiseAmount;
    state.counters["cutoff"] = sliders.denoiseCutoff;
}
BENCHMARK(AutoPasses)->Unit(benchmark::kSecond)->Iterations(1)->Repetitions(1)->MeasureProcessCPUTime()->UseRealTime();

// "Photo 4x zoom" as the program runs it: a 2000 x 1500 picture magnified to
// 8000 x 6000, then the passes on all threads. Run it alone to read its peak
// memory: the counter is the whole process's.
void Zoom4x(benchmark::State& state) {
    const ::Preset& preset = *findPreset("Photo 4x zoom");
    Bitmap magnified;
    {
        Bitmap source = makeNoisyPicture(2000, 1500);
        InitBilinearWeights();
        scaleBilinearClamped(source, 2000 * preset.factor, 1500 * preset.factor, magnified);
    }
    const double before = peakResidentMegabytes();
    runPreset<false>(state, magnified, static_cast<int32_t>(&preset - Presets), HardwareThreadCount());
    state.counters["peak_MB"] = peakResidentMegabytes();
    state.counters["peak_before_MB"] = before;
    state.counters["megapixels"] = magnified.pixelCount() / 1e6;
}
BENCHMARK(Zoom4x)->Unit(benchmark::kSecond)->MeasureProcessCPUTime()->UseRealTime()->Iterations(1)->Repetitions(1);

}

int main(int argc, char** argv) {
    const std::string option = "--write-picture=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(option, 0) != 0)
            continue;
        const Bitmap& picture = noisyPicture();
        std::ofstream out(arg.substr(option.size()), std::ios::binary);
        for (size_t p = 0; p < picture.pixelCount(); ++p) {
            const char rgb[3] = {static_cast<char>(pixelRed(picture.data[p])), static_cast<char>(pixelGreen(picture.data[p])),
                                 static_cast<char>(pixelBlue(picture.data[p]))};
            out.write(rgb, 3);
        }
        return out ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
