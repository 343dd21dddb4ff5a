// Feeds arbitrary bytes to the EXIF reader and rewriter and to the ICC
// profile handling: the first byte chooses which, the rest is the block
// (an EXIF block gets its "Exif\0\0" prefix here) or the profile.
#include "imagefile/colour_profile.h"
#include "imagefile/exif.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20))
        return 0;
    ByteArray block;
    if (data[0] % 2 == 0) {
        block.Append("Exif\0\0", 6);
        block.Append(data + 1, static_cast<int32_t>(size - 1));
        const int32_t orientation = exifOrientation(block.data, static_cast<size_t>(block.length));
        if (orientation < 1 || orientation > 8)
            __builtin_trap();
        if (rewriteExif(block, 1 + data[0], 70000) && exifOrientation(block.data, static_cast<size_t>(block.length)) != 1)
            __builtin_trap();
        return 0;
    }
    block.Append(data + 1, static_cast<int32_t>(size - 1));
    Bitmap picture;
    picture.resize(16, 4);
    for (size_t i = 0; i < picture.pixelCount(); ++i)
        picture.data[i] = static_cast<uint32_t>(i * 0x01030507u) | 0xFF000000u;
    convertToSrgb(picture, block);
    CmykToSrgb cmyk(block.data, static_cast<size_t>(block.length), data[0] & 2);
    if (cmyk.valid()) {
        const uint8_t inks[8] = {0, 0, 0, 0, 255, 128, 64, 32};
        uint8_t bgr[6];
        cmyk.convert(inks, bgr, 2);
    }
    return 0;
}
