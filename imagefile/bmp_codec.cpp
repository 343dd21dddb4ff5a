#include "imagefile/codecs.h"

#include "imagefile/byte_reader.h"

#include <cstring>

namespace {

enum : uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiAlphaBitfields = 6 };

// One colour channel of a bit-field pixel: where it sits and how wide it is.
struct Channel {
    uint32_t mask = 0;
    int32_t shift = 0;
    int32_t bits = 0;

    explicit Channel(uint32_t m) : mask(m) {
        if (!m)
            return;
        shift = __builtin_ctz(m);
        uint32_t v = m >> shift;
        while (v & 1) {
            ++bits;
            v >>= 1;
        }
    }
    uint8_t extract(uint32_t pixel, uint8_t absent) const {
        if (!mask)
            return absent;
        uint32_t v = (pixel & mask) >> shift;
        v &= (bits >= 32) ? 0xFFFFFFFFu : ((1u << bits) - 1);
        if (bits >= 8)
            return static_cast<uint8_t>(v >> (bits - 8));
        return static_cast<uint8_t>(v * 255 / ((1u << bits) - 1));
    }
};

bool isOs2Header(uint32_t headerSize) {
    return headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
           headerSize != 124;
}

// Image row (counted from the bottom) of the r-th row stored in the file.
inline int32_t imageRow(const DibHeader& header, int32_t rows, int32_t r) {
    return header.topDown ? rows - 1 - r : r;
}

void putIndex(DecodedImage& image, int32_t row, int32_t x, uint8_t index) { image.row(row)[x] = index; }

bool decodeRle(ByteReader& in, const DibHeader& header, int32_t rows, DecodedImage& image) {
    bool four = header.compression == BiRle4;
    int32_t w = image.width;
    int64_t x = 0, r = 0;
    while (r < rows && in.remaining() >= 2) {
        uint32_t count = in.u8();
        uint32_t value = in.u8();
        if (count > 0) {
            int32_t row = imageRow(header, rows, static_cast<int32_t>(r));
            for (uint32_t i = 0; i < count && x < w; ++i, ++x) {
                uint8_t index = four ? static_cast<uint8_t>((i & 1) ? value & 0x0F : value >> 4) : static_cast<uint8_t>(value);
                putIndex(image, row, static_cast<int32_t>(x), index);
            }
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++r;
        } else if (value == 1) {  // end of bitmap
            break;
        } else if (value == 2) {  // delta
            x += in.u8();
            r += in.u8();
        } else {  // a literal run, padded to a 16-bit boundary
            uint32_t bytes = four ? (value + 1) / 2 : value;
            const uint8_t* literal = in.take(bytes);
            if (!literal)
                break;
            if ((bytes & 1) && !in.skip(1))
                break;
            int32_t row = imageRow(header, rows, static_cast<int32_t>(r));
            for (uint32_t i = 0; i < value && x < w; ++i, ++x) {
                uint8_t index = four ? static_cast<uint8_t>((i & 1) ? literal[i / 2] & 0x0F : literal[i / 2] >> 4)
                                     : literal[i];
                putIndex(image, row, static_cast<int32_t>(x), index);
            }
        }
    }
    return true;
}

bool decodeUncompressed(const uint8_t* bytes, size_t pixelOffset, const DibHeader& header, int32_t rows,
                        DecodedImage& image) {
    int32_t w = image.width;
    uint32_t bpp = header.bitCount;
    size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
    Channel red(header.masks[0]), green(header.masks[1]), blue(header.masks[2]), alphaChannel(header.masks[3]);
    for (int32_t r = 0; r < rows; ++r) {
        const uint8_t* s = bytes + pixelOffset + static_cast<size_t>(r) * stride;
        int32_t row = imageRow(header, rows, r);
        uint8_t* target = image.row(row);
        uint8_t* alpha = image.hasAlpha() ? image.alphaRow(row) : nullptr;
        switch (bpp) {
        case 1:
        case 2:
        case 4:
        case 8: {
            uint32_t perByte = 8 / bpp, mask = (1u << bpp) - 1;
            for (int32_t x = 0; x < w; ++x) {
                uint32_t shift = 8 - bpp * (1 + x % perByte);
                target[x] = static_cast<uint8_t>((s[x / perByte] >> shift) & mask);
            }
            break;
        }
        case 16:
        case 32:
            for (int32_t x = 0; x < w; ++x) {
                uint32_t p = bpp == 16 ? static_cast<uint32_t>(s[2 * x] | (s[2 * x + 1] << 8))
                                       : static_cast<uint32_t>(s[4 * x]) | (static_cast<uint32_t>(s[4 * x + 1]) << 8) |
                                             (static_cast<uint32_t>(s[4 * x + 2]) << 16) |
                                             (static_cast<uint32_t>(s[4 * x + 3]) << 24);
                target[3 * x] = blue.extract(p, 0);
                target[3 * x + 1] = green.extract(p, 0);
                target[3 * x + 2] = red.extract(p, 0);
                if (alpha)
                    alpha[x] = alphaChannel.extract(p, 255);
            }
            break;
        case 24:
            std::memcpy(target, s, static_cast<size_t>(w) * 3);
            break;
        }
    }
    return true;
}

}  // namespace

