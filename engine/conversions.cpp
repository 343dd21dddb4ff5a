#include "engine/conversions.h"

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

FloatImage toLuminance(const Bitmap& image) {
    FloatImage out;
    allocateOrThrow(out, image.width, image.height);
    size_t n = image.pixelCount();
    for (size_t i = 0; i < n; ++i)
        out.data[i] = static_cast<float>(lumaOf(image.data[i])) * InverseByte;
    return out;
}

FloatImage extractChannel(const Bitmap& image, Channel channel) {
    FloatImage out;
    allocateOrThrow(out, image.width, image.height);
    size_t n = image.pixelCount();
    for (size_t i = 0; i < n; ++i)
        out.data[i] = static_cast<float>(channelOf(image.data[i], channel)) * InverseByte;
    return out;
}

ByteImage extractChannelBytes(const Bitmap& image, Channel channel) {
    ByteImage out;
    allocateOrThrow(out, image.width, image.height);
    size_t n = image.pixelCount();
    for (size_t i = 0; i < n; ++i)
        out.data[i] = channelOf(image.data[i], channel);
    return out;
}

ByteImage floatToBytes(const FloatImage& image, float lo, float hi) {
    resolveRange(image, lo, hi);
    float scale = scaleFor(256.0f, lo, hi);
    ByteImage out;
    allocateOrThrow(out, image.width, image.height);
    size_t n = image.pixelCount();
    for (size_t i = 0; i < n; ++i)
        out.data[i] = roundToByte((image.data[i] - lo) * scale);
    return out;
}

Bitmap floatsToBitmap(const FloatImage* red, const FloatImage* green, const FloatImage* blue,
                      const FloatImage* alpha, float lo, float hi) {
    const FloatImage* planes[4] = {red, green, blue, alpha};
    const int shifts[4] = {16, 8, 0, 24};
    Bitmap out;
    for (const FloatImage* plane : planes) {
        if (plane) {
            allocateOrThrow(out, plane->width, plane->height);
            break;
        }
    }
    out.fill(0xFF000000u);
    size_t n = out.pixelCount();
    for (int c = 0; c < 4; ++c) {
        if (!planes[c])
            continue;
        float planeLo = lo, planeHi = hi;
        resolveRange(*planes[c], planeLo, planeHi);
        float scale = scaleFor(255.0f, planeLo, planeHi);
        uint32_t keep = ~(0xFFu << shifts[c]);
        for (size_t i = 0; i < n; ++i) {
            uint32_t b = roundToByte((planes[c]->data[i] - planeLo) * scale);
            out.data[i] = (out.data[i] & keep) | (b << shifts[c]);
        }
    }
    return out;
}

Bitmap bytesToBitmap(const ByteImage& red, const ByteImage* green, const ByteImage* blue, const ByteImage* alpha) {
    Bitmap out;
    allocateOrThrow(out, red.width, red.height);
    size_t n = out.pixelCount();
    for (size_t i = 0; i < n; ++i) {
        uint32_t g = green ? green->data[i] : 0;
        uint32_t b = blue ? blue->data[i] : 0;
        uint32_t a = alpha ? alpha->data[i] : 255;
        out.data[i] = packPixel(red.data[i], g, b, a);
    }
    return out;
}
