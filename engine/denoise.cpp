#include "engine/denoise.h"

#include "engine/block_search.h"
#include "engine/conversions.h"
#include "engine/detail_pyramid.h"
#include "engine/gaussian.h"
#include "engine/parallel_rows.h"
#include "engine/processing_job.h"
#include "engine/work_image.h"

#include <algorithm>

BandSplit splitBands(const Bitmap& image, float splitRadius, int32_t threads) {
    const float sigma = halfWidthToSigma(splitRadius);
    BandSplit bands;
    {
        FloatImage luminance = toLuminance(image, threads);
        FloatImage blurred;
        gaussianBlur(luminance, sigma, blurred, threads);
        // The detail is formed as the blur minus the luminance, negated.
        forEachRowBand(threads, image.width, image.height, [&](int32_t y0, int32_t y1) {
            const size_t end = static_cast<size_t>(y1) * static_cast<size_t>(image.width);
            for (size_t i = static_cast<size_t>(y0) * static_cast<size_t>(image.width); i < end; ++i)
                luminance.data[i] = -(blurred.data[i] - luminance.data[i]);
        });
        bands.detail = floatToBytes(luminance, -0.5f, 0.5f, threads);
    }
    FloatImage blurred[3];
    for (int32_t c = 0; c < 3; ++c) {
        FloatImage channel = extractChannel(image, static_cast<Channel>(c), threads);
        gaussianBlur(channel, sigma, blurred[c], threads);
    }
    bands.lowPass = floatsToBitmap(&blurred[0], &blurred[1], &blurred[2], nullptr, 0.0f, 1.0f, threads);
    return bands;
}

Bitmap mergeDetail(const Bitmap& lowPass, const ByteImage& detail, int32_t repeats, int32_t threads) {
    ByteImage planes[3] = {extractChannelBytes(lowPass, ChannelRed, threads),
                           extractChannelBytes(lowPass, ChannelGreen, threads),
                           extractChannelBytes(lowPass, ChannelBlue, threads)};
    forEachRowBand(threads, lowPass.width, lowPass.height, [&](int32_t y0, int32_t y1) {
        const size_t begin = static_cast<size_t>(y0) * static_cast<size_t>(lowPass.width);
        const size_t end = static_cast<size_t>(y1) * static_cast<size_t>(lowPass.width);
        for (int32_t k = 0; k < repeats; ++k)
            for (ByteImage& plane : planes)
                for (size_t i = begin; i < end; ++i)
                    plane.data[i] = static_cast<uint8_t>(std::clamp(plane.data[i] + detail.data[i] - 128, 0, 255));
    });
    return bytesToBitmap(planes[0], &planes[1], &planes[2], nullptr, threads);
}

Bitmap padByReplication(const Bitmap& image, int32_t margin) {
    Bitmap padded;
    allocateOrThrow(padded, image.width + 2 * margin, image.height + 2 * margin);
    for (int32_t y = 0; y < padded.height; ++y) {
        int32_t sy = std::clamp(y - margin, 0, image.height - 1);
        for (int32_t x = 0; x < padded.width; ++x)
            padded.at(x, y) = image.at(std::clamp(x - margin, 0, image.width - 1), sy);
    }
    return padded;
}

void runDenoisePass(ProcessingJob& job, int32_t, const PassParams& params, MatchCountMap* map) {
    job.checkCancel();
    if (job.workingImage.isEmpty())
        return;
    const int32_t w = job.workingImage.width;
    const int32_t h = job.workingImage.height;
    const int32_t m = 2 * params.patchRadius;
    Bitmap padded = padByReplication(job.workingImage, m);

    job.checkCancel();
    job.setSubProgress(job.subProgress + 2);

    job.checkCancel();
    const int32_t threads = passThreads(&job);
    BandSplit bands = splitBands(padded, params.splitRadius, threads);
    padded.clear();

    job.checkCancel();
    job.setSubProgress(job.subProgress + 2);
    job.checkCancel();
    job.setSubProgress(job.subProgress + 1);

    ByteImage detailOut;
    {
        // The blocks and the matches come from the same band, so one
        // pyramid serves as both.
        DetailPyramid pyramid = buildPyramid(bands.detail);
        averageDetail(pyramid, pyramid, bands.detail, detailOut, params, m, &job, map, threads);
    }

    job.checkCancel();
    Bitmap merged = mergeDetail(bands.lowPass, detailOut, params.detailRepeats, threads);

    job.checkCancel();
    Bitmap cropped;
    if (!cropped.cropFrom(merged, Rect(m, m, w + m, h + m)))
        throw std::bad_alloc();

    job.checkCancel();
    allocateOrThrow(job.workingImage, w, h);
    std::copy(cropped.data, cropped.data + cropped.pixelCount(), job.workingImage.data);
}
