// Feeds arbitrary bytes to one decoder of the image-file layer, chosen at
// build time by FUZZ_IMAGE_TYPE.
#include "imagefile/decoded_image.h"
#include "imagefile/image_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Large enough for every real test picture, small enough that a lying
    // header cannot push the fuzzer into its memory limit.
    setDecodePixelLimit(uint64_t(1) << 22);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bitmap bitmap;
    decode(bitmap, data, size, FUZZ_IMAGE_TYPE, nullptr);
    if (!bitmap.isEmpty() && (bitmap.width > 65535 || bitmap.height > 65535))
        __builtin_trap();
    return 0;
}
