#include "engine/deblur.h"

#include "core/bilinear_weights.h"
#include "engine/conversions.h"
#include "engine/gaussian.h"
#include "engine/parallel_rows.h"
#include "engine/processing_job.h"
#include "engine/work_image.h"

#include <algorithm>
#include <cmath>

int32_t sampleMatchCountMap(const MatchCountMap& map, int32_t fx, int32_t fy) {
    const int32_t i = fx >> 16;
    const int32_t j = fy >> 16;
    const int32_t a = (fx >> 13) & 7;
    const int32_t b = (fy >> 13) & 7;
    const int32_t lastX = map.width - 1;
    const int32_t lastY = map.height - 1;
    const int32_t x0 = std::clamp(i, 0, lastX), x1 = std::clamp(i + 1, 0, lastX);
    const int32_t y0 = std::clamp(j, 0, lastY), y1 = std::clamp(j + 1, 0, lastY);
    const uint32_t weights = BilinearWeights[8 * b + a];
    const int32_t sum = static_cast<int32_t>(weights & 0xFF) * map.at(x0, y0) +
                        static_cast<int32_t>((weights >> 8) & 0xFF) * map.at(x1, y0) +
                        static_cast<int32_t>((weights >> 16) & 0xFF) * map.at(x0, y1) +
                        static_cast<int32_t>(weights >> 24) * map.at(x1, y1);
    return (sum + 32) >> 6;
}

FloatImage laplacianOf(const FloatImage& image, int32_t threads) {
    FloatImage out;
    allocateOrThrow(out, image.width, image.height);
    const int32_t lastX = image.width - 1;
    const int32_t lastY = image.height - 1;
    forEachRowBand(threads, image.width, image.height, [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const float c = image.at(x, y);
            const float l = image.at(std::max(x - 1, 0), y);
            const float r = image.at(std::min(x + 1, lastX), y);
            const float u = image.at(x, std::max(y - 1, 0));
            const float d = image.at(x, std::min(y + 1, lastY));
            out.at(x, y) = 0.5f * (l + r - 2.0f * c) + 0.5f * (u + d - 2.0f * c);
        }
    }
    });
    return out;
}

void runDeblurPass(ProcessingJob& job, const DeblurSettings& settings) {
    job.checkCancel();
    const Bitmap& image = job.workingImage;
    const int32_t w = image.width;
    const int32_t h = image.height;
    const int32_t threads = passThreads(&job);
    FloatImage luminance = toLuminance(image, threads);

    job.checkCancel();
    job.setSubProgress(job.subProgress + 1);

    FloatImage sign;
    {
        FloatImage blurred;
        gaussianBlur(luminance, halfWidthToSigma(settings.radius), blurred, threads);
        sign = laplacianOf(blurred, threads);
    }

    job.checkCancel();
    FloatImage filtered;
    allocateOrThrow(filtered, w, h);

    const bool haveMap = !settings.map.isEmpty() && settings.mapSpacing != 0 && settings.mapFullScale != 0;
    const float cellsPerPixel = settings.mapSpacing != 0 ? 1.0f / static_cast<float>(settings.mapSpacing) : 0.0f;
    const float fullScale = static_cast<float>(settings.mapFullScale);
    const float amountRange = settings.amountMax - settings.amountMin;
    const int32_t lastX = w - 1;
    const int32_t lastY = h - 1;

    for (int32_t k = 0; k < settings.iterations; ++k) {
        job.setSubProgress(job.subProgress + 2);
        // Rows are independent: each reads the luminance of the step before.
        ParallelRows filterRows(&job, threads, h);
        filterRows.run([&](int32_t y, int32_t worker) {
            filterRows.checkpoint(worker);
            const int32_t fy = static_cast<int32_t>(std::floor(static_cast<float>(y) * cellsPerPixel * 65536.0f));
            for (int32_t x = 0; x < w; ++x) {
                const float c = luminance.at(x, y);
                const float l = luminance.at(std::max(x - 1, 0), y);
                const float r = luminance.at(std::min(x + 1, lastX), y);
                const float u = luminance.at(x, std::max(y - 1, 0));
                const float d = luminance.at(x, std::min(y + 1, lastY));

                float weight = settings.amountMin;
                if (haveMap) {
                    const int32_t fx =
                        static_cast<int32_t>(std::floor(static_cast<float>(x) * cellsPerPixel * 65536.0f));
                    const float t = static_cast<float>(sampleMatchCountMap(settings.map, fx, fy)) / fullScale;
                    weight = settings.amountMin + t * amountRange;
                }
                const float e = sign.at(x, y) < 0.0f ? std::max({c, l, r, u, d}) : std::min({c, l, r, u, d});
                filtered.at(x, y) = (1.0f - weight) * c + weight * e;
            }
        });
        if (k < settings.iterations - 1)
            std::copy(filtered.data, filtered.data + filtered.pixelCount(), luminance.data);
    }
    luminance.clear();
    sign.clear();

    job.checkCancel();
    job.setSubProgress(job.subProgress + 2);

    Bitmap result;
    allocateOrThrow(result, w, h);
    ParallelRows recombineRows(&job, threads, h);
    recombineRows.run([&](int32_t y, int32_t worker) {
        recombineRows.checkpoint(worker);
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t pixel = image.at(x, y);
            const int32_t luma = std::max(lumaOf(pixel), 1);
            const float ratio = filtered.at(x, y) / (static_cast<float>(luma) * InverseByte);
            uint32_t channels[3];
            const uint32_t source[3] = {pixelRed(pixel), pixelGreen(pixel), pixelBlue(pixel)};
            for (int32_t i = 0; i < 3; ++i) {
                const float v = static_cast<float>(source[i]) * InverseByte * ratio * 255.0f;
                channels[i] = v >= 255.0f ? 255u : (v > 0.0f ? static_cast<uint32_t>(std::lrintf(v)) : 0u);
            }
            result.at(x, y) = packPixel(channels[0], channels[1], channels[2], 255);
        }
    });

    job.checkCancel();
    job.workingImage.moveFrom(result);
}
