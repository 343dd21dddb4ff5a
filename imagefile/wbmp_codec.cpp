#include "imagefile/codecs.h"

#include "imagefile/byte_reader.h"

#include <cstring>

namespace {

// WBMP integers: 7 bits a byte, most significant first, high bit = more.
bool readMultiByte(ByteReader& in, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 5; ++i) {
        uint8_t b = in.u8();
        if (in.failed())
            return false;
        value = (value << 7) | (b & 0x7F);
        if (!(b & 0x80))
            return true;
    }
    return false;
}

void writeMultiByte(ByteArray& out, uint32_t value, bool& ok) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value);
    while (n-- > 0) {
        uint8_t b = static_cast<uint8_t>(bytes[n] | (n ? 0x80 : 0));
        ok = ok && appendBytes(out, &b, 1);
    }
}

}  // namespace

bool decodeWbmp(const uint8_t* bytes, size_t size, DecodedImage& image) {
    ByteReader in(bytes, size);
    uint32_t type = 0, width = 0, height = 0;
    if (!readMultiByte(in, type) || type != 0)
        return image.fail("only type 0 is supported");
    uint8_t fixedHeader = in.u8();
    if (in.failed() || (fixedHeader & 0x80))
        return image.fail("extension headers are not supported");
    if (!readMultiByte(in, width) || !readMultiByte(in, height))
        return image.fail("truncated header");
    if (width < 1 || height < 1 || width > 65535 || height > 65535)
        return image.fail("size out of range");
    size_t stride = (width + 7) / 8;
    if (static_cast<uint64_t>(stride) * height > in.remaining())
        return image.fail("pixel data truncated");
    if (!image.allocate(static_cast<int32_t>(width), static_cast<int32_t>(height), 1, false))
        return false;
    image.paletteSize = 2;
    image.palette[0] = 0x000000;
    image.palette[1] = 0xFFFFFF;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* s = in.take(stride);
        uint8_t* target = image.rowFromTop(static_cast<int32_t>(y));
        for (uint32_t x = 0; x < width; ++x)
            target[x] = (s[x / 8] >> (7 - x % 8)) & 1;
    }
    return true;
}

// Only two-colour images below 256 x 256 can be written; the layer always
// hands over 24-bit images, so saving a WBMP always fails.
bool encodeWbmp(const DecodedImage& image, ByteArray& out) {
    if (image.bitsPerPixel != 1 || image.width >= 256 || image.height >= 256)
        return false;
    bool ok = true;
    writeMultiByte(out, 0, ok);
    uint8_t fixedHeader = 0;
    ok = ok && appendBytes(out, &fixedHeader, 1);
    writeMultiByte(out, static_cast<uint32_t>(image.width), ok);
    writeMultiByte(out, static_cast<uint32_t>(image.height), ok);
    uint8_t row[32];
    for (int32_t y = 0; y < image.height && ok; ++y) {
        const uint8_t* source = image.row(image.height - 1 - y);
        std::memset(row, 0, sizeof(row));
        for (int32_t x = 0; x < image.width; ++x)
            if ((image.palette[source[x]] & 0xFFFFFF) != 0)
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        ok = appendBytes(out, row, static_cast<size_t>(image.width + 7) / 8);
    }
    return ok;
}
