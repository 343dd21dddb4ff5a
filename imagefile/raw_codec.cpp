#include "imagefile/codecs.h"
#include "imagefile/exif.h"

#include <libraw/libraw.h>

#include <cstring>
#include <string>

// Camera RAW files (DNG, CR2, CR3, NEF, ARW, RAF, ORF, RW2, PEF, SRW)
// developed by LibRaw as dcraw would with -w: the camera's white balance,
// demosaiced into sRGB, 8 bits a sample. LibRaw turns the picture by the
// camera's orientation itself. What the RAW says about the shot (camera,
// exposure, aperture, ISO speed, focal length) becomes a new EXIF block.

namespace {

struct RawRead {
    libraw_data_t* raw = nullptr;
    libraw_processed_image_t* developed = nullptr;
    ~RawRead() {
        if (developed)
            libraw_dcraw_clear_mem(developed);
        if (raw)
            libraw_close(raw);
    }
};

// LibRaw's flip code as the EXIF orientation that means the same turn.
int32_t orientationFromFlip(int flip) {
    switch (flip) {
    case 3: return 3;
    case 5: return 8;
    case 6: return 6;
    default: return 1;
    }
}

}  // namespace

bool decodeRaw(const uint8_t* bytes, size_t size, DecodedImage& image) {
    RawRead r;
    r.raw = libraw_init(LIBRAW_OPIONS_NO_DATAERR_CALLBACK);
    if (!r.raw)
        return image.fail("out of memory");
    // The raw data itself is at most two bytes a sample of the pixel limit
    // (four samples for the few four-colour sensors), in megabytes.
    const uint64_t rawBytes = decodePixelLimit() * 8;
    r.raw->params.max_raw_memory_mb = static_cast<unsigned>((rawBytes >> 20) + 1);
    // LibRaw takes a writable pointer but only reads through it.
    if (libraw_open_buffer(r.raw, const_cast<uint8_t*>(bytes), size) != LIBRAW_SUCCESS)
        return image.fail("not a camera RAW file LibRaw knows");
    const uint64_t rawPixels = static_cast<uint64_t>(r.raw->sizes.raw_width) * r.raw->sizes.raw_height;
    const uint64_t pixels = static_cast<uint64_t>(r.raw->sizes.width) * r.raw->sizes.height;
    if (pixels < 1 || pixels > decodePixelLimit() || rawPixels > decodePixelLimit() * 2)
        return image.fail("image too large");
    r.raw->params.use_camera_wb = 1;
    libraw_set_output_color(r.raw, 1);  // sRGB
    libraw_set_output_bps(r.raw, 8);
    if (libraw_unpack(r.raw) != LIBRAW_SUCCESS || libraw_dcraw_process(r.raw) != LIBRAW_SUCCESS)
        return image.fail("corrupt camera RAW data");
    int error = 0;
    r.developed = libraw_dcraw_make_mem_image(r.raw, &error);
    if (!r.developed || r.developed->type != LIBRAW_IMAGE_BITMAP || r.developed->bits != 8 ||
        (r.developed->colors != 3 && r.developed->colors != 1))
        return image.fail("LibRaw gave no 8-bit picture");
    const int32_t width = r.developed->width, height = r.developed->height, colors = r.developed->colors;
    if (r.developed->data_size < static_cast<unsigned>(width) * height * colors)
        return image.fail("LibRaw gave a short picture");
    image.sourceBitsPerSample = r.raw->color.maximum > 255 ? 16 : 8;
    image.orientation = orientationFromFlip(r.raw->sizes.flip);
    image.orientationApplied = true;
    const std::string make(r.raw->idata.make, strnlen(r.raw->idata.make, sizeof r.raw->idata.make));
    const std::string model(r.raw->idata.model, strnlen(r.raw->idata.model, sizeof r.raw->idata.model));
    ShotDetails shot;
    shot.make = make.c_str();
    shot.model = model.c_str();
    shot.exposureSeconds = r.raw->other.shutter;
    shot.fNumber = r.raw->other.aperture;
    shot.isoSpeed = r.raw->other.iso_speed;
    shot.focalLength = r.raw->other.focal_len;
    if (!makeExif(shot, image.exif))
        return image.fail("out of memory");
    return fillFromInterleaved(image, r.developed->data, width, height, static_cast<size_t>(width) * colors, colors,
                               false);
}