bool readDibHeader(const uint8_t* bytes, size_t size, size_t headerOffset, DibHeader& header, const char*& reason) {
    ByteReader in(bytes, size);
    if (!in.seek(headerOffset)) {
        reason = "header outside the file";
        return false;
    }
    header.headerSize = in.u32le();
    if (header.headerSize < 12 || header.headerSize > 4096 || header.headerSize > in.remaining() + 4) {
        reason = "bad header size";
        return false;
    }
    int64_t height = 0;
    if (header.headerSize == 12) {
        header.width = in.u16le();
        height = static_cast<int16_t>(in.u16le());
        in.u16le();
        header.bitCount = in.u16le();
        header.paletteEntrySize = 3;
    } else if (header.headerSize < 16) {
        reason = "bad header size";
        return false;
    } else {
        header.width = in.i32le();
        height = in.i32le();
        in.u16le();  // planes: often wrong and never needed
        header.bitCount = in.u16le();
        ByteReader rest(bytes + headerOffset, header.headerSize);
        rest.seek(16);
        header.compression = header.headerSize >= 20 ? rest.u32le() : BiRgb;
        rest.seek(32);
        header.colorsUsed = header.headerSize >= 36 ? rest.u32le() : 0;
        if (header.headerSize >= 52) {
            rest.seek(40);
            for (int i = 0; i < 3; ++i)
                header.masks[i] = rest.u32le();
            if (header.headerSize >= 56)
                header.masks[3] = rest.u32le();
        }
        if (isOs2Header(header.headerSize) && header.compression >= BiBitfields) {
            reason = "OS/2 compression";
            return false;
        }
    }
    if (in.failed()) {
        reason = "truncated header";
        return false;
    }
    header.topDown = height < 0;
    if (height < 0)
        height = -height;
    if (header.width < 1 || height < 1 || height > INT32_MAX) {
        reason = "bad size";
        return false;
    }
    header.height = static_cast<int32_t>(height);

    size_t afterHeader = headerOffset + header.headerSize;
    if (header.compression == BiBitfields || header.compression == BiAlphaBitfields) {
        if (header.bitCount != 16 && header.bitCount != 32) {
            reason = "bit fields need 16 or 32 bits";
            return false;
        }
        if (header.headerSize < 52) {  // the masks follow a short header
            int count = header.compression == BiAlphaBitfields ? 4 : 3;
            ByteReader masks(bytes, size);
            masks.seek(afterHeader);
            for (int i = 0; i < count; ++i)
                header.masks[i] = masks.u32le();
            if (masks.failed()) {
                reason = "truncated bit fields";
                return false;
            }
            afterHeader += 4 * count;
        }
    } else if (header.compression == BiRgb) {
        if (header.bitCount == 16) {
            header.masks[0] = 0x7C00, header.masks[1] = 0x03E0, header.masks[2] = 0x001F, header.masks[3] = 0;
        } else if (header.bitCount == 32) {
            header.masks[0] = 0xFF0000, header.masks[1] = 0xFF00, header.masks[2] = 0xFF, header.masks[3] = 0;
        }
    } else if (header.compression == BiRle8) {
        if (header.bitCount != 8) {
            reason = "RLE8 needs 8 bits";
            return false;
        }
    } else if (header.compression == BiRle4) {
        if (header.bitCount != 4) {
            reason = "RLE4 needs 4 bits";
            return false;
        }
    } else {
        reason = "unsupported compression";
        return false;
    }
    switch (header.bitCount) {
    case 1: case 2: case 4: case 8: case 16: case 24: case 32: break;
    default:
        reason = "unsupported bit count";
        return false;
    }
    if (header.compression == BiRgb && header.bitCount > 8)
        header.colorsUsed = 0;
    header.paletteOffset = afterHeader;
    return true;
}

// Palette entries of a DIB: B, G, R (and a reserved byte unless 3-byte).
static void readDibPalette(const uint8_t* bytes, size_t size, const DibHeader& header, size_t end, DecodedImage& image) {
    uint32_t entries = header.colorsUsed ? header.colorsUsed : (1u << header.bitCount);
    if (entries > (1u << header.bitCount))
        entries = 1u << header.bitCount;
    if (end > size)
        end = size;
    image.paletteSize = 0;
    for (uint32_t i = 0; i < entries; ++i) {
        size_t at = header.paletteOffset + static_cast<size_t>(i) * header.paletteEntrySize;
        if (at + 3 > end)
            break;
        image.palette[i] = (static_cast<uint32_t>(bytes[at + 2]) << 16) | (bytes[at + 1] << 8) | bytes[at];
        image.paletteSize = static_cast<int32_t>(i + 1);
    }
}

