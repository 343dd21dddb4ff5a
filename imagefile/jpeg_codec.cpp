#include "imagefile/codecs.h"
#include "imagefile/colour_profile.h"
#include "imagefile/image_file.h"

#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

// libjpeg's error_exit must not return; ours longjmps back to the function
// that set the jump buffer. The frames in between hold no objects with
// destructors, and everything allocated on the way is freed by the caller
// (jpeg_destroy_* and the state records below).

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void onError(j_common_ptr info) { longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }
void onMessage(j_common_ptr) {}
// Warnings pass, except that the data ended early: a truncated file (an
// interrupted download, a folder still syncing) would otherwise load with
// its missing part filled grey.
void onWarning(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        onError(info);
}

// --- Reading from memory ---

const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}
boolean fillInput(j_decompress_ptr info) {
    // Past the end of the data: warn that the file ended early, as
    // libjpeg's own sources do; onWarning makes that a read error.
    WARNMS(info, JWRN_JPEG_EOF);
    info->src->next_input_byte = endOfImage;
    info->src->bytes_in_buffer = 2;
    return TRUE;
}
void skipInput(j_decompress_ptr info, long count) {
    if (count <= 0)
        return;
    if (static_cast<size_t>(count) > info->src->bytes_in_buffer) {
        fillInput(info);
        return;
    }
    info->src->next_input_byte += count;
    info->src->bytes_in_buffer -= static_cast<size_t>(count);
}
void termSource(j_decompress_ptr) {}

// --- Writing into a ByteArray ---

struct Destination {
    jpeg_destination_mgr base;
    ByteArray* out;
    JOCTET buffer[16384];
};

void initDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    d->base.next_output_byte = d->buffer;
    d->base.free_in_buffer = sizeof(d->buffer);
}
boolean emptyBuffer(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    if (!appendBytes(*d->out, d->buffer, sizeof(d->buffer)))
        ERREXIT(info, JERR_OUT_OF_MEMORY);
    d->base.next_output_byte = d->buffer;
    d->base.free_in_buffer = sizeof(d->buffer);
    return TRUE;
}
void termDestination(j_compress_ptr info) {
    auto* d = reinterpret_cast<Destination*>(info->dest);
    if (!appendBytes(*d->out, d->buffer, sizeof(d->buffer) - d->base.free_in_buffer))
        ERREXIT(info, JERR_OUT_OF_MEMORY);
}

bool isExifMarker(const jpeg_saved_marker_ptr marker) {
    return marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
           std::memcmp(marker->data, "Exif\0\0", 6) == 0;
}

// An ICC profile is split over APP2 segments, each "ICC_PROFILE\0", its
// number (from 1) and the count, then up to this many bytes.
constexpr size_t IccHeader = 14;
constexpr size_t IccChunk = 65533 - IccHeader;

bool isIccMarker(const jpeg_saved_marker_ptr marker) {
    return marker->marker == JPEG_APP0 + 2 && marker->data_length > IccHeader &&
           std::memcmp(marker->data, "ICC_PROFILE\0", 12) == 0;
}

// Joins the profile's segments in their numbered order; false (profile
// empty) when a segment is missing, repeated or numbered out of range.
bool readIccProfile(jpeg_decompress_struct& info, ByteArray& icc) {
    int count = 0;
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next)
        if (isIccMarker(m))
            count = m->data[13];
    if (count == 0)
        return true;
    for (int part = 1; part <= count; ++part) {
        jpeg_saved_marker_ptr found = nullptr;
        for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
            if (!isIccMarker(m) || m->data[12] != part)
                continue;
            if (found || m->data[13] != count) {
                icc.Empty();
                return true;
            }
            found = m;
        }
        if (!found) {
            icc.Empty();
            return true;
        }
        if (!appendBytes(icc, found->data + IccHeader, found->data_length - IccHeader))
            return false;
    }
    return true;
}

