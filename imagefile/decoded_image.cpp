#include "imagefile/decoded_image.h"

#include <cstring>
#include <limits>

namespace {

// 2^28 pixels: a 16384 x 16384 picture, a gigabyte as a Bitmap.
uint64_t pixelLimit = uint64_t(1) << 28;

}  // namespace

uint64_t decodePixelLimit() { return pixelLimit; }
void setDecodePixelLimit(uint64_t pixels) { pixelLimit = pixels; }

bool DecodedImage::allocate(int32_t w, int32_t h, int32_t bits, bool withAlpha) {
    if (w < 1 || h < 1)
        return fail("image has no pixels");
    if (static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > pixelLimit)
        return fail("image too large");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24)
        return fail("unsupported depth");
    width = w;
    height = h;
    bitsPerPixel = bits;
    alpha.clear();
    if (!pixels.resize(w * bytesPerPixel(), h))
        return fail("out of memory");
    std::memset(pixels.data, 0, pixels.pixelCount());
    if (withAlpha && !addAlphaPlane())
        return false;
    return true;
}

bool DecodedImage::addAlphaPlane() {
    if (!alpha.resize(width, height)) {
        alpha.clear();
        return fail("out of memory");
    }
    std::memset(alpha.data, 255, alpha.pixelCount());
    return true;
}

void DecodedImage::releasePixels() {
    pixels.clear();
    alpha.clear();
}

void DecodedImage::setGreyPalette(int32_t entries) {
    paletteSize = entries;
    for (int32_t i = 0; i < entries; ++i) {
        uint32_t v = entries > 1 ? static_cast<uint32_t>(i * 255 / (entries - 1)) : 0;
        palette[i] = (v << 16) | (v << 8) | v;
    }
}

bool fillFromInterleaved(DecodedImage& image, const uint8_t* rows, int32_t width, int32_t height, size_t stride,
                         int32_t channels, bool withAlpha) {
    if (!image.allocate(width, height, 24, withAlpha && channels == 4))
        return false;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* source = rows + static_cast<size_t>(y) * stride;
        uint8_t* target = image.rowFromTop(y);
        uint8_t* alpha = image.hasAlpha() ? image.alphaRowFromTop(y) : nullptr;
        for (int32_t x = 0; x < width; ++x, source += channels) {
            target[3 * x] = source[channels >= 3 ? 2 : 0];
            target[3 * x + 1] = source[channels >= 3 ? 1 : 0];
            target[3 * x + 2] = source[0];
            if (alpha)
                alpha[x] = source[3];
        }
    }
    return true;
}

bool interleavedRows(const DecodedImage& image, ByteArray& rows, int32_t& channels) {
    channels = image.hasAlpha() ? 4 : 3;
    const size_t bytes = static_cast<size_t>(image.width) * image.height * channels;
    if (bytes > static_cast<size_t>(std::numeric_limits<int32_t>::max()) || !rows.SetLength(static_cast<int32_t>(bytes)))
        return false;
    uint8_t* p = rows.data;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* source = image.row(image.height - 1 - y);
        const uint8_t* alpha = image.hasAlpha() ? image.alphaRow(image.height - 1 - y) : nullptr;
        for (int32_t x = 0; x < image.width; ++x, p += channels) {
            if (image.indexed()) {
                const uint32_t c = image.palette[source[x]];
                p[0] = static_cast<uint8_t>(c >> 16);
                p[1] = static_cast<uint8_t>(c >> 8);
                p[2] = static_cast<uint8_t>(c);
            } else {
                p[0] = source[3 * x + 2];
                p[1] = source[3 * x + 1];
                p[2] = source[3 * x];
            }
            if (alpha)
                p[3] = alpha[x];
        }
    }
    return true;
}

bool appendBytes(ByteArray& out, const void* bytes, size_t count) {
    if (count == 0)
        return true;
    if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max() - out.length))
        return false;
    int32_t oldLength = out.length;
    if (!out.SetLength(oldLength + static_cast<int32_t>(count)))
        return false;
    std::memcpy(out.data + oldLength, bytes, count);
    return true;
}