bool decodeDibImage(const uint8_t* bytes, size_t size, const DibHeader& header, size_t pixelOffset, int32_t rows,
                    DecodedImage& image, bool forceAlpha) {
    bool indexed = header.bitCount <= 8;
    // Uncompressed data is checked against the file before allocating;
    // compressed data is bounded by the pixel limit.
    if (pixelOffset >= size)
        return image.fail("no pixel data");
    bool compressed = header.compression == BiRle8 || header.compression == BiRle4;
    if (!compressed) {
        // Every row must be there; only the last row's padding may be
        // missing.
        uint64_t stride = ((static_cast<uint64_t>(header.width) * header.bitCount + 31) / 32) * 4;
        uint64_t lastRow = (static_cast<uint64_t>(header.width) * header.bitCount + 7) / 8;
        if (stride * static_cast<uint64_t>(rows - 1) + lastRow > size - pixelOffset)
            return image.fail("pixel data truncated");
    }
    bool withAlpha = forceAlpha || (header.bitCount >= 16 && header.masks[3] != 0);
    if (!image.allocate(header.width, rows, indexed ? 8 : 24, withAlpha))
        return false;
    if (indexed)
        readDibPalette(bytes, size, header, pixelOffset > header.paletteOffset ? pixelOffset : size, image);
    if (compressed) {
        ByteReader in(bytes + pixelOffset, size - pixelOffset);
        return decodeRle(in, header, rows, image);
    }
    return decodeUncompressed(bytes, pixelOffset, header, rows, image);
}

bool decodeBmp(const uint8_t* bytes, size_t size, DecodedImage& image) {
    ByteReader in(bytes, size);
    if (in.u8() != 'B' || in.u8() != 'M')
        return image.fail("not a BMP file");
    in.skip(8);
    uint32_t pixelOffset = in.u32le();
    if (in.failed())
        return image.fail("truncated file header");
    DibHeader header;
    const char* reason = "";
    if (!readDibHeader(bytes, size, 14, header, reason))
        return image.fail(reason);
    if (pixelOffset == 0) {
        uint32_t entries = header.bitCount <= 8 ? (header.colorsUsed ? header.colorsUsed : 1u << header.bitCount) : 0;
        pixelOffset = static_cast<uint32_t>(header.paletteOffset + entries * header.paletteEntrySize);
    }
    return decodeDibImage(bytes, size, header, pixelOffset, header.height, image, false);
}

bool encodeBmp(const DecodedImage& image, ByteArray& out) {
    uint64_t stride = (static_cast<uint64_t>(image.width) * 3 + 3) & ~uint64_t(3);
    uint64_t pixelBytes = stride * static_cast<uint64_t>(image.height);
    uint64_t fileSize = 54 + pixelBytes;
    if (fileSize > 0x7FFFFFFF / 2)
        return false;
    uint8_t header[54] = {'B', 'M'};
    putU32le(header + 2, static_cast<uint32_t>(fileSize));
    putU32le(header + 10, 54);
    putU32le(header + 14, 40);
    putU32le(header + 18, static_cast<uint32_t>(image.width));
    putU32le(header + 22, static_cast<uint32_t>(image.height));
    putU16le(header + 26, 1);
    putU16le(header + 28, 24);
    putU32le(header + 34, static_cast<uint32_t>(pixelBytes));
    putU32le(header + 38, static_cast<uint32_t>(image.dpiX * 10000 / 254));  // pixels per metre
    putU32le(header + 42, static_cast<uint32_t>(image.dpiY * 10000 / 254));
    if (!appendBytes(out, header, sizeof(header)))
        return false;
    int32_t base = out.length;
    if (!out.SetLength(base + static_cast<int32_t>(pixelBytes)))
        return false;
    uint8_t* p = out.data + base;
    std::memset(p, 0, pixelBytes);
    for (int32_t y = 0; y < image.height; ++y, p += stride) {
        const uint8_t* source = image.row(y);
        if (!image.indexed()) {
            std::memcpy(p, source, static_cast<size_t>(image.width) * 3);
            continue;
        }
        for (int32_t x = 0; x < image.width; ++x) {
            uint32_t c = image.palette[source[x]];
            p[3 * x] = static_cast<uint8_t>(c), p[3 * x + 1] = static_cast<uint8_t>(c >> 8),
                  p[3 * x + 2] = static_cast<uint8_t>(c >> 16);
        }
    }
    return true;
}
