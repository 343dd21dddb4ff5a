#pragma once

#include "core/image.h"
#include "core/strings.h"

#include <cstdint>

// Pixel counts above this fail to decode before anything of that size is
// allocated. The bitmap alone takes four bytes a pixel; the fuzzers lower it.
uint64_t decodePixelLimit();
void setDecodePixelLimit(uint64_t pixels);

// Whether a compressed stream of the given size can describe that many
// pixels at all, given the most pixels one byte of that format can expand
// to. Rejects tiny files with huge headers before anything is allocated.
inline bool plausiblePixelCount(uint64_t pixels, size_t bytes, uint64_t pixelsPerByte) {
    return pixels / pixelsPerByte <= bytes;
}

// What the codecs decode into and encode from; nothing outside the layer
// sees it. Rows are stored bottom-up (row 0 is the bottom row of the
// picture). Images of 8 bits or fewer keep one palette index per byte
// whatever their nominal depth; 24-bit images keep B, G, R per pixel.
class DecodedImage {
public:
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 24;  // 1, 4, 8 or 24
    uint32_t palette[256] = {};  // 0x00RRGGBB
    int32_t paletteSize = 0;
    ByteImage pixels;
    ByteImage alpha;  // empty when the image has no alpha plane
    int32_t dpiX = 96;
    int32_t dpiY = 96;
    int32_t jpegQuality = 90;
    ByteArray exif;  // JPEG and PNG: the EXIF block as an APP1 payload ("Exif\0\0" first)
    ByteArray icc;   // the ICC profile the file gave its pixels; empty when none
    // The orientation a TIFF's tag gave (1-8); 0 for formats that keep it
    // in the EXIF block.
    int32_t orientation = 0;
    // The decoding library turned the pixels upright itself (HEIF's irot and
    // imir, JPEG XL, LibRaw's flip); orientation then says what the file
    // stated, for the EXIF block to be corrected, not applied again.
    bool orientationApplied = false;
    // Decoding: the file's coding dropped detail (JPEG, lossy WebP, ...).
    // Encoding: write lossily at jpegQuality where the type can do both.
    bool lossy = false;
    // What the file held beyond this one 8-bit picture: its deepest sample,
    // and whether more pages, frames or icon images followed (2 = at least
    // one more).
    int32_t sourceBitsPerSample = 8;
    int32_t sourceImages = 1;
    const char* reason = "";  // why a codec gave up; never shown to users

    bool indexed() const { return bitsPerPixel <= 8; }
    bool hasAlpha() const { return !alpha.isEmpty(); }
    int32_t bytesPerPixel() const { return indexed() ? 1 : 3; }

    // Sizes the planes after checking the size against the pixel limit.
    // False (with the reason set) when it is out of range or memory runs out.
    bool allocate(int32_t w, int32_t h, int32_t bits, bool withAlpha);
    bool addAlphaPlane();
    void releasePixels();

    // Row y counted from the bottom, and from the top.
    uint8_t* row(int32_t y) { return pixels.data + static_cast<size_t>(y) * pixels.width; }
    const uint8_t* row(int32_t y) const { return pixels.data + static_cast<size_t>(y) * pixels.width; }
    uint8_t* rowFromTop(int32_t y) { return row(height - 1 - y); }
    uint8_t* alphaRow(int32_t y) { return alpha.data + static_cast<size_t>(y) * alpha.width; }
    const uint8_t* alphaRow(int32_t y) const { return alpha.data + static_cast<size_t>(y) * alpha.width; }
    uint8_t* alphaRowFromTop(int32_t y) { return alphaRow(height - 1 - y); }

    void setGreyPalette(int32_t entries);

    bool fail(const char* why) {
        reason = why;
        return false;
    }
};

// For the libraries that speak interleaved 8-bit R, G, B (A) rows, top row
// first: fills a freshly allocated image from such rows (alpha kept when
// withAlpha), and lays an image out as such rows (alpha when it has any).
bool fillFromInterleaved(DecodedImage& image, const uint8_t* rows, int32_t width, int32_t height, size_t stride,
                         int32_t channels, bool withAlpha);
bool interleavedRows(const DecodedImage& image, ByteArray& rows, int32_t& channels);

// Appends to a byte buffer without aborting when it cannot grow.
bool appendBytes(ByteArray& out, const void* bytes, size_t count);
