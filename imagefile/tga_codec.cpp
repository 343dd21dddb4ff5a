#include "imagefile/codecs.h"

#include "imagefile/byte_reader.h"

#include <cstdlib>
#include <cstring>

namespace {

struct TgaHeader {
    uint32_t idLength, colorMapType, imageType;
    uint32_t mapFirst, mapLength, mapEntryBits;
    int32_t width, height;
    uint32_t bitsPerPixel, descriptor;
};

// A pixel as B, G, R, A from a 15/16-bit (5-5-5 plus attribute), 24- or
// 32-bit little-endian field.
void unpackColor(const uint8_t* p, uint32_t bits, uint8_t out[4]) {
    if (bits == 15 || bits == 16) {
        uint32_t v = p[0] | (p[1] << 8);
        out[0] = static_cast<uint8_t>((v & 0x1F) * 255 / 31);
        out[1] = static_cast<uint8_t>(((v >> 5) & 0x1F) * 255 / 31);
        out[2] = static_cast<uint8_t>(((v >> 10) & 0x1F) * 255 / 31);
        out[3] = (v & 0x8000) ? 255 : 0;
    } else {
        out[0] = p[0], out[1] = p[1], out[2] = p[2];
        out[3] = bits == 32 ? p[3] : 255;
    }
}

// A TGA 2.0 footer may point at an extension area whose attributes type
// says the alpha bits are absent (0), undefined (1) or to be kept but
// ignored (2).
bool extensionDeclaresNoAlpha(const uint8_t* bytes, size_t size) {
    static const char signature[] = "TRUEVISION-XFILE.";
    if (size < 26 + 18 || std::memcmp(bytes + size - 18, signature, 18) != 0)
        return false;
    ByteReader footer(bytes + size - 26, 4);
    uint32_t offset = footer.u32le();
    if (offset == 0 || offset > size - 26 || size - 26 - offset < 495)
        return false;
    return bytes[offset + 494] <= 2;
}

}  // namespace

