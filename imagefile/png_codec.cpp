#include "imagefile/codecs.h"

#include <png.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>

// libpng reports errors by longjmp to the png_jmpbuf set below. The frames
// between setjmp and the library hold no objects with destructors; what they
// allocate lives in the DecodedImage (owned by the caller) or in a plain
// pointer that the error path frees.

namespace {

struct MemorySource {
    const uint8_t* bytes;
    size_t size;
    size_t position;
};

void readFromMemory(png_structp png, png_bytep target, png_size_t count) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->size - source->position)
        png_error(png, "read past the end of the data");
    std::memcpy(target, source->bytes + source->position, count);
    source->position += count;
}

void writeToBuffer(png_structp png, png_bytep bytes, png_size_t count) {
    auto* out = static_cast<ByteArray*>(png_get_io_ptr(png));
    if (!appendBytes(*out, bytes, count))
        png_error(png, "out of memory");
}

void flushNothing(png_structp) {}

void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

// Everything the error path must free, kept outside the setjmp frame's
// automatic variables so that its values survive the longjmp.
struct ReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep* rows = nullptr;
    png_bytep interleaved = nullptr;
};

// The profile and the EXIF block (stored here without the "Exif\0\0" that
// the layer keeps in front of it).
bool readMetadata(ReadState& state, DecodedImage& image) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    if (png_get_iCCP(state.png, state.info, &name, &compression, &profile, &profileSize) && profile &&
        !appendBytes(image.icc, profile, profileSize))
        return false;
    png_uint_32 exifSize = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(state.png, state.info, &exifSize, &exif) && exif && exifSize > 0)
        return appendBytes(image.exif, "Exif\0\0", 6) && appendBytes(image.exif, exif, exifSize);
    return true;
}

bool readPng(ReadState& state, MemorySource& source, DecodedImage& image) {
    if (setjmp(png_jmpbuf(state.png)))
        return image.fail("corrupt PNG");

    png_set_read_fn(state.png, &source, readFromMemory);
    png_set_user_limits(state.png, 65535, 65535);
    // Text, palettes suggestions and the like are never used; skipping
    // them keeps hostile chunks (huge or compressed) from costing time and
    // memory. The profile (iCCP) and EXIF block (eXIf) are kept, within
    // libpng's own limits on chunk sizes.
    static const png_byte ignored[] = "bKGD\0cHRM\0gAMA\0hIST\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0"
                                      "sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt\0";
    png_set_keep_unknown_chunks(state.png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(state.png, PNG_HANDLE_CHUNK_NEVER, ignored, (sizeof(ignored) - 1) / 5);
    png_read_info(state.png, state.info);
    if (!readMetadata(state, image))
        return image.fail("out of memory");

    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(state.png, state.info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    image.sourceBitsPerSample = bitDepth > 8 ? bitDepth : 8;
    // Deflate expands a byte to at most 1032, eight pixels each at 1 bit.
    uint64_t pixels = static_cast<uint64_t>(width) * height;
    if (pixels > decodePixelLimit() || !plausiblePixelCount(pixels, source.size, 16384))
        return image.fail("image too large");

    bool withAlpha = (colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(state.png, state.info, PNG_INFO_tRNS);
    // Everything becomes 8-bit B, G, R with alpha filled in last.
    png_set_expand(state.png);
    png_set_strip_16(state.png);
    png_set_gray_to_rgb(state.png);
    png_set_bgr(state.png);
    if (!withAlpha)
        png_set_strip_alpha(state.png);
    png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);

    int channels = withAlpha ? 4 : 3;
    if (png_get_channels(state.png, state.info) != channels || png_get_bit_depth(state.png, state.info) != 8)
        return image.fail("unexpected PNG transform result");
    int32_t w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
    if (!image.allocate(w, h, 24, withAlpha))
        return false;

    state.rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * static_cast<size_t>(h)));
    if (!state.rows)
        return image.fail("out of memory");
    if (withAlpha) {
        state.interleaved = static_cast<png_bytep>(std::malloc(static_cast<size_t>(w) * 4 * h));
        if (!state.interleaved)
            return image.fail("out of memory");
        for (int32_t y = 0; y < h; ++y)
            state.rows[y] = state.interleaved + static_cast<size_t>(y) * w * 4;
    } else {
        for (int32_t y = 0; y < h; ++y)
            state.rows[y] = image.rowFromTop(y);
    }
    png_read_image(state.png, state.rows);
    png_read_end(state.png, nullptr);

    if (withAlpha) {
        for (int32_t y = 0; y < h; ++y) {
            const uint8_t* source = state.rows[y];
            uint8_t* target = image.rowFromTop(y);
            uint8_t* alpha = image.alphaRowFromTop(y);
            for (int32_t x = 0; x < w; ++x) {
                std::memcpy(target + 3 * x, source + 4 * x, 3);
                alpha[x] = source[4 * x + 3];
            }
        }
    }
    return true;
}

