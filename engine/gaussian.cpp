#include "engine/gaussian.h"

#include "engine/work_image.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr double Pi = 3.1415927;
constexpr int32_t MaxReach = 100;
}

double gaussianValue(double sigma, double x, double y) {
    double cubed = sigma * sigma * sigma;
    return std::exp(-(x * x + y * y) / (2.0 * cubed)) / (2.0 * Pi * cubed);
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

void convolve(const GaussianKernel& kernel, const FloatImage& in, FloatImage& out) {
    allocateOrThrow(out, in.width, in.height);
    if (in.isEmpty())
        return;
    int32_t cx = (kernel.width - 1) / 2;
    int32_t cy = (kernel.height - 1) / 2;
    int32_t lastX = in.width - 1;
    int32_t lastY = in.height - 1;
    for (int32_t y = 0; y < in.height; ++y) {
        for (int32_t x = 0; x < in.width; ++x) {
            double sum = 0.0;
            for (int32_t j = 0; j < kernel.height; ++j) {
                int32_t sy = std::clamp(y - cy + j, 0, lastY);
                for (int32_t i = 0; i < kernel.width; ++i) {
                    int32_t sx = std::clamp(x - cx + i, 0, lastX);
                    sum += static_cast<double>(kernel.at(i, j)) * static_cast<double>(in.at(sx, sy));
                }
            }
            out.at(x, y) = static_cast<float>(sum);
        }
    }
}

void gaussianBlur(const FloatImage& in, float sigma, FloatImage& out) {
    GaussianKernel row(sigma, GaussianCutoffRatio, GaussianKernel::Row);
    GaussianKernel column(sigma, GaussianCutoffRatio, GaussianKernel::Column);
    FloatImage rows;
    convolve(row, in, rows);
    convolve(column, rows, out);
}

float halfWidthToSigma(float halfWidth) {
    return static_cast<float>(static_cast<double>(halfWidth) / std::sqrt(-2.0 * std::log(0.5)));
}