struct ReadState {
    jpeg_decompress_struct info;
    ErrorManager error;
    jpeg_source_mgr source;
    JSAMPLE* row = nullptr;
    CmykToSrgb* cmyk = nullptr;
};

// Points the decompressor at bytes; called after jpeg_create_decompress.
void attachSource(ReadState& state, const uint8_t* bytes, size_t size) {
    state.source.init_source = initSource;
    state.source.fill_input_buffer = fillInput;
    state.source.skip_input_data = skipInput;
    state.source.resync_to_restart = jpeg_resync_to_restart;
    state.source.term_source = termSource;
    state.source.next_input_byte = bytes;
    state.source.bytes_in_buffer = size;
    state.info.src = &state.source;
}

ReadState* newReadState() {
    auto* state = static_cast<ReadState*>(std::calloc(1, sizeof(ReadState)));
    if (state) {
        state->info.err = jpeg_std_error(&state->error.base);
        state->error.base.error_exit = onError;
        state->error.base.emit_message = onWarning;
        state->error.base.output_message = onMessage;
    }
    return state;
}

void deleteReadState(ReadState* state) {
    jpeg_destroy_decompress(&state->info);
    std::free(state->row);
    delete state->cmyk;
    std::free(state);
}

bool readJpeg(ReadState& state, const uint8_t* bytes, size_t size, DecodedImage& image) {
    jpeg_decompress_struct& info = state.info;
    if (setjmp(state.error.jump))
        return image.fail("corrupt JPEG");
    jpeg_create_decompress(&info);
    // Progressive images keep every coefficient in memory; a gigabyte is
    // far more than any photo the pixel limit lets through needs.
    info.mem->max_memory_to_use = 1L << 30;
    attachSource(state, bytes, size);
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return image.fail("no image in the JPEG stream");

    // Every 8 x 8 block costs at least a bit in some scan, so a few hundred
    // pixels a byte is the most a real stream holds; 4096 leaves room.
    uint64_t pixels = static_cast<uint64_t>(info.image_width) * info.image_height;
    if (info.image_width < 1 || info.image_height < 1 || pixels > decodePixelLimit() ||
        !plausiblePixelCount(pixels, size, 4096))
        return image.fail("JPEG size out of range");

    bool cmyk = false;
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        info.out_color_space = JCS_GRAYSCALE;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        info.out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
        info.out_color_space = JCS_RGB;
        break;
    }
    jpeg_start_decompress(&info);
    int32_t w = static_cast<int32_t>(info.output_width), h = static_cast<int32_t>(info.output_height);
    int components = info.output_components;
    bool grey = components == 1;
    if ((grey && info.out_color_space != JCS_GRAYSCALE) || (!grey && components != (cmyk ? 4 : 3)))
        return image.fail("unexpected JPEG components");
    if (!image.allocate(w, h, grey ? 8 : 24, false))
        return false;
    if (grey)
        image.setGreyPalette(256);

    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        if (isExifMarker(marker)) {
            image.exif.SetLength(0);
            if (!appendBytes(image.exif, marker->data, marker->data_length))
                return image.fail("out of memory");
            break;
        }
    }
    if (!readIccProfile(info, image.icc))
        return image.fail("out of memory");
    if (info.saw_JFIF_marker && info.X_density > 0 && info.Y_density > 0) {
        if (info.density_unit == 1) {
            image.dpiX = info.X_density;
            image.dpiY = info.Y_density;
        } else if (info.density_unit == 2) {
            image.dpiX = static_cast<int32_t>(info.X_density * 254 / 100);
            image.dpiY = static_cast<int32_t>(info.Y_density * 254 / 100);
        }
    }

    state.row = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(w) * components));
    if (!state.row)
        return image.fail("out of memory");
    // Adobe writes CMYK inverted (255 = no ink), which the conversion
    // below expects; plain CMYK is inverted first.
    bool invert = cmyk && !info.saw_Adobe_marker;
    // With a CMYK profile the inks go through it; the pixels are then sRGB.
    // (The transform lives in the state, which the caller frees.)
    if (cmyk && image.icc.length > 0) {
        state.cmyk = new CmykToSrgb(image.icc.data, static_cast<size_t>(image.icc.length), !invert);
        image.icc.Empty();
    }
    const CmykToSrgb* throughProfile = state.cmyk && state.cmyk->valid() ? state.cmyk : nullptr;
    while (info.output_scanline < info.output_height) {
        int32_t y = static_cast<int32_t>(info.output_scanline);
        JSAMPROW rows[1] = {state.row};
        if (jpeg_read_scanlines(&info, rows, 1) != 1)
            return image.fail("JPEG data ended early");
        uint8_t* target = image.rowFromTop(y);
        const JSAMPLE* s = state.row;
        if (grey) {
            std::memcpy(target, s, static_cast<size_t>(w));
        } else if (throughProfile) {
            throughProfile->convert(s, target, w);
        } else if (cmyk) {
            for (int32_t x = 0; x < w; ++x, s += 4) {
                uint32_t c0 = s[0], c1 = s[1], c2 = s[2], c3 = s[3];
                if (invert) {
                    c0 = 255 - c0, c1 = 255 - c1, c2 = 255 - c2, c3 = 255 - c3;
                }
                target[3 * x] = static_cast<uint8_t>(c2 * c3 / 255);
                target[3 * x + 1] = static_cast<uint8_t>(c1 * c3 / 255);
                target[3 * x + 2] = static_cast<uint8_t>(c0 * c3 / 255);
            }
        } else {
            for (int32_t x = 0; x < w; ++x, s += 3) {
                target[3 * x] = s[2];
                target[3 * x + 1] = s[1];
                target[3 * x + 2] = s[0];
            }
        }
    }
    jpeg_finish_decompress(&info);
    return true;
}

