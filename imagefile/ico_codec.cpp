#include "imagefile/codecs.h"

#include "imagefile/byte_reader.h"

#include <cstring>

namespace {

const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// The AND mask: one bit a pixel, rows bottom-up padded to 32 bits, set
// where the icon is transparent.
bool applyAndMask(const uint8_t* bytes, size_t size, size_t offset, DecodedImage& image) {
    size_t stride = ((static_cast<size_t>(image.width) + 31) / 32) * 4;
    if (offset > size || stride * static_cast<uint64_t>(image.height) > size - offset)
        return false;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* mask = bytes + offset + static_cast<size_t>(y) * stride;
        uint8_t* alpha = image.alphaRow(y);
        for (int32_t x = 0; x < image.width; ++x)
            alpha[x] = (mask[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
    }
    return true;
}

}  // namespace

bool decodeIco(const uint8_t* bytes, size_t size, DecodedImage& image) {
    ByteReader in(bytes, size);
    uint32_t reserved = in.u16le();
    uint32_t type = in.u16le();
    uint32_t count = in.u16le();
    if (in.failed() || reserved != 0 || (type != 1 && type != 2) || count == 0)
        return image.fail("not an icon file");
    image.sourceImages = count > 1 ? 2 : 1;
    in.skip(8);  // size, colours, reserved, planes or hot spot, bit count
    uint32_t length = in.u32le();
    uint32_t offset = in.u32le();
    if (in.failed() || offset >= size)
        return image.fail("bad directory entry");
    // Trust the file's end over a directory length that runs past it.
    size_t available = size - offset;
    if (length > 0 && length < available)
        available = length;
    const uint8_t* data = bytes + offset;

    if (available >= 8 && std::memcmp(data, pngSignature, 8) == 0)
        return decodePng(data, available, image);

    DibHeader header;
    const char* reason = "";
    if (!readDibHeader(data, available, 0, header, reason))
        return image.fail(reason);
    // The stored height covers the colour rows and the mask rows.
    int32_t rows = header.height / 2;
    if (rows < 1 || header.compression == 1 || header.compression == 2)
        return image.fail("bad icon image");
    uint32_t entries = header.bitCount <= 8 ? (header.colorsUsed ? header.colorsUsed : 1u << header.bitCount) : 0;
    if (entries > 256)
        entries = 256;
    size_t pixelOffset = header.paletteOffset + static_cast<size_t>(entries) * header.paletteEntrySize;
    if (!decodeDibImage(data, available, header, pixelOffset, rows, image, true))
        return false;

    size_t colorStride = ((static_cast<size_t>(header.width) * header.bitCount + 31) / 32) * 4;
    size_t maskOffset = pixelOffset + colorStride * static_cast<size_t>(rows);
    bool haveMask = applyAndMask(data, available, maskOffset, image);
    if (header.bitCount == 32 && header.compression == 0) {
        // 32-bit icons carry their alpha in the fourth byte; icons from old
        // tools leave it zero and rely on the mask instead.
        bool anyAlpha = false;
        for (int32_t y = 0; y < rows && !anyAlpha; ++y) {
            const uint8_t* s = data + pixelOffset + static_cast<size_t>(y) * colorStride;
            for (int32_t x = 0; x < image.width && !anyAlpha; ++x)
                anyAlpha = s[4 * x + 3] != 0;
        }
        if (anyAlpha || !haveMask) {
            for (int32_t y = 0; y < rows; ++y) {
                const uint8_t* s = data + pixelOffset + static_cast<size_t>(y) * colorStride;
                uint8_t* alpha = image.alphaRow(y);
                for (int32_t x = 0; x < image.width; ++x)
                    alpha[x] = anyAlpha ? s[4 * x + 3] : 255;
            }
        }
    }
    return true;
}

bool encodeIco(const DecodedImage& image, ByteArray& out) {
    if (image.width > 255 || image.height > 255)
        return false;
    bool withAlpha = image.hasAlpha();
    uint32_t bits = withAlpha ? 32 : 24;
    size_t colorStride = ((static_cast<size_t>(image.width) * bits + 31) / 32) * 4;
    size_t maskStride = ((static_cast<size_t>(image.width) + 31) / 32) * 4;
    size_t imageBytes = 40 + (colorStride + maskStride) * static_cast<size_t>(image.height);
    size_t total = 6 + 16 + imageBytes;
    int32_t base = out.length;
    if (!out.SetLength(base + static_cast<int32_t>(total)))
        return false;
    uint8_t* p = out.data + base;
    std::memset(p, 0, total);
    putU16le(p + 2, 1);  // icon
    putU16le(p + 4, 1);  // one image
    uint8_t* entry = p + 6;
    entry[0] = static_cast<uint8_t>(image.width);
    entry[1] = static_cast<uint8_t>(image.height);
    putU16le(entry + 4, 1);
    putU16le(entry + 6, bits);
    putU32le(entry + 8, static_cast<uint32_t>(imageBytes));
    putU32le(entry + 12, 22);
    uint8_t* dib = p + 22;
    putU32le(dib, 40);
    putU32le(dib + 4, static_cast<uint32_t>(image.width));
    putU32le(dib + 8, static_cast<uint32_t>(image.height * 2));
    putU16le(dib + 12, 1);
    putU16le(dib + 14, bits);
    putU32le(dib + 20, static_cast<uint32_t>((colorStride + maskStride) * static_cast<size_t>(image.height)));
    uint8_t* colors = dib + 40;
    uint8_t* mask = colors + colorStride * static_cast<size_t>(image.height);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* source = image.row(y);
        const uint8_t* alpha = withAlpha ? image.alphaRow(y) : nullptr;
        uint8_t* c = colors + static_cast<size_t>(y) * colorStride;
        uint8_t* m = mask + static_cast<size_t>(y) * maskStride;
        for (int32_t x = 0; x < image.width; ++x, c += bits / 8) {
            if (image.indexed()) {
                uint32_t v = image.palette[source[x]];
                c[0] = static_cast<uint8_t>(v), c[1] = static_cast<uint8_t>(v >> 8), c[2] = static_cast<uint8_t>(v >> 16);
            } else {
                std::memcpy(c, source + 3 * x, 3);
            }
            if (alpha) {
                c[3] = alpha[x];
                if (alpha[x] == 0)
                    m[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return true;
}
