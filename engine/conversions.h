#pragma once

#include "core/bitmap.h"

#include <cstdint>

// Float images hold channel values on the scale 0.0-1.0; these turn bitmaps
// into float or byte planes and back. Every float-to-byte conversion rounds
// to nearest, ties to even, in single precision. Each pixel is converted on
// its own, so sharing the rows among threads changes nothing in the result.

// The float32 nearest 1/255.
inline constexpr float InverseByte = 0.003921569f;

// Passing this as both ends of a range means "the data's own minimum and
// maximum" (it is 999999986991104 as a float).
inline constexpr float DataRange = 1e15f;

enum Channel : int32_t {
    ChannelRed = 0,
    ChannelGreen = 1,
    ChannelBlue = 2,
    ChannelAlpha = 3,
};

// Integer luma of a pixel, 0-255.
inline int32_t lumaOf(uint32_t pixel) {
    return static_cast<int32_t>((54 * pixelRed(pixel) + 183 * pixelGreen(pixel) + 19 * pixelBlue(pixel) + 128) >> 8);
}

uint8_t channelOf(uint32_t pixel, Channel channel);

FloatImage toLuminance(const Bitmap& image, int32_t threads = 1);
FloatImage extractChannel(const Bitmap& image, Channel channel, int32_t threads = 1);
ByteImage extractChannelBytes(const Bitmap& image, Channel channel, int32_t threads = 1);

// Bytes from (v - lo) * 256 / (hi - lo), clamped to 0-255.
ByteImage floatToBytes(const FloatImage& image, float lo, float hi, int32_t threads = 1);

// Opaque black, then each plane that is given, scaled by 255 / (hi - lo),
// written into its channel. All given planes have the same size.
Bitmap floatsToBitmap(const FloatImage* red, const FloatImage* green, const FloatImage* blue,
                      const FloatImage* alpha, float lo, float hi, int32_t threads = 1);

// Packs byte planes; missing green or blue read as 0, missing alpha as 255.
Bitmap bytesToBitmap(const ByteImage& red, const ByteImage* green, const ByteImage* blue, const ByteImage* alpha,
                     int32_t threads = 1);