// The example tables of the JPEG standard (Annex K), in natural order, which
// libjpeg and most encoders scale by the quality setting.
const uint8_t StandardLuminance[64] = {
    16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57, 69, 56,
    14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const uint8_t StandardChrominance[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99, 99, 99,
    47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// How far a stored table is from a standard one scaled for quality q, as
// libjpeg scales it (baseline: entries kept within 1 to 255).
int64_t tableDistance(const JQUANT_TBL& table, const uint8_t* standard, int32_t q) {
    const int64_t scale = jpeg_quality_scaling(q);
    int64_t distance = 0;
    for (int i = 0; i < 64; ++i) {
        const int64_t expected = std::clamp<int64_t>((standard[i] * scale + 50) / 100, 1, 255);
        const int64_t stored = table.quantval[i];
        distance += stored > expected ? stored - expected : expected - stored;
    }
    return distance;
}

// The quality 1-100 whose scaled standard tables lie nearest to the file's
// first two tables; 0 when the stream has no readable header or no table.
int32_t readQuality(ReadState& state, const uint8_t* bytes, size_t size) {
    jpeg_decompress_struct& info = state.info;
    if (setjmp(state.error.jump))
        return 0;
    jpeg_create_decompress(&info);
    attachSource(state, bytes, size);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || !info.quant_tbl_ptrs[0])
        return 0;
    int32_t best = 0;
    int64_t bestDistance = -1;
    for (int32_t q = 1; q <= 100; ++q) {
        int64_t distance = tableDistance(*info.quant_tbl_ptrs[0], StandardLuminance, q);
        if (info.quant_tbl_ptrs[1])
            distance += tableDistance(*info.quant_tbl_ptrs[1], StandardChrominance, q);
        // Ties (the tables saturate at low qualities) go to the higher quality.
        if (bestDistance < 0 || distance <= bestDistance) {
            best = q;
            bestDistance = distance;
        }
    }
    return best;
}

struct WriteState {
    jpeg_compress_struct info;
    ErrorManager error;
    Destination destination;
    JSAMPLE* row = nullptr;
};

bool writeJpeg(WriteState& state, const DecodedImage& image, ByteArray& out) {
    jpeg_compress_struct& info = state.info;
    if (setjmp(state.error.jump))
        return false;
    jpeg_create_compress(&info);
    state.destination.base.init_destination = initDestination;
    state.destination.base.empty_output_buffer = emptyBuffer;
    state.destination.base.term_destination = termDestination;
    state.destination.out = &out;
    info.dest = &state.destination.base;

    // A greyscale carrier image (8 bits, grey palette) stays greyscale.
    bool grey = image.indexed();
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = grey ? 1 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, image.jpegQuality, TRUE);
    info.write_JFIF_header = TRUE;
    info.density_unit = 1;
    info.X_density = static_cast<UINT16>(image.dpiX > 0 && image.dpiX <= 65535 ? image.dpiX : 96);
    info.Y_density = static_cast<UINT16>(image.dpiY > 0 && image.dpiY <= 65535 ? image.dpiY : 96);
    jpeg_start_compress(&info, TRUE);
    // A marker segment holds at most 65533 bytes of payload.
    if (image.exif.length > 0 && image.exif.length <= 65533)
        jpeg_write_marker(&info, JPEG_APP0 + 1, image.exif.data, static_cast<unsigned>(image.exif.length));
    const size_t iccSize = static_cast<size_t>(image.icc.length);
    const size_t iccParts = (iccSize + IccChunk - 1) / IccChunk;
    for (size_t part = 0; part < iccParts && iccParts <= 255; ++part) {
        const size_t from = part * IccChunk, size = std::min(IccChunk, iccSize - from);
        jpeg_write_m_header(&info, JPEG_APP0 + 2, static_cast<unsigned>(IccHeader + size));
        for (const char* c = "ICC_PROFILE"; *c; ++c)
            jpeg_write_m_byte(&info, *c);
        jpeg_write_m_byte(&info, 0);
        jpeg_write_m_byte(&info, static_cast<int>(part + 1));
        jpeg_write_m_byte(&info, static_cast<int>(iccParts));
        for (size_t i = 0; i < size; ++i)
            jpeg_write_m_byte(&info, image.icc.data[from + i]);
    }

    state.row = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(image.width) * 3));
    if (!state.row)
        return false;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* source = image.row(image.height - 1 - y);
        if (grey) {
            for (int32_t x = 0; x < image.width; ++x)
                state.row[x] = static_cast<JSAMPLE>(image.palette[source[x]] & 0xFF);
        } else {
            for (int32_t x = 0; x < image.width; ++x) {
                state.row[3 * x] = source[3 * x + 2];
                state.row[3 * x + 1] = source[3 * x + 1];
                state.row[3 * x + 2] = source[3 * x];
            }
        }
        JSAMPROW rows[1] = {state.row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

}  // namespace

bool decodeJpeg(const uint8_t* bytes, size_t size, DecodedImage& image) {
    ReadState* state = newReadState();
    if (!state)
        return image.fail("out of memory");
    image.lossy = true;
    bool ok = readJpeg(*state, bytes, size, image);
    deleteReadState(state);
    return ok;
}

int32_t jpegQuality(const uint8_t* bytes, size_t size) {
    ReadState* state = newReadState();
    if (!state)
        return 0;
    const int32_t quality = readQuality(*state, bytes, size);
    deleteReadState(state);
    return quality;
}

bool encodeJpeg(const DecodedImage& image, ByteArray& out) {
    auto* state = static_cast<WriteState*>(std::calloc(1, sizeof(WriteState)));
    if (!state)
        return false;
    state->info.err = jpeg_std_error(&state->error.base);
    state->error.base.error_exit = onError;
    state->error.base.output_message = onMessage;
    bool ok = writeJpeg(*state, image, out);
    jpeg_destroy_compress(&state->info);
    std::free(state->row);
    std::free(state);
    return ok;
}