bool decodeTga(const uint8_t* bytes, size_t size, DecodedImage& image) {
    ByteReader in(bytes, size);
    TgaHeader h;
    h.idLength = in.u8();
    h.colorMapType = in.u8();
    h.imageType = in.u8();
    h.mapFirst = in.u16le();
    h.mapLength = in.u16le();
    h.mapEntryBits = in.u8();
    in.skip(4);  // origin
    h.width = in.u16le();
    h.height = in.u16le();
    h.bitsPerPixel = in.u8();
    h.descriptor = in.u8();
    if (in.failed())
        return image.fail("truncated header");
    if (h.width < 1 || h.height < 1)
        return image.fail("image has no pixels");

    bool rle = h.imageType >= 9;
    uint32_t kind = rle ? h.imageType - 8 : h.imageType;  // 1 mapped, 2 true colour, 3 grey
    if (kind < 1 || kind > 3 || (h.imageType > 3 && h.imageType < 9) || h.imageType > 11)
        return image.fail("unsupported image type");
    if (h.colorMapType > 1)
        return image.fail("bad colour-map type");
    if (kind == 1 && (h.colorMapType != 1 || (h.bitsPerPixel != 8 && h.bitsPerPixel != 16)))
        return image.fail("bad colour-mapped depth");
    if (kind == 2 && h.bitsPerPixel != 15 && h.bitsPerPixel != 16 && h.bitsPerPixel != 24 && h.bitsPerPixel != 32)
        return image.fail("bad true-colour depth");
    if (kind == 3 && h.bitsPerPixel != 8 && h.bitsPerPixel != 16)
        return image.fail("bad greyscale depth");
    if (!in.skip(h.idLength))
        return image.fail("truncated image ID");

    // The colour map, expanded to B, G, R, A entries.
    uint8_t* map = nullptr;
    uint32_t mapBytes = 0;
    if (h.colorMapType == 1) {
        if (h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32)
            return image.fail("bad colour-map entry size");
        uint32_t entrySize = (h.mapEntryBits + 7) / 8;
        mapBytes = h.mapLength * entrySize;
        const uint8_t* stored = in.take(mapBytes);
        if (!stored)
            return image.fail("truncated colour map");
        if (kind == 1) {
            map = static_cast<uint8_t*>(std::malloc(h.mapLength * 4 + 4));
            if (!map)
                return image.fail("out of memory");
            for (uint32_t i = 0; i < h.mapLength; ++i)
                unpackColor(stored + i * entrySize, h.mapEntryBits, map + 4 * i);
        }
    }

    uint32_t pixelBytes = (h.bitsPerPixel + 7) / 8;
    uint64_t pixels = static_cast<uint64_t>(h.width) * static_cast<uint64_t>(h.height);
    // Raw data must be all there; an RLE packet covers at most 128 pixels.
    uint64_t needed = rle ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
    if (needed > in.remaining()) {
        std::free(map);
        return image.fail("pixel data truncated");
    }

    uint32_t alphaBits = h.descriptor & 0x0F;
    bool alphaDeclared = alphaBits > 0 && !extensionDeclaresNoAlpha(bytes, size);
    bool carriesAlpha = (kind == 2 && (h.bitsPerPixel == 32 || h.bitsPerPixel == 16)) ||
                        (kind == 3 && h.bitsPerPixel == 16) ||
                        (kind == 1 && (h.mapEntryBits == 32 || h.mapEntryBits == 16));
    // 32-bit files without declared alpha bits (ours among them) keep their
    // fourth byte when it is not zero throughout; see below.
    bool undeclared32 = kind == 2 && h.bitsPerPixel == 32 && alphaBits == 0 && !extensionDeclaresNoAlpha(bytes, size);
    bool withAlpha = carriesAlpha && (alphaDeclared || undeclared32);
    if (!image.allocate(h.width, h.height, kind == 3 && h.bitsPerPixel == 8 ? 8 : 24, withAlpha)) {
        std::free(map);
        return false;
    }
    if (kind == 3 && h.bitsPerPixel == 8)
        image.setGreyPalette(256);

    bool topDown = h.descriptor & 0x20;
    bool rightToLeft = h.descriptor & 0x10;
    uint64_t done = 0;
    bool anyAlpha = false;
    uint8_t color[4] = {0, 0, 0, 255};
    const uint8_t* packet = nullptr;
    uint32_t runLeft = 0;
    bool repeat = false;
    bool ok = true;
    while (done < pixels) {
        const uint8_t* p;
        if (rle) {
            if (runLeft == 0) {
                uint32_t head = in.u8();
                runLeft = (head & 0x7F) + 1;
                repeat = head & 0x80;
                packet = repeat ? in.take(pixelBytes) : nullptr;
                if (in.failed()) {
                    ok = image.fail("RLE data truncated");
                    break;
                }
            }
            p = repeat ? packet : in.take(pixelBytes);
            --runLeft;
        } else {
            p = in.take(pixelBytes);
        }
        if (!p) {
            ok = image.fail("pixel data truncated");
            break;
        }
        if (kind == 1) {
            uint32_t index = h.bitsPerPixel == 8 ? p[0] : static_cast<uint32_t>(p[0] | (p[1] << 8));
            if (index < h.mapFirst || index - h.mapFirst >= h.mapLength) {
                ok = image.fail("colour index outside the map");
                break;
            }
            std::memcpy(color, map + 4 * (index - h.mapFirst), 4);
        } else if (kind == 2) {
            unpackColor(p, h.bitsPerPixel, color);
        } else {
            color[0] = color[1] = color[2] = p[0];
            color[3] = h.bitsPerPixel == 16 ? p[1] : 255;
        }
        int32_t fileRow = static_cast<int32_t>(done / static_cast<uint64_t>(h.width));
        int32_t column = static_cast<int32_t>(done % static_cast<uint64_t>(h.width));
        int32_t row = topDown ? h.height - 1 - fileRow : fileRow;
        int32_t x = rightToLeft ? h.width - 1 - column : column;
        if (image.indexed()) {
            image.row(row)[x] = color[0];
        } else {
            std::memcpy(image.row(row) + 3 * x, color, 3);
        }
        if (withAlpha) {
            image.alphaRow(row)[x] = color[3];
            anyAlpha = anyAlpha || color[3] != 0;
        }
        ++done;
    }
    std::free(map);
    if (!ok)
        return false;
    if (withAlpha && !alphaDeclared && !anyAlpha)
        image.alpha.clear();  // an unused fourth byte, not transparency
    return true;
}

bool encodeTga(const DecodedImage& image, ByteArray& out) {
    bool withAlpha = image.hasAlpha();
    uint32_t pixelBytes = withAlpha ? 4 : 3;
    uint64_t total = 18 + static_cast<uint64_t>(image.width) * image.height * pixelBytes;
    if (image.width > 65535 || image.height > 65535 || total > 0x7FFFFFFF / 2)
        return false;
    if (!out.SetLength(static_cast<int32_t>(total)))
        return false;
    uint8_t* p = out.data;
    std::memset(p, 0, 18);  // descriptor 0: bottom-up rows
    p[2] = 2;               // uncompressed true colour
    putU16le(p + 12, static_cast<uint32_t>(image.width));
    putU16le(p + 14, static_cast<uint32_t>(image.height));
    p[16] = static_cast<uint8_t>(pixelBytes * 8);
    p += 18;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* source = image.row(y);
        const uint8_t* alpha = withAlpha ? image.alphaRow(y) : nullptr;
        for (int32_t x = 0; x < image.width; ++x, p += pixelBytes) {
            if (image.indexed()) {
                uint32_t c = image.palette[source[x]];
                p[0] = static_cast<uint8_t>(c), p[1] = static_cast<uint8_t>(c >> 8), p[2] = static_cast<uint8_t>(c >> 16);
            } else {
                std::memcpy(p, source + 3 * x, 3);
            }
            if (alpha)
                p[3] = alpha[x];
        }
    }
    return true;
}
