// Feeds arbitrary bytes to the reader of the embedded TGA pictures.
#include "imagefile/decoded_image.h"
#include "imagefile/image_file.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Bitmap bitmap;
    decodeTgaResource(bitmap, data, size);
    return 0;
}
