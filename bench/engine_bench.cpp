// Speed of the enhancement passes on a one-megapixel picture, one thread.
//
//   engine_bench --benchmark_filter=Preset     the denoise pass (and the
//                                              deblur pass where the preset
//                                              enables it) per preset
//   engine_bench --benchmark_filter=BlockSearch  the block search alone
//
// The presets run without their magnification: the passes work on the
// picture as given. Each run takes seconds, so each case runs once per
// repetition and reports the median of the repetitions.
#include "core/bilinear_weights.h"
#include "engine/block_search.h"
#include "engine/deblur.h"
#include "engine/denoise.h"
#include "engine/detail_pyramid.h"
#include "engine/option_mapping.h"
#include "engine/presets.h"
#include "engine/processing_job.h"

#include <benchmark/benchmark.h>

#include <cstdint>

namespace {

constexpr int32_t Side = 1000;
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
const Bitmap& noisyPicture() {
    static Bitmap picture = [] {
        Bitmap b;
        b.resize(Side, Side);
        uint64_t state = 20240611;
        for (int32_t y = 0; y < Side; ++y) {
            for (int32_t x = 0; x < Side; ++x) {
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
    }();
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

void Preset(benchmark::State& state) {
    const ::Preset& preset = Presets[state.range(0)];
    EngineSettings settings = settingsFromOptions(preset.options());
    ProcessingJob& job = idleJob();
    for (auto _ : state) {
        state.PauseTiming();
        job.workingImage.copyFrom(noisyPicture());
        job.subProgress = job.passesDone = 0;
        job.passesTotal = 1;
        state.ResumeTiming();
        MatchCountMap map;
        runDenoisePass(job, 0, settings.pass1, &map);
        if (settings.deblur.enabled) {
            DeblurSettings deblur = settings.deblur;
            deblur.map.moveFrom(map);
            runDeblurPass(job, deblur);
        }
        benchmark::DoNotOptimize(job.workingImage.data);
    }
    state.SetLabel(preset.name);
}
BENCHMARK(Preset)
    ->DenseRange(0, PresetCount - 1)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->ReportAggregatesOnly(true);

// The block search of "Fine digicam noise" alone, on the detail band of the
// padded picture.
void BlockSearch(benchmark::State& state) {
    PassParams params = settingsFromOptions(Presets[state.range(0)].options()).pass1;
    const int32_t m = 2 * params.patchRadius;
    BandSplit bands = splitBands(padByReplication(noisyPicture(), m), params.splitRadius);
    DetailPyramid reference = buildPyramid(bands.detail);
    DetailPyramid search = buildPyramid(bands.detail);
    ByteImage detailOut;
    MatchCountMap map;
    for (auto _ : state) {
        averageDetail(reference, search, bands.detail, detailOut, params, m, nullptr, &map);
        benchmark::DoNotOptimize(detailOut.data);
    }
    state.SetLabel(Presets[state.range(0)].name);
}
BENCHMARK(BlockSearch)
    ->Arg(0)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->ReportAggregatesOnly(true);

}

BENCHMARK_MAIN();