struct WriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep row = nullptr;
};

bool writePng(WriteState& state, const DecodedImage& image, ByteArray& out) {
    if (setjmp(png_jmpbuf(state.png)))
        return false;
    png_set_write_fn(state.png, &out, writeToBuffer, flushNothing);
    bool withAlpha = image.hasAlpha();
    png_set_IHDR(state.png, state.info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height),
                 8, withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // A profile libpng finds wrong is left out (a warning, not an error).
    png_set_benign_errors(state.png, 1);
    if (image.icc.length > 0)
        png_set_iCCP(state.png, state.info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, image.icc.data,
                     static_cast<png_uint_32>(image.icc.length));
    if (image.exif.length > 6)
        png_set_eXIf_1(state.png, state.info, static_cast<png_uint_32>(image.exif.length - 6), image.exif.data + 6);
    png_write_info(state.png, state.info);
    int32_t channels = withAlpha ? 4 : 3;
    state.row = static_cast<png_bytep>(std::malloc(static_cast<size_t>(image.width) * channels));
    if (!state.row)
        return false;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* source = image.row(image.height - 1 - y);
        const uint8_t* alpha = withAlpha ? image.alphaRow(image.height - 1 - y) : nullptr;
        for (int32_t x = 0; x < image.width; ++x) {
            uint8_t* p = state.row + static_cast<size_t>(x) * channels;
            if (image.indexed()) {
                uint32_t c = image.palette[source[x]];
                p[0] = static_cast<uint8_t>(c >> 16);
                p[1] = static_cast<uint8_t>(c >> 8);
                p[2] = static_cast<uint8_t>(c);
            } else {
                p[0] = source[3 * x + 2];
                p[1] = source[3 * x + 1];
                p[2] = source[3 * x];
            }
            if (alpha)
                p[3] = alpha[x];
        }
        png_write_row(state.png, state.row);
    }
    png_write_end(state.png, nullptr);
    return true;
}

}  // namespace

bool decodePng(const uint8_t* bytes, size_t size, DecodedImage& image) {
    if (size < 8 || png_sig_cmp(bytes, 0, 8) != 0)
        return image.fail("not a PNG stream");
    MemorySource source{bytes, size, 0};
    ReadState state;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!state.png)
        return image.fail("out of memory");
    state.info = png_create_info_struct(state.png);
    bool ok = state.info && readPng(state, source, image);
    png_destroy_read_struct(&state.png, state.info ? &state.info : nullptr, nullptr);
    std::free(state.rows);
    std::free(state.interleaved);
    return ok;
}

bool encodePng(const DecodedImage& image, ByteArray& out) {
    WriteState state;
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!state.png)
        return false;
    state.info = png_create_info_struct(state.png);
    bool ok = state.info && writePng(state, image, out);
    png_destroy_write_struct(&state.png, state.info ? &state.info : nullptr);
    std::free(state.row);
    return ok;
}
