#include "imagefile/codecs.h"
#include "imagefile/exif.h"

#include <libheif/heif.h>

#include <algorithm>
#include <climits>
#include <cmath>

// HEIC, HEIF and AVIF through libheif (HEVC by libde265, AV1 by dav1d and,
// for writing AVIF, aom). Only the primary image is read, with its alpha.
// libheif applies the container's rotation and mirror (irot, imir) while
// decoding, so the picture arrives upright: the EXIF orientation is only
// corrected, never applied again.

namespace {

void initLibrary() {
    static const bool ready = (heif_init(nullptr), true);
    (void)ready;
}

struct HeifRead {
    heif_context* context = nullptr;
    heif_image_handle* handle = nullptr;
    heif_image* picture = nullptr;
    heif_decoding_options* options = nullptr;
    ~HeifRead() {
        heif_decoding_options_free(options);
        heif_image_release(picture);
        heif_image_handle_release(handle);
        heif_context_free(context);
    }
};

bool readProfile(const heif_image_handle* handle, DecodedImage& image) {
    const heif_color_profile_type kind = heif_image_handle_get_color_profile_type(handle);
    if (kind != heif_color_profile_type_prof && kind != heif_color_profile_type_rICC)
        return true;  // none, or coding-independent code points that mean sRGB-like
    const size_t size = heif_image_handle_get_raw_color_profile_size(handle);
    if (size == 0 || size > INT_MAX || !image.icc.SetLength(static_cast<int32_t>(size)))
        return size == 0;
    if (heif_image_handle_get_raw_color_profile(handle, image.icc.data).code != heif_error_Ok)
        image.icc.Empty();
    return true;
}

// The first EXIF block; HEIF stores a 4-byte offset to the TIFF header
// before it. False when memory runs out.
bool readExif(const heif_image_handle* handle, DecodedImage& image) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1)
        return true;
    const size_t size = heif_image_handle_get_metadata_size(handle, id);
    ByteArray raw;
    if (size < 4 || size > (16u << 20))
        return true;
    if (!raw.SetLength(static_cast<int32_t>(size)))
        return false;
    if (heif_image_handle_get_metadata(handle, id, raw.data).code != heif_error_Ok)
        return true;
    const uint32_t offset = (uint32_t(raw.data[0]) << 24) | (uint32_t(raw.data[1]) << 16) |
                            (uint32_t(raw.data[2]) << 8) | raw.data[3];
    return offset > size - 4 || exifFromContainer(raw.data, size, 4 + offset, image.exif);
}

// One past the largest side whose square stays within the pixel limit.
// libheif refuses a side above the value it is given, so no canvas passes
// that is much over the limit, and a picture one pixel longer than the
// square still reaches the pixel check.
int canvasSideLimit() {
    const uint64_t pixels = std::min<uint64_t>(decodePixelLimit(), uint64_t(65535) * 65535);
    auto side = static_cast<uint64_t>(std::sqrt(static_cast<double>(pixels)));
    while (side * side > pixels)
        --side;
    while ((side + 1) * (side + 1) <= pixels)
        ++side;
    return static_cast<int>(side) + 1;
}

heif_error writeToBuffer(heif_context*, const void* data, size_t size, void* userdata) {
    const bool ok = appendBytes(*static_cast<ByteArray*>(userdata), data, size);
    return heif_error{ok ? heif_error_Ok : heif_error_Memory_allocation_error, heif_suberror_Unspecified,
                      ok ? "" : "out of memory"};
}

}  // namespace

