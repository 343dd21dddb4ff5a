#pragma once

#include "core/image.h"

#include <cstdint>

// A sampled Gaussian, normalised so that its weights sum to 1. The bell
// divides by 2 sigma^3 (cubed, not squared) in both the exponent and the
// factor in front; every blur of the program relies on that width.
class GaussianKernel : public FloatImage {
public:
    enum Shape : int32_t {
        Square = 0,  // n x n
        Row = 1,     // n x 1
        Column = 2,  // 1 x n
    };

    // Keeps the offsets whose weight reaches cutoffRatio of the centre weight
    // (at most 99 on either side).
    GaussianKernel(float sigma, double cutoffRatio, Shape shape);

    float sigma = 0.0f;
    bool normalise = true;
};

// The cut-off ratio every kernel of the program uses.
inline constexpr double GaussianCutoffRatio = 0.001;

// The unnormalised bell at offset (x, y), in double precision.
double gaussianValue(double sigma, double x, double y);

// Correlates in with kernel (no flip) into out, which takes in's size.
// Samples outside in repeat the nearest edge pixel. Sums are formed in double
// over kernel rows, then columns, both ascending, and stored as float. The
// rows of out are shared among threads; every output is summed in the same
// order whatever their number, so the floats do not change with it.
void convolve(const GaussianKernel& kernel, const FloatImage& in, FloatImage& out, int32_t threads = 1);

// Separable blur: in convolved with the row kernel, then with the column
// kernel of the same sigma.
void gaussianBlur(const FloatImage& in, float sigma, FloatImage& out, int32_t threads = 1);

// Sigma of the Gaussian whose half width at half maximum is halfWidth.
float halfWidthToSigma(float halfWidth);
