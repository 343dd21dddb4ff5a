#include "engine/noise_estimate.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// Immerkær's operator (the 3 x 3 mask 1 -2 1 / -2 4 -2 / 1 -2 1, the
// difference of two Laplacians) cancels every surface that is linear along
// rows or along columns, so on smooth parts of a photo it leaves only the
// noise, with deviation 6 sigma (the root of the sum of the squared weights).
// Immerkær averages the absolute responses; we take their median instead,
// as Donoho's MAD does with a wavelet band, because edges and texture form a
// long tail that pulls the mean up but barely moves the median: for normal
// noise median |r| = 0.6745 x 6 sigma. Windows that touch 0 or 255 are left
// out, since clipping flattens the noise there. Everything up to the last
// division is integer, so the estimate is the same on every machine.

namespace {

constexpr int32_t MaxResponse = 16 * 255;
// Rows looked at: about this many pixels, spread evenly over the picture.
constexpr int64_t SampleBudget = 1 << 20;
// 0.6744898 x 6: the median of |r| for unit noise.
constexpr double MedianPerSigma = 4.0469387;

bool clipped(uint32_t a, uint32_t b, uint32_t c) {
    return std::min({a, b, c}) == 0 || std::max({a, b, c}) == 255;
}

}  // namespace

float estimateNoiseSigma(const Bitmap& picture) {
    const int32_t w = picture.width, h = picture.height;
    if (w < 3 || h < 3)
        return 0.0f;
    const int64_t inner = static_cast<int64_t>(w - 2) * (h - 2);
    const int32_t rowStep = static_cast<int32_t>(std::max<int64_t>(1, inner / SampleBudget));

    std::vector<int64_t> histogram(MaxResponse + 1, 0);
    int64_t samples = 0;
    const uint32_t shifts[3] = {16, 8, 0};
    for (int32_t y = 1; y + 1 < h; y += rowStep) {
        const uint32_t* up = picture.data + static_cast<size_t>(y - 1) * w;
        const uint32_t* mid = up + w;
        const uint32_t* down = mid + w;
        for (uint32_t shift : shifts) {
            auto at = [shift](const uint32_t* row, int32_t x) { return (row[x] >> shift) & 0xFF; };
            for (int32_t x = 1; x + 1 < w; ++x) {
                const uint32_t a0 = at(up, x - 1), a1 = at(up, x), a2 = at(up, x + 1);
                const uint32_t b0 = at(mid, x - 1), b1 = at(mid, x), b2 = at(mid, x + 1);
                const uint32_t c0 = at(down, x - 1), c1 = at(down, x), c2 = at(down, x + 1);
                if (clipped(a0, a1, a2) || clipped(b0, b1, b2) || clipped(c0, c1, c2))
                    continue;
                const int32_t top = static_cast<int32_t>(a0 + a2) - 2 * static_cast<int32_t>(a1);
                const int32_t centre = static_cast<int32_t>(b0 + b2) - 2 * static_cast<int32_t>(b1);
                const int32_t bottom = static_cast<int32_t>(c0 + c2) - 2 * static_cast<int32_t>(c1);
                const int32_t r = top - 2 * centre + bottom;
                ++histogram[static_cast<size_t>(r < 0 ? -r : r)];
                ++samples;
            }
        }
    }
    if (samples == 0)
        return 0.0f;

    // The median of |r|, each integer k standing for [k - 0.5, k + 0.5)
    // (0 for [0, 0.5)), interpolated inside its bin.
    const double half = static_cast<double>(samples) / 2.0;
    int64_t below = 0;
    int32_t k = 0;
    while (static_cast<double>(below + histogram[static_cast<size_t>(k)]) < half)
        below += histogram[static_cast<size_t>(k++)];
    const double lowEdge = k == 0 ? 0.0 : k - 0.5;
    const double width = k == 0 ? 0.5 : 1.0;
    const double median =
        lowEdge + width * (half - static_cast<double>(below)) / static_cast<double>(histogram[static_cast<size_t>(k)]);
    return static_cast<float>(median / MedianPerSigma);
}