bool decodeHeif(const uint8_t* bytes, size_t size, DecodedImage& image) {
    initLibrary();
    HeifRead r;
    r.context = heif_context_alloc();
    if (!r.context)
        return image.fail("out of memory");
    // libheif holds each side of the picture, and of a grid's or an overlay's
    // canvas, to one limit, and fills an overlay's canvas before reading a
    // tile. The canvas may claim another size than the picture, so the side
    // is held to the square root of the pixel limit: no canvas can exceed it.
    heif_context_set_maximum_image_size_limit(r.context, canvasSideLimit());
    heif_context_set_max_decoding_threads(r.context, 0);
    const heif_error read = heif_context_read_from_memory_without_copy(r.context, bytes, size, nullptr);
    if (read.subcode == heif_suberror_Security_limit_exceeded)
        return image.fail("image too large");
    if (read.code != heif_error_Ok ||
        heif_context_get_primary_image_handle(r.context, &r.handle).code != heif_error_Ok)
        return image.fail("corrupt HEIF");
    const int width = heif_image_handle_get_width(r.handle);
    const int height = heif_image_handle_get_height(r.handle);
    if (width < 1 || height < 1 || static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > decodePixelLimit())
        return image.fail("image too large");
    const bool withAlpha = heif_image_handle_has_alpha_channel(r.handle) != 0;
    const int depth = heif_image_handle_get_luma_bits_per_pixel(r.handle);
    image.sourceBitsPerSample = depth > 8 ? depth : 8;
    image.sourceImages = heif_context_get_number_of_top_level_images(r.context) > 1 ? 2 : 1;
    image.lossy = true;
    if (!readProfile(r.handle, image) || !readExif(r.handle, image))
        return image.fail("out of memory");
    image.orientationApplied = true;
    image.orientation = exifOrientation(image.exif.data, static_cast<size_t>(image.exif.length));

    r.options = heif_decoding_options_alloc();
    if (!r.options)
        return image.fail("out of memory");
    r.options->convert_hdr_to_8bit = 1;
    const heif_chroma chroma = withAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
    const heif_error decoded = heif_decode_image(r.handle, &r.picture, heif_colorspace_RGB, chroma, r.options);
    if (decoded.subcode == heif_suberror_Security_limit_exceeded)
        return image.fail("image too large");
    if (decoded.code != heif_error_Ok)
        return image.fail("corrupt HEIF image data");
    int stride = 0;
    const uint8_t* rows = heif_image_get_plane_readonly(r.picture, heif_channel_interleaved, &stride);
    const int w = heif_image_get_width(r.picture, heif_channel_interleaved);
    const int h = heif_image_get_height(r.picture, heif_channel_interleaved);
    if (!rows || w < 1 || h < 1 || stride < w * (withAlpha ? 4 : 3) ||
        static_cast<uint64_t>(w) * static_cast<uint64_t>(h) > decodePixelLimit())
        return image.fail("unexpected HEIF decoder output");
    return fillFromInterleaved(image, rows, w, h, static_cast<size_t>(stride), withAlpha ? 4 : 3, withAlpha);
}

namespace {

struct HeifWrite {
    heif_context* context = nullptr;
    heif_encoder* encoder = nullptr;
    heif_image* picture = nullptr;
    heif_image_handle* handle = nullptr;
    ~HeifWrite() {
        heif_image_handle_release(handle);
        heif_image_release(picture);
        heif_encoder_release(encoder);
        heif_context_free(context);
    }
};

}  // namespace

bool encodeAvif(const DecodedImage& image, ByteArray& out) {
    initLibrary();
    ByteArray rows;
    int32_t channels = 3;
    if (!interleavedRows(image, rows, channels))
        return false;
    HeifWrite w;
    w.context = heif_context_alloc();
    if (!w.context ||
        heif_context_get_encoder_for_format(w.context, heif_compression_AV1, &w.encoder).code != heif_error_Ok ||
        heif_encoder_set_lossy_quality(w.encoder, image.jpegQuality).code != heif_error_Ok)
        return false;
    // aom's speed 6 of 0-9: about as small as the default, several times faster.
    heif_encoder_set_parameter_integer(w.encoder, "speed", 6);
    if (heif_image_create(image.width, image.height, heif_colorspace_RGB,
                          channels == 4 ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          &w.picture)
            .code != heif_error_Ok ||
        heif_image_add_plane(w.picture, heif_channel_interleaved, image.width, image.height, 8).code !=
            heif_error_Ok)
        return false;
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(w.picture, heif_channel_interleaved, &stride);
    if (!plane)
        return false;
    const size_t rowBytes = static_cast<size_t>(image.width) * channels;
    for (int32_t y = 0; y < image.height; ++y)
        std::copy(rows.data + y * rowBytes, rows.data + (y + 1) * rowBytes, plane + static_cast<size_t>(y) * stride);
    if (image.icc.length > 0 &&
        heif_image_set_raw_color_profile(w.picture, "prof", image.icc.data, static_cast<size_t>(image.icc.length))
                .code != heif_error_Ok)
        return false;
    if (heif_context_encode_image(w.context, w.picture, w.encoder, nullptr, &w.handle).code != heif_error_Ok)
        return false;
    // libheif puts the offset of the TIFF header in front of the block.
    if (image.exif.length > 6 &&
        heif_context_add_exif_metadata(w.context, w.handle, image.exif.data + 6, image.exif.length - 6).code !=
            heif_error_Ok)
        return false;
    heif_writer writer{1, writeToBuffer};
    return heif_context_write(w.context, &writer, &out).code == heif_error_Ok;
}
