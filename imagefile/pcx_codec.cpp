#include "imagefile/codecs.h"

#include "imagefile/byte_reader.h"

#include <cstdlib>
#include <cstring>

namespace {

// The EGA palette that 16-colour files without their own palette assume.
const uint32_t egaPalette[16] = {
    0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
    0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF,
};

bool supportedLayout(uint32_t bits, uint32_t planes) {
    if (bits == 1)
        return planes >= 1 && planes <= 4;
    if (bits == 2 || bits == 4)
        return planes == 1;
    if (bits == 8)
        return planes == 1 || planes == 3 || planes == 4;
    return false;
}

}  // namespace

bool decodePcx(const uint8_t* bytes, size_t size, DecodedImage& image) {
    if (size < 128 || bytes[0] != 10)
        return image.fail("not a PCX file");
    ByteReader in(bytes, size);
    in.skip(1);
    uint32_t version = in.u8();
    uint32_t encoding = in.u8();
    uint32_t bits = in.u8();
    int32_t xMin = in.u16le(), yMin = in.u16le(), xMax = in.u16le(), yMax = in.u16le();
    int32_t dpiX = in.u16le(), dpiY = in.u16le();
    const uint8_t* headerPalette = in.take(48);
    in.skip(1);
    uint32_t planes = in.u8();
    uint32_t bytesPerLine = in.u16le();
    if (encoding > 1)
        return image.fail("unknown encoding");
    if (!supportedLayout(bits, planes))
        return image.fail("unsupported plane layout");
    if (xMax < xMin || yMax < yMin)
        return image.fail("image has no pixels");
    int32_t width = xMax - xMin + 1, height = yMax - yMin + 1;
    if (bytesPerLine < (static_cast<uint32_t>(width) * bits + 7) / 8)
        return image.fail("lines too short for the width");

    size_t lineBytes = static_cast<size_t>(bytesPerLine) * planes;
    uint64_t total = static_cast<uint64_t>(lineBytes) * static_cast<uint64_t>(height);
    size_t available = size - 128;
    // A run packet of two bytes expands to at most 63.
    if (encoding == 1 ? total > static_cast<uint64_t>(available) * 63 / 2 + 63 : total > available)
        return image.fail("pixel data truncated");

    bool rgb = bits == 8 && planes >= 3;
    bool withAlpha = bits == 8 && planes == 4;
    if (!image.allocate(width, height, rgb ? 24 : 8, withAlpha))
        return false;
    if (dpiX > 0 && dpiY > 0)
        image.dpiX = dpiX, image.dpiY = dpiY;

    if (bits == 8 && planes == 1) {
        // The 256-colour palette sits at the end after a 12 marker; without
        // it the file is taken as greyscale.
        if (version >= 5 && size >= 128 + 769 && bytes[size - 769] == 12) {
            const uint8_t* p = bytes + size - 768;
            for (int i = 0; i < 256; ++i, p += 3)
                image.palette[i] = (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
            image.paletteSize = 256;
        } else {
            image.setGreyPalette(256);
        }
    } else if (bits == 1 && planes == 1) {
        image.paletteSize = 2;
        image.palette[0] = 0x000000;
        image.palette[1] = 0xFFFFFF;
    } else if (!rgb) {
        bool empty = true;
        for (int i = 0; i < 48; ++i)
            empty = empty && headerPalette[i] == 0;
        for (int i = 0; i < 16; ++i) {
            const uint8_t* p = headerPalette + 3 * i;
            image.palette[i] = empty ? egaPalette[i] : (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
        }
        image.paletteSize = 16;
    }

    uint8_t* line = static_cast<uint8_t*>(std::malloc(lineBytes));
    if (!line)
        return image.fail("out of memory");
    in.seek(128);
    // Runs may carry over from one line into the next.
    uint32_t runLeft = 0;
    uint8_t runValue = 0;
    bool ok = true;
    for (int32_t y = 0; y < height && ok; ++y) {
        for (size_t i = 0; i < lineBytes; ++i) {
            if (encoding == 0) {
                line[i] = in.u8();
            } else {
                if (runLeft == 0) {
                    uint8_t b = in.u8();
                    if ((b & 0xC0) == 0xC0) {
                        runLeft = b & 0x3F;
                        runValue = in.u8();
                    } else {
                        runLeft = 1;
                        runValue = b;
                    }
                }
                if (runLeft == 0) {  // a zero-length run: read the next packet
                    --i;
                    if (in.failed())
                        break;
                    continue;
                }
                line[i] = runValue;
                --runLeft;
            }
            if (in.failed())
                break;
        }
        if (in.failed()) {
            ok = image.fail("pixel data truncated");
            break;
        }
        uint8_t* target = image.rowFromTop(y);
        if (rgb) {
            for (int32_t x = 0; x < width; ++x) {
                target[3 * x + 2] = line[x];
                target[3 * x + 1] = line[bytesPerLine + x];
                target[3 * x] = line[2 * bytesPerLine + x];
            }
            if (withAlpha)
                std::memcpy(image.alphaRowFromTop(y), line + 3 * bytesPerLine, static_cast<size_t>(width));
        } else if (bits == 8) {
            std::memcpy(target, line, static_cast<size_t>(width));
        } else {
            // Packed pixels in one plane, or one bit from each of several.
            uint32_t mask = (1u << bits) - 1;
            for (int32_t x = 0; x < width; ++x) {
                uint32_t index = 0;
                for (uint32_t plane = 0; plane < planes; ++plane) {
                    size_t bit = static_cast<size_t>(x) * bits;
                    uint32_t byte = line[plane * bytesPerLine + bit / 8];
                    index |= ((byte >> (8 - bits - bit % 8)) & mask) << (plane * bits);
                }
                target[x] = static_cast<uint8_t>(index);
            }
        }
    }
    std::free(line);
    return ok;
}

namespace {

// Encodes one plane line with the PCX run-length scheme.
void encodeLine(const uint8_t* line, size_t count, uint8_t* out, size_t& length) {
    size_t i = 0;
    while (i < count) {
        uint8_t value = line[i];
        size_t run = 1;
        while (i + run < count && line[i + run] == value && run < 63)
            ++run;
        if (run > 1 || (value & 0xC0) == 0xC0)
            out[length++] = static_cast<uint8_t>(0xC0 | run);
        out[length++] = value;
        i += run;
    }
}

}  // namespace

bool encodePcx(const DecodedImage& image, ByteArray& out) {
    if (image.width > 65535 || image.height > 65535)
        return false;
    bool withAlpha = image.hasAlpha();
    uint32_t planes = withAlpha ? 4 : 3;
    size_t bytesPerLine = (static_cast<size_t>(image.width) + 1) & ~static_cast<size_t>(1);  // even, as required
    size_t lineBytes = bytesPerLine * planes;
    // Worst case every byte becomes two.
    if ((128 + 2 * static_cast<uint64_t>(lineBytes) * image.height) > 0x7FFFFFFF / 2)
        return false;
    uint8_t header[128] = {};
    header[0] = 10;
    header[1] = 5;
    header[2] = 1;
    header[3] = 8;
    putU16le(header + 8, static_cast<uint32_t>(image.width - 1));
    putU16le(header + 10, static_cast<uint32_t>(image.height - 1));
    putU16le(header + 12, static_cast<uint32_t>(image.dpiX));
    putU16le(header + 14, static_cast<uint32_t>(image.dpiY));
    header[65] = static_cast<uint8_t>(planes);
    putU16le(header + 66, static_cast<uint32_t>(bytesPerLine));
    header[68] = 1;  // colour
    if (!appendBytes(out, header, sizeof(header)))
        return false;
    uint8_t* line = static_cast<uint8_t*>(std::calloc(lineBytes, 1));
    uint8_t* packed = static_cast<uint8_t*>(std::malloc(2 * lineBytes));
    bool ok = line && packed;
    for (int32_t y = 0; y < image.height && ok; ++y) {
        int32_t row = image.height - 1 - y;
        const uint8_t* source = image.row(row);
        for (int32_t x = 0; x < image.width; ++x) {
            uint32_t c = image.indexed() ? image.palette[source[x]]
                                         : (static_cast<uint32_t>(source[3 * x + 2]) << 16) |
                                               (source[3 * x + 1] << 8) | source[3 * x];
            line[x] = static_cast<uint8_t>(c >> 16);
            line[bytesPerLine + x] = static_cast<uint8_t>(c >> 8);
            line[2 * bytesPerLine + x] = static_cast<uint8_t>(c);
        }
        if (withAlpha)
            std::memcpy(line + 3 * bytesPerLine, image.alphaRow(row), static_cast<size_t>(image.width));
        size_t length = 0;
        for (uint32_t plane = 0; plane < planes; ++plane)
            encodeLine(line + plane * bytesPerLine, bytesPerLine, packed, length);
        ok = appendBytes(out, packed, length);
    }
    std::free(line);
    std::free(packed);
    return ok;
}
