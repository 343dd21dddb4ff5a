#include "engine/gaussian.h"

#include "core/portable_math.h"
#include "engine/parallel_rows.h"
#include "engine/work_image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
constexpr double Pi = 3.1415927;
constexpr int32_t MaxReach = 100;
}

double gaussianValue(double sigma, double x, double y) {
    double cubed = sigma * sigma * sigma;
    return portableExp(-(x * x + y * y) / (2.0 * cubed)) / (2.0 * Pi * cubed);
}

GaussianKernel::GaussianKernel(float sigma_, double cutoffRatio, Shape shape) : sigma(sigma_) {
    double threshold = cutoffRatio * gaussianValue(sigma, 0.0, 0.0);
    int32_t reach = MaxReach;
    for (int32_t i = 1; i < MaxReach; ++i) {
        if (gaussianValue(sigma, static_cast<float>(i), 0.0f) < threshold) {
            reach = i;
            break;
        }
    }
    int32_t n = 2 * reach - 1;
    if (shape == Row)
        allocateOrThrow(*this, n, 1);
    else if (shape == Column)
        allocateOrThrow(*this, 1, n);
    else
        allocateOrThrow(*this, n, n);

    int32_t cx = (width - 1) / 2;
    int32_t cy = (height - 1) / 2;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            at(x, y) = static_cast<float>(gaussianValue(sigma, static_cast<float>(x - cx), static_cast<float>(y - cy)));

    double sum = 0.0;
    size_t count = pixelCount();
    for (size_t i = 0; i < count; ++i)
        sum += std::fabs(static_cast<double>(data[i]));
    for (size_t i = 0; i < count; ++i)
        data[i] = static_cast<float>(static_cast<double>(data[i]) / sum);
}

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VISTREL_X86 1
#endif

namespace {

#ifdef VISTREL_X86
bool haveAvx2() {
    static const bool have = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return have;
}

// Eight outputs of a row at once, one double lane per output: each lane adds
// its products in the same order, with the same roundings, as the scalar loop.
__attribute__((target("avx2"))) int32_t horizontalAvx2(const float* src, float* dst, int32_t x, int32_t x1,
                                                        int32_t cx, const double* taps, int32_t n) {
    for (; x + 8 <= x1; x += 8) {
        const float* window = src + (x - cx);
        __m256d low = _mm256_setzero_pd(), high = _mm256_setzero_pd();
        for (int32_t i = 0; i < n; ++i) {
            const __m256d tap = _mm256_set1_pd(taps[i]);
            low = _mm256_add_pd(low, _mm256_mul_pd(tap, _mm256_cvtps_pd(_mm_loadu_ps(window + i))));
            high = _mm256_add_pd(high, _mm256_mul_pd(tap, _mm256_cvtps_pd(_mm_loadu_ps(window + i + 4))));
        }
        _mm_storeu_ps(dst + x, _mm256_cvtpd_ps(low));
        _mm_storeu_ps(dst + x + 4, _mm256_cvtpd_ps(high));
    }
    return x;
}

// sums[x] += tap * src[x] for x < count, four lanes at a time.
__attribute__((target("avx2"))) int32_t verticalAvx2(double* sums, const float* src, int32_t count, double tap) {
    const __m256d t = _mm256_set1_pd(tap);
    int32_t x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m256d v = _mm256_cvtps_pd(_mm_loadu_ps(src + x));
        _mm256_storeu_pd(sums + x, _mm256_add_pd(_mm256_loadu_pd(sums + x), _mm256_mul_pd(t, v)));
    }
    return x;
}
#endif

// Any kernel shape: every tap clamped to the image.
void convolveRowsGeneral(const GaussianKernel& kernel, const FloatImage& in, FloatImage& out, int32_t y0, int32_t y1) {
    const int32_t cx = (kernel.width - 1) / 2;
    const int32_t cy = (kernel.height - 1) / 2;
    const int32_t lastX = in.width - 1;
    const int32_t lastY = in.height - 1;
    for (int32_t y = y0; y < y1; ++y) {
        for (int32_t x = 0; x < in.width; ++x) {
            double sum = 0.0;
            for (int32_t j = 0; j < kernel.height; ++j) {
                const int32_t sy = std::clamp(y - cy + j, 0, lastY);
                for (int32_t i = 0; i < kernel.width; ++i) {
                    const int32_t sx = std::clamp(x - cx + i, 0, lastX);
                    sum += static_cast<double>(kernel.at(i, j)) * static_cast<double>(in.at(sx, sy));
                }
            }
            out.at(x, y) = static_cast<float>(sum);
        }
    }
}

