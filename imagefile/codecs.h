#pragma once

#include "imagefile/decoded_image.h"

#include <cstddef>
#include <cstdint>

// Runs the decoder of the given type; false for types without one.
bool decodeImage(const uint8_t* bytes, size_t size, int32_t type, DecodedImage& image);

// One decoder and one encoder per file type. Decoders fill a fresh image
// and return false (with image.reason set) on any failure; encoders append
// the whole file to out, which the caller discards on failure.

bool decodeBmp(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeBmp(const DecodedImage& image, ByteArray& out);

// The pixel part of a DIB, shared with the icon reader: header at
// headerOffset, pixels at pixelOffset (0: right after the palette). The
// height is the stored one (an icon stores twice its height).
struct DibHeader {
    uint32_t headerSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool topDown = false;
    uint32_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[4] = {};
    size_t paletteOffset = 0;
    int32_t paletteEntrySize = 4;
};
bool readDibHeader(const uint8_t* bytes, size_t size, size_t headerOffset, DibHeader& header, const char*& reason);
// Allocates image (header.width x rows, with an alpha plane when the bit
// fields have alpha or forceAlpha is set), reads the palette and decodes the
// pixels stored at pixelOffset.
bool decodeDibImage(const uint8_t* bytes, size_t size, const DibHeader& header, size_t pixelOffset, int32_t rows,
                    DecodedImage& image, bool forceAlpha);

bool decodeGif(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeGif(const DecodedImage& image, ByteArray& out);

bool decodeIco(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeIco(const DecodedImage& image, ByteArray& out);

bool decodeTga(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeTga(const DecodedImage& image, ByteArray& out);

bool decodePcx(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodePcx(const DecodedImage& image, ByteArray& out);

bool decodeWbmp(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeWbmp(const DecodedImage& image, ByteArray& out);

bool decodeJpeg(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeJpeg(const DecodedImage& image, ByteArray& out);

bool decodePng(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodePng(const DecodedImage& image, ByteArray& out);

bool decodeTiff(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeTiff(const DecodedImage& image, ByteArray& out);

// Through libwebp, libheif, libjxl and LibRaw (built with
// VISTREL_PHOTO_FORMATS). heif decodes HEIC, HEIF and AVIF alike; its
// encoder writes AVIF.
bool decodeWebp(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeWebp(const DecodedImage& image, ByteArray& out);

bool decodeHeif(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeAvif(const DecodedImage& image, ByteArray& out);

bool decodeJxl(const uint8_t* bytes, size_t size, DecodedImage& image);
bool encodeJxl(const DecodedImage& image, ByteArray& out);

bool decodeRaw(const uint8_t* bytes, size_t size, DecodedImage& image);
