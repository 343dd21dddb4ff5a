#include "imagefile/codecs.h"
#include "imagefile/exif.h"
#include "platform/process_copy.h"

#include <libraw/libraw.h>

#include <cstring>
#include <string>

// Camera RAW files (DNG, CR2, CR3, NEF, ARW, RAF, ORF, RW2, PEF, SRW)
// developed by LibRaw as dcraw would with -w: the camera's white balance,
// demosaiced into sRGB, 8 bits a sample. LibRaw turns the picture by the
// camera's orientation itself. What the RAW says about the shot (camera,
// exposure, aperture, ISO speed, focal length) becomes a new EXIF block.
// LibRaw does its work in a copy of the process where the system can make
// one: a file that makes it crash or write out of bounds then fails to load
// instead of taking the program down.

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

bool developRaw(const uint8_t* bytes, size_t size, DecodedImage& image) {
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

// What the copy sends back: this header, the EXIF block, then the rows
// top first, three bytes a pixel. A failure sends the header alone, its
// reason as a place in `failures`, since a pointer from the copy is not
// one to trust.
struct Developed {
    int32_t ok, failure, width, height, sourceBitsPerSample, orientation;
    uint32_t exifSize;
};

const char* const failures[] = {"corrupt camera RAW data",
                                "not a camera RAW file LibRaw knows",
                                "image too large",
                                "out of memory",
                                "LibRaw gave no 8-bit picture",
                                "LibRaw gave a short picture",
                                "image has no pixels"};
constexpr int32_t failureCount = sizeof failures / sizeof failures[0];
constexpr uint32_t exifLimit = 1 << 20;

bool sendDeveloped(ProcessCopyPipe& out, bool ok, const DecodedImage& image) {
    Developed d{ok, 0, image.width, image.height, image.sourceBitsPerSample, image.orientation, 0};
    if (!ok) {
        for (int32_t i = 0; i < failureCount; ++i)
            if (strcmp(image.reason, failures[i]) == 0)
                d.failure = i;
        return out.Write(&d, sizeof d);
    }
    d.exifSize = static_cast<uint32_t>(image.exif.length);
    if (!out.Write(&d, sizeof d) || !out.Write(image.exif.data, d.exifSize))
        return false;
    for (int32_t y = 0; y < image.height; ++y)
        if (!out.Write(image.row(image.height - 1 - y), static_cast<size_t>(image.width) * 3))
            return false;
    return true;
}

bool receiveDeveloped(ProcessCopyPipe& in, DecodedImage& image) {
    Developed d;
    if (!in.Read(&d, sizeof d))
        return false;
    if (!d.ok) {
        image.fail(failures[d.failure >= 0 && d.failure < failureCount ? d.failure : 0]);
        return true;
    }
    if (d.exifSize > exifLimit || !image.exif.SetLength(static_cast<int32_t>(d.exifSize)) ||
        !in.Read(image.exif.data, d.exifSize))
        return false;
    if (!image.allocate(d.width, d.height, 24, false))
        return false;
    for (int32_t y = 0; y < image.height; ++y)
        if (!in.Read(image.rowFromTop(y), static_cast<size_t>(image.width) * 3))
            return false;
    image.sourceBitsPerSample = d.sourceBitsPerSample;
    image.orientation = d.orientation;
    image.orientationApplied = true;
    return true;
}

}  // namespace

bool decodeRaw(const uint8_t* bytes, size_t size, DecodedImage& image) {
    const ProcessCopyResult result = RunInProcessCopy(
        [&](ProcessCopyPipe& out) {
            DecodedImage inCopy;
            return sendDeveloped(out, developRaw(bytes, size, inCopy), inCopy);
        },
        [&](ProcessCopyPipe& in) { return receiveDeveloped(in, image); });
    if (result == ProcessCopyResult::Unavailable)
        return developRaw(bytes, size, image);
    // A failure the copy reported comes with its reason.
    if (result == ProcessCopyResult::Done)
        return *image.reason == 0;
    image.releasePixels();
    image.exif.Empty();
    return *image.reason ? false : image.fail("corrupt camera RAW data");
}
