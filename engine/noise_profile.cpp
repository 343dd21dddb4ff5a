#include "engine/noise_profile.h"

#include <algorithm>
#include <cmath>
#include <vector>

// At every scale the picture is cut into blocks whose sums (integers) stand
// for their means, and Immerkaer's operator (1 -2 1 / -2 4 -2 / 1 -2 1, see
// noise_estimate.cpp) runs over the block sums: it cancels surfaces linear
// along rows or columns and leaves noise of deviation 6 sigma. A low quantile of
// its absolute responses, counted in integer histograms, gives sigma (see
// Quantile); edges and texture form a long tail that barely moves it. A window with a
// clipped channel anywhere in its nine blocks is left out. Only the last
// divisions and one square root (correctly rounded on every machine) are
// floating point, so every machine gets the same bits.

namespace {

// Block rows looked at per scale: about this many windows.
constexpr int64_t SampleBudget = 1 << 19;
// Responses from here up share the last bin; noise never reaches it.
constexpr int32_t Bins = 1 << 15;
// A tone needs this many windows for its own reading.
constexpr int64_t MinimumSamples = 2000;
// The lower quarter of |r| is read rather than the median: on whole photos
// texture fills far more than half of the coarse windows, and the quarter
// still stands clear of the zeros JPEG leaves at the finest scale. For
// normal noise it sits at 0.3186 x 6 sigma.
constexpr double Quantile = 0.25;
constexpr double QuantilePerSigma = 1.9116953;

struct BlockRow {
    std::vector<int32_t> luma, red, blue;  // sums of R + 2G + B, R - G, B - G
    std::vector<uint8_t> clipped;
};

void sumBlockRow(const Bitmap& picture, int32_t block, int32_t blockY, int32_t across, BlockRow& row) {
    row.luma.assign(static_cast<size_t>(across), 0);
    row.red.assign(static_cast<size_t>(across), 0);
    row.blue.assign(static_cast<size_t>(across), 0);
    row.clipped.assign(static_cast<size_t>(across), 0);
    for (int32_t y = blockY * block; y < (blockY + 1) * block; ++y) {
        const uint32_t* pixels = picture.data + static_cast<size_t>(y) * picture.width;
        for (int32_t x = 0; x < across * block; ++x) {
            const uint32_t p = pixels[x];
            const int32_t r = static_cast<int32_t>((p >> 16) & 0xFF), g = static_cast<int32_t>((p >> 8) & 0xFF),
                          b = static_cast<int32_t>(p & 0xFF);
            const size_t i = static_cast<size_t>(x / block);
            row.luma[i] += r + 2 * g + b;
            row.red[i] += r - g;
            row.blue[i] += b - g;
            if (std::min({r, g, b}) == 0 || std::max({r, g, b}) == 255)
                row.clipped[i] = 1;
        }
    }
}

int32_t response(const std::vector<int32_t>* rows[3], int32_t x) {
    auto line = [x](const std::vector<int32_t>& v) {
        return v[static_cast<size_t>(x - 1)] + v[static_cast<size_t>(x + 1)] - 2 * v[static_cast<size_t>(x)];
    };
    const int32_t r = line(*rows[0]) - 2 * line(*rows[1]) + line(*rows[2]);
    return std::min(r < 0 ? -r : r, Bins - 1);
}

// The lower quarter of |r| over one histogram, divided down to a deviation;
// each integer k stands for [k - 0.5, k + 0.5) and the quantile is
// interpolated inside its bin.
double deviation(const std::vector<int64_t>& histogram, int64_t samples, double unitsPerStep) {
    const double part = static_cast<double>(samples) * Quantile;
    int64_t below = 0;
    size_t k = 0;
    while (static_cast<double>(below + histogram[k]) < part)
        below += histogram[k++];
    const double lowEdge = k == 0 ? 0.0 : static_cast<double>(k) - 0.5;
    const double width = k == 0 ? 0.5 : 1.0;
    const double quantile = lowEdge + width * (part - static_cast<double>(below)) / static_cast<double>(histogram[k]);
    return quantile / QuantilePerSigma / unitsPerStep;
}

void measureScale(const Bitmap& picture, int32_t scale, NoiseProfile& profile) {
    const int32_t block = 1 << scale;
    const int32_t across = picture.width / block, down = picture.height / block;
    if (across < 3 || down < 3)
        return;
    const int64_t inner = static_cast<int64_t>(across - 2) * (down - 2);
    const int32_t rowStep = static_cast<int32_t>(std::max<int64_t>(1, inner / SampleBudget));
    // [plane][tone]: plane 0 luma, 1 and 2 the red and blue differences.
    std::vector<int64_t> histograms[3][NoiseProfile::Tones];
    for (auto& plane : histograms)
        for (auto& h : plane)
            h.assign(Bins, 0);
    int64_t samples[NoiseProfile::Tones] = {};
    const int32_t area = block * block;
    BlockRow rows[3];
    for (int32_t y = 1; y + 1 < down; y += rowStep) {
        for (int32_t i = 0; i < 3; ++i)
            sumBlockRow(picture, block, y - 1 + i, across, rows[i]);
        const std::vector<int32_t>* luma[3] = {&rows[0].luma, &rows[1].luma, &rows[2].luma};
        const std::vector<int32_t>* red[3] = {&rows[0].red, &rows[1].red, &rows[2].red};
        const std::vector<int32_t>* blue[3] = {&rows[0].blue, &rows[1].blue, &rows[2].blue};
        for (int32_t x = 1; x + 1 < across; ++x) {
            bool clipped = false;
            for (const BlockRow& row : rows)
                for (int32_t dx = -1; dx <= 1; ++dx)
                    clipped = clipped || row.clipped[static_cast<size_t>(x + dx)] != 0;
            if (clipped)
                continue;
            // Thirds of the 0-1020 range of R + 2G + B, for the centre block.
            const int32_t tone = std::min(2, rows[1].luma[static_cast<size_t>(x)] * 3 / (1021 * area));
            ++histograms[0][tone][static_cast<size_t>(response(luma, x))];
            ++histograms[1][tone][static_cast<size_t>(response(red, x))];
            ++histograms[2][tone][static_cast<size_t>(response(blue, x))];
            ++samples[tone];
        }
    }
    // A luma value is a sum over the block of R + 2G + B: 4 x area units per
    // step; a chroma value a sum of one difference: area units.
    const double units[3] = {4.0 * area, static_cast<double>(area), static_cast<double>(area)};
    // [plane][tone], tone Tones for all tones together; -1 for too few windows.
    double readings[3][NoiseProfile::Tones + 1];
    std::vector<int64_t> all(Bins);
    for (int32_t plane = 0; plane < 3; ++plane) {
        std::fill(all.begin(), all.end(), 0);
        int64_t total = 0;
        for (int32_t tone = 0; tone < NoiseProfile::Tones; ++tone) {
            for (int32_t k = 0; k < Bins; ++k)
                all[static_cast<size_t>(k)] += histograms[plane][tone][static_cast<size_t>(k)];
            total += samples[tone];
            readings[plane][tone] =
                samples[tone] >= MinimumSamples ? deviation(histograms[plane][tone], samples[tone], units[plane]) : -1.0;
        }
        readings[plane][NoiseProfile::Tones] = total > 0 ? deviation(all, total, units[plane]) : -1.0;
    }
    // Chroma: the root mean square of the two differences, so that noise in
    // one channel alone (often blue) counts in full.
    for (int32_t tone = 0; tone <= NoiseProfile::Tones; ++tone) {
        if (readings[0][tone] < 0.0)
            continue;
        const double r = readings[1][tone], b = readings[2][tone];
        const float luma = static_cast<float>(readings[0][tone]);
        const float chroma = static_cast<float>(std::sqrt((r * r + b * b) / 2.0));
        if (tone == NoiseProfile::Tones) {
            profile.luma[scale] = luma;
            profile.chroma[scale] = chroma;
        } else {
            profile.lumaByTone[scale][tone] = luma;
            profile.chromaByTone[scale][tone] = chroma;
        }
    }
}

}  // namespace

NoiseProfile estimateNoiseProfile(const Bitmap& picture) {
    NoiseProfile profile;
    for (int32_t scale = 0; scale < NoiseProfile::Scales; ++scale)
        measureScale(picture, scale, profile);
    return profile;
}
