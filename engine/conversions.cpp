#include "engine/conversions.h"

#include "engine/parallel_rows.h"
#include "engine/work_image.h"

#include <cmath>

namespace {

// Rounds v to the nearest integer (ties to even) and clamps it to [0, 255];
// NaN gives 0.
uint8_t roundToByte(float v) {
    if (!(v > 0.0f))
        return 0;
    if (v >= 255.0f)
        return 255;
    return static_cast<uint8_t>(std::lrintf(v));
}

// Replaces the sentinel range by the data's minimum and maximum.
void resolveRange(const FloatImage& image, float& lo, float& hi) {
    if (lo != DataRange || hi != DataRange || image.isEmpty())
        return;
    lo = hi = image.data[0];
    size_t n = image.pixelCount();
    for (size_t i = 1; i < n; ++i) {
        lo = std::fmin(lo, image.data[i]);
        hi = std::fmax(hi, image.data[i]);
    }
}

// Runs fn(begin, end) over ranges of pixel indices covering the image's
// rows, shared among threads.
template <typename Fn>
void forEachPixelRange(int32_t threads, int32_t width, int32_t height, Fn&& fn) {
    forEachRowBand(threads, width, height, [&](int32_t y0, int32_t y1) {
        fn(static_cast<size_t>(y0) * static_cast<size_t>(width), static_cast<size_t>(y1) * static_cast<size_t>(width));
    });
}

// A flat range would divide by zero; it maps everything to lo's byte.
float scaleFor(float levels, float lo, float hi) { return hi != lo ? levels / (hi - lo) : 0.0f; }

}

uint8_t channelOf(uint32_t pixel, Channel channel) {
    switch (channel) {
    case ChannelRed:
        return static_cast<uint8_t>(pixelRed(pixel));
    case ChannelGreen:
        return static_cast<uint8_t>(pixelGreen(pixel));
    case ChannelBlue:
        return static_cast<uint8_t>(pixelBlue(pixel));
    default:
        return static_cast<uint8_t>(pixelAlpha(pixel));
    }
}

FloatImage toLuminance(const Bitmap& image, int32_t threads) {
    FloatImage out;
    allocateOrThrow(out, image.width, image.height);
    forEachPixelRange(threads, image.width, image.height, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            out.data[i] = static_cast<float>(lumaOf(image.data[i])) * InverseByte;
    });
    return out;
}

FloatImage extractChannel(const Bitmap& image, Channel channel, int32_t threads) {
    FloatImage out;
    allocateOrThrow(out, image.width, image.height);
    forEachPixelRange(threads, image.width, image.height, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            out.data[i] = static_cast<float>(channelOf(image.data[i], channel)) * InverseByte;
    });
    return out;
}

ByteImage extractChannelBytes(const Bitmap& image, Channel channel, int32_t threads) {
    ByteImage out;
    allocateOrThrow(out, image.width, image.height);
    forEachPixelRange(threads, image.width, image.height, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            out.data[i] = channelOf(image.data[i], channel);
    });
    return out;
}

ByteImage floatToBytes(const FloatImage& image, float lo, float hi, int32_t threads) {
    resolveRange(image, lo, hi);
    const float scale = scaleFor(256.0f, lo, hi);
    ByteImage out;
    allocateOrThrow(out, image.width, image.height);
    forEachPixelRange(threads, image.width, image.height, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            out.data[i] = roundToByte((image.data[i] - lo) * scale);
    });
    return out;
}

Bitmap floatsToBitmap(const FloatImage* red, const FloatImage* green, const FloatImage* blue,
                      const FloatImage* alpha, float lo, float hi, int32_t threads) {
    const FloatImage* planes[4] = {red, green, blue, alpha};
    const int shifts[4] = {16, 8, 0, 24};
    Bitmap out;
    for (const FloatImage* plane : planes) {
        if (plane) {
            allocateOrThrow(out, plane->width, plane->height);
            break;
        }
    }
    float planeLo[4], planeHi[4], scale[4];
    for (int c = 0; c < 4; ++c) {
        planeLo[c] = lo;
        planeHi[c] = hi;
        if (planes[c])
            resolveRange(*planes[c], planeLo[c], planeHi[c]);
        scale[c] = scaleFor(255.0f, planeLo[c], planeHi[c]);
    }
    forEachPixelRange(threads, out.width, out.height, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            uint32_t pixel = 0xFF000000u;
            for (int c = 0; c < 4; ++c) {
                if (!planes[c])
                    continue;
                const uint32_t b = roundToByte((planes[c]->data[i] - planeLo[c]) * scale[c]);
                pixel = (pixel & ~(0xFFu << shifts[c])) | (b << shifts[c]);
            }
            out.data[i] = pixel;
        }
    });
    return out;
}

Bitmap bytesToBitmap(const ByteImage& red, const ByteImage* green, const ByteImage* blue, const ByteImage* alpha,
                     int32_t threads) {
    Bitmap out;
    allocateOrThrow(out, red.width, red.height);
    forEachPixelRange(threads, out.width, out.height, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const uint32_t g = green ? green->data[i] : 0;
            const uint32_t b = blue ? blue->data[i] : 0;
            const uint32_t a = alpha ? alpha->data[i] : 255;
            out.data[i] = packPixel(red.data[i], g, b, a);
        }
    });
    return out;
}
