#include "engine/denoise.h"

#include "engine/block_search.h"
#include "engine/conversions.h"
#include "engine/detail_pyramid.h"
#include "engine/gaussian.h"
#include "engine/processing_job.h"
#include "engine/work_image.h"

#include <algorithm>

BandSplit splitBands(const Bitmap& image, float splitRadius) {
    const float sigma = halfWidthToSigma(splitRadius);
    BandSplit bands;
    {
        FloatImage luminance = toLuminance(image);
        FloatImage blurred;
        gaussianBlur(luminance, sigma, blurred);
        // The detail is formed as the blur minus the luminance, negated.
        size_t n = luminance.pixelCount();
        for (size_t i = 0; i < n; ++i)
            luminance.data[i] = -(blurred.data[i] - luminance.data[i]);
        bands.detail = floatToBytes(luminance, -0.5f, 0.5f);
    }
    FloatImage blurred[3];
    for (int32_t c = 0; c < 3; ++c) {
        FloatImage channel = extractChannel(image, static_cast<Channel>(c));
        gaussianBlur(channel, sigma, blurred[c]);
    }
    bands.lowPass = floatsToBitmap(&blurred[0], &blurred[1], &blurred[2], nullptr, 0.0f, 1.0f);
    return bands;
}

Bitmap mergeDetail(const Bitmap& lowPass, const ByteImage& detail, int32_t repeats) {
    ByteImage planes[3] = {extractChannelBytes(lowPass, ChannelRed), extractChannelBytes(lowPass, ChannelGreen),
                           extractChannelBytes(lowPass, ChannelBlue)};
    size_t n = lowPass.pixelCount();
    for (int32_t k = 0; k < repeats; ++k)
        for (ByteImage& plane : planes)
            for (size_t i = 0; i < n; ++i)
                plane.data[i] = static_cast<uint8_t>(std::clamp(plane.data[i] + detail.data[i] - 128, 0, 255));
    return bytesToBitmap(planes[0], &planes[1], &planes[2], nullptr);
}

Bitmap padByReplication(const Bitmap& image, int32_t margin) {
    Bitmap padded;
    if (margin <= 0) {
        if (!padded.copyFrom(image))
            throw std::bad_alloc();
        return padded;
    }
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
    BandSplit bands = splitBands(padded, params.splitRadius);
    padded.clear();

    job.checkCancel();
    job.setSubProgress(job.subProgress + 2);
    job.checkCancel();
    job.setSubProgress(job.subProgress + 1);

    ByteImage detailOut;
    {
        // The blocks and the matches come from the same band.
        DetailPyramid reference = buildPyramid(bands.detail);
        DetailPyramid search = buildPyramid(bands.detail);
        averageDetail(reference, search, bands.detail, detailOut, params, m, &job, map);
    }

    job.checkCancel();
    Bitmap merged = mergeDetail(bands.lowPass, detailOut, params.detailRepeats);

    job.checkCancel();
    Bitmap cropped;
    if (!cropped.cropFrom(merged, Rect(m, m, w + m, h + m)))
        throw std::bad_alloc();

    job.checkCancel();
    allocateOrThrow(job.workingImage, w, h);
    std::copy(cropped.data, cropped.data + cropped.pixelCount(), job.workingImage.data);
}
