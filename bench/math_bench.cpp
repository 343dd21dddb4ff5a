// Cost of the portable exp, log, pow, sin and cos beside the C library's, on
// 1024 arguments from the ranges the engine and the toolkit use.
//
//   math_bench --benchmark_filter='Exp'      portableExp and the library's exp
#include "core/portable_math.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

std::vector<double> arguments(double lo, double hi) {
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> uniform(lo, hi);
    std::vector<double> v(1024);
    for (double& x : v)
        x = uniform(random);
    return v;
}

// Both sides are called through a pointer, so neither is inlined.
void unary(benchmark::State& state, double (*f)(double), double lo, double hi) {
    const std::vector<double> xs = arguments(lo, hi);
    for (auto _ : state)
        for (double x : xs)
            benchmark::DoNotOptimize(f(x));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(xs.size()));
}

void power(benchmark::State& state, double (*f)(double, double)) {
    const std::vector<double> ys = arguments(-2, 2);
    for (auto _ : state)
        for (double y : ys)
            benchmark::DoNotOptimize(f(2.0, y));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(ys.size()));
}

double libraryExp(double x) { return std::exp(x); }
double libraryLog(double x) { return std::log(x); }
double libraryPow(double x, double y) { return std::pow(x, y); }
double librarySin(double x) { return std::sin(x); }
double libraryCos(double x) { return std::cos(x); }

}  // namespace

BENCHMARK_CAPTURE(unary, portableExp, portableExp, -20.0, 0.0);
BENCHMARK_CAPTURE(unary, libraryExp, libraryExp, -20.0, 0.0);
BENCHMARK_CAPTURE(unary, portableLog, portableLog, 0.1, 200.0);
BENCHMARK_CAPTURE(unary, libraryLog, libraryLog, 0.1, 200.0);
BENCHMARK_CAPTURE(power, portablePow, portablePow);
BENCHMARK_CAPTURE(power, libraryPow, libraryPow);
BENCHMARK_CAPTURE(unary, portableSin, portableSin, 0.0, 6.3);
BENCHMARK_CAPTURE(unary, librarySin, librarySin, 0.0, 6.3);
BENCHMARK_CAPTURE(unary, portableCos, portableCos, 0.0, 6.3);
BENCHMARK_CAPTURE(unary, libraryCos, libraryCos, 0.0, 6.3);

BENCHMARK_MAIN();
