#include "imagefile/image_file.h"

#include "imagefile/byte_reader.h"

// The embedded pictures are plain uncompressed TGA files without a colour
// map; anything else is rejected rather than guessed at.
Bitmap& decodeTgaResource(Bitmap& bitmap, const uint8_t* bytes, size_t size) {
    bitmap.clear();
    if (!bytes || size < 19)
        return bitmap;
    ByteReader in(bytes, size);
    uint32_t idLength = in.u8();
    in.u8();
    uint32_t imageType = in.u8();
    in.skip(9);
    int32_t width = in.u16le();
    int32_t height = in.u16le();
    uint32_t bits = in.u8();
    uint32_t descriptor = in.u8();
    if ((bits != 8 && bits != 24 && bits != 32) || (imageType != 2 && imageType != 3) || width < 1 || height < 1)
        return bitmap;
    uint64_t needed = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * bits / 8;
    if (!in.skip(idLength) || needed > in.remaining())
        return bitmap;
    const uint8_t* p = in.take(static_cast<size_t>(needed));
    if (!p || !bitmap.resize(width, height)) {
        bitmap.clear();
        return bitmap;
    }
    bool topDown = descriptor & 0x20;
    for (int32_t stored = 0; stored < height; ++stored) {
        uint32_t* target = bitmap.elementAt(0, topDown ? stored : height - 1 - stored);
        for (int32_t x = 0; x < width; ++x) {
            if (bits == 8) {
                uint32_t v = *p++;
                target[x] = packPixel(v, v, v);
            } else if (bits == 24) {
                target[x] = packPixel(p[2], p[1], p[0]);
                p += 3;
            } else {
                target[x] = packPixel(p[2], p[1], p[0], p[3]);
                p += 4;
            }
        }
    }
    return bitmap;
}