// A row kernel: taps clamped only near the left and right edges.
void convolveRowsHorizontal(const GaussianKernel& kernel, const FloatImage& in, FloatImage& out, int32_t y0,
                            int32_t y1) {
    const int32_t n = kernel.width;
    const int32_t cx = (n - 1) / 2;
    const int32_t w = in.width;
    std::vector<double> taps(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        taps[static_cast<size_t>(i)] = static_cast<double>(kernel.data[i]);
    // Outputs in [inner0, inner1) have their whole window inside the row.
    const int32_t inner0 = std::min(cx, w);
    const int32_t inner1 = std::max(inner0, w - (n - 1 - cx));
    for (int32_t y = y0; y < y1; ++y) {
        const float* src = in.data + static_cast<size_t>(y) * static_cast<size_t>(w);
        float* dst = out.data + static_cast<size_t>(y) * static_cast<size_t>(w);
        auto clamped = [&](int32_t x) {
            double sum = 0.0;
            for (int32_t i = 0; i < n; ++i)
                sum += taps[static_cast<size_t>(i)] * static_cast<double>(src[std::clamp(x - cx + i, 0, w - 1)]);
            dst[x] = static_cast<float>(sum);
        };
        for (int32_t x = 0; x < inner0; ++x)
            clamped(x);
        int32_t x = inner0;
#ifdef VISTREL_X86
        if (haveAvx2())
            x = horizontalAvx2(src, dst, x, inner1, cx, taps.data(), n);
#endif
        for (; x < inner1; ++x) {
            const float* window = src + (x - cx);
            double sum = 0.0;
            for (int32_t i = 0; i < n; ++i)
                sum += taps[static_cast<size_t>(i)] * static_cast<double>(window[i]);
            dst[x] = static_cast<float>(sum);
        }
        for (int32_t x = inner1; x < w; ++x)
            clamped(x);
    }
}

// A column kernel: a whole output row at a time, one tap row after the other,
// so the reads run along rows; each output still adds its taps in ascending
// order starting from zero.
void convolveRowsVertical(const GaussianKernel& kernel, const FloatImage& in, FloatImage& out, int32_t y0,
                          int32_t y1) {
    const int32_t n = kernel.height;
    const int32_t cy = (n - 1) / 2;
    const int32_t w = in.width;
    const int32_t lastY = in.height - 1;
    std::vector<double> sums(static_cast<size_t>(w));
    for (int32_t y = y0; y < y1; ++y) {
        std::fill(sums.begin(), sums.end(), 0.0);
        for (int32_t j = 0; j < n; ++j) {
            const double tap = static_cast<double>(kernel.data[j]);
            const float* src = in.data + static_cast<size_t>(std::clamp(y - cy + j, 0, lastY)) * static_cast<size_t>(w);
            int32_t x = 0;
#ifdef VISTREL_X86
            if (haveAvx2())
                x = verticalAvx2(sums.data(), src, w, tap);
#endif
            for (; x < w; ++x)
                sums[static_cast<size_t>(x)] += tap * static_cast<double>(src[x]);
        }
        float* dst = out.data + static_cast<size_t>(y) * static_cast<size_t>(w);
        for (int32_t x = 0; x < w; ++x)
            dst[x] = static_cast<float>(sums[static_cast<size_t>(x)]);
    }
}

}

void convolve(const GaussianKernel& kernel, const FloatImage& in, FloatImage& out, int32_t threads) {
    allocateOrThrow(out, in.width, in.height);
    if (in.isEmpty())
        return;
    forEachRowBand(threads, in.width, in.height, [&](int32_t y0, int32_t y1) {
        if (kernel.height == 1)
            convolveRowsHorizontal(kernel, in, out, y0, y1);
        else if (kernel.width == 1)
            convolveRowsVertical(kernel, in, out, y0, y1);
        else
            convolveRowsGeneral(kernel, in, out, y0, y1);
    });
}

void gaussianBlur(const FloatImage& in, float sigma, FloatImage& out, int32_t threads) {
    GaussianKernel row(sigma, GaussianCutoffRatio, GaussianKernel::Row);
    GaussianKernel column(sigma, GaussianCutoffRatio, GaussianKernel::Column);
    FloatImage rows;
    convolve(row, in, rows, threads);
    convolve(column, rows, out, threads);
}

float halfWidthToSigma(float halfWidth) {
    return static_cast<float>(static_cast<double>(halfWidth) / std::sqrt(-2.0 * portableLog(0.5)));
}
