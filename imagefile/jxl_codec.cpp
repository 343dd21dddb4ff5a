#include "imagefile/codecs.h"
#include "imagefile/exif.h"

#include <jxl/decode.h>
#include <jxl/encode.h>

#include <climits>
#include <cstring>

// JPEG XL through libjxl, single-threaded so every build gives the same
// bits. libjxl turns the picture upright itself (the orientation lives in
// the codestream). A lossy (XYB) file is asked for its original colour
// space with the sRGB curve where libjxl can describe it, else for sRGB;
// left alone it would deliver linear light.

namespace {

struct JxlRead {
    JxlDecoder* decoder = nullptr;
    ByteArray box;
    bool inExifBox = false;
    ~JxlRead() { JxlDecoderDestroy(decoder); }
};

bool isSrgb(const JxlColorEncoding& c) {
    return c.color_space == JXL_COLOR_SPACE_RGB && c.white_point == JXL_WHITE_POINT_D65 &&
           c.primaries == JXL_PRIMARIES_SRGB && c.transfer_function == JXL_TRANSFER_FUNCTION_SRGB;
}

// Chooses the colours a lossy file is delivered in, then keeps the profile
// that describes them (none for sRGB).
bool readColour(JxlRead& r, const JxlBasicInfo& info, DecodedImage& image) {
    JxlColorEncoding wanted;
    if (!info.uses_original_profile) {
        const bool described = JxlDecoderGetColorAsEncodedProfile(r.decoder, nullptr, JXL_COLOR_PROFILE_TARGET_ORIGINAL,
                                                                   &wanted) == JXL_DEC_SUCCESS &&
                               wanted.color_space == JXL_COLOR_SPACE_RGB;
        if (!described) {
            std::memset(&wanted, 0, sizeof wanted);
            wanted.color_space = JXL_COLOR_SPACE_RGB;
            wanted.white_point = JXL_WHITE_POINT_D65;
            wanted.primaries = JXL_PRIMARIES_SRGB;
        }
        wanted.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
        wanted.rendering_intent = JXL_RENDERING_INTENT_RELATIVE;
        if (JxlDecoderSetPreferredColorProfile(r.decoder, &wanted) != JXL_DEC_SUCCESS)
            return false;
    }
    JxlColorEncoding delivered;
    if (JxlDecoderGetColorAsEncodedProfile(r.decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &delivered) ==
            JXL_DEC_SUCCESS &&
        isSrgb(delivered))
        return true;
    size_t size = 0;
    if (JxlDecoderGetICCProfileSize(r.decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) != JXL_DEC_SUCCESS ||
        size == 0 || size > (16u << 20))
        return true;
    if (!image.icc.SetLength(static_cast<int32_t>(size)))
        return false;
    if (JxlDecoderGetColorAsICCProfile(r.decoder, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, image.icc.data, size) !=
        JXL_DEC_SUCCESS)
        image.icc.Empty();
    return true;
}

// An Exif box: a 4-byte offset to the TIFF header, then the block. False
// when memory runs out.
bool finishExifBox(JxlRead& r, DecodedImage& image) {
    if (!r.inExifBox)
        return true;
    r.inExifBox = false;
    const size_t unused = JxlDecoderReleaseBoxBuffer(r.decoder);
    const size_t size = static_cast<size_t>(r.box.length) - unused;
    if (image.exif.length > 0 || size < 4)
        return true;
    const uint32_t offset = (uint32_t(r.box.data[0]) << 24) | (uint32_t(r.box.data[1]) << 16) |
                            (uint32_t(r.box.data[2]) << 8) | r.box.data[3];
    return offset > size - 4 || exifFromContainer(r.box.data, size, 4 + offset, image.exif);
}

constexpr int32_t MaxExifBox = 1 << 20;

}  // namespace

bool decodeJxl(const uint8_t* bytes, size_t size, DecodedImage& image) {
    JxlRead r;
    r.decoder = JxlDecoderCreate(nullptr);
    if (!r.decoder)
        return image.fail("out of memory");
    const int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE | JXL_DEC_BOX;
    if (JxlDecoderSubscribeEvents(r.decoder, events) != JXL_DEC_SUCCESS ||
        JxlDecoderSetDecompressBoxes(r.decoder, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(r.decoder, bytes, size) != JXL_DEC_SUCCESS)
        return image.fail("libjxl refused its settings");
    JxlDecoderCloseInput(r.decoder);

    JxlBasicInfo info;
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    ByteArray pixels;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(r.decoder);
        switch (status) {
        case JXL_DEC_BASIC_INFO: {
            if (JxlDecoderGetBasicInfo(r.decoder, &info) != JXL_DEC_SUCCESS)
                return image.fail("corrupt JPEG XL header");
            const uint64_t count = static_cast<uint64_t>(info.xsize) * info.ysize;
            if (info.xsize < 1 || info.ysize < 1 || count > decodePixelLimit() ||
                !plausiblePixelCount(count, size, 1u << 20))
                return image.fail("image too large");
            image.sourceBitsPerSample = info.bits_per_sample > 8 ? static_cast<int32_t>(info.bits_per_sample) : 8;
            image.sourceImages = info.have_animation ? 2 : 1;
            image.lossy = !info.uses_original_profile;
            image.orientation = info.orientation >= 1 && info.orientation <= 8 ? info.orientation : 1;
            image.orientationApplied = true;
            format.num_channels = info.alpha_bits > 0 ? 4 : 3;
            break;
        }
        case JXL_DEC_COLOR_ENCODING:
            if (!readColour(r, info, image))
                return image.fail("JPEG XL colour space not usable");
            break;
        case JXL_DEC_BOX: {
            if (!finishExifBox(r, image))
                return image.fail("out of memory");
            JxlBoxType type;
            if (JxlDecoderGetBoxType(r.decoder, type, JXL_TRUE) == JXL_DEC_SUCCESS &&
                std::memcmp(type, "Exif", 4) == 0 && image.exif.length == 0) {
                if (!r.box.SetLength(64 << 10))
                    return image.fail("out of memory");
                r.inExifBox = JxlDecoderSetBoxBuffer(r.decoder, r.box.data, static_cast<size_t>(r.box.length)) ==
                              JXL_DEC_SUCCESS;
            }
            break;
        }
        case JXL_DEC_BOX_NEED_MORE_OUTPUT: {
            // Grows the box buffer; a block past 1 MB is dropped.
            const size_t unused = JxlDecoderReleaseBoxBuffer(r.decoder);
            const int32_t filled = r.box.length - static_cast<int32_t>(unused);
            if (r.box.length >= MaxExifBox) {
                r.inExifBox = false;
                r.box.Empty();
                break;
            }
            if (!r.box.SetLength(r.box.length * 2))
                return image.fail("out of memory");
            JxlDecoderSetBoxBuffer(r.decoder, r.box.data + filled, static_cast<size_t>(r.box.length - filled));
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            size_t needed = 0;
            if (JxlDecoderImageOutBufferSize(r.decoder, &format, &needed) != JXL_DEC_SUCCESS ||
                needed != static_cast<size_t>(info.xsize) * info.ysize * format.num_channels ||
                needed > INT32_MAX || !pixels.SetLength(static_cast<int32_t>(needed)))
                return image.fail("out of memory");
            if (JxlDecoderSetImageOutBuffer(r.decoder, &format, pixels.data, needed) != JXL_DEC_SUCCESS)
                return image.fail("libjxl refused the output buffer");
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            // The first frame is the picture; an animation's others are not read.
            if (!finishExifBox(r, image))
                return image.fail("out of memory");
            return fillFromInterleaved(image, pixels.data, static_cast<int32_t>(info.xsize),
                                       static_cast<int32_t>(info.ysize),
                                       static_cast<size_t>(info.xsize) * format.num_channels,
                                       static_cast<int32_t>(format.num_channels), format.num_channels == 4);
        default:
            return image.fail("corrupt JPEG XL");
        }
    }
}

namespace {

struct JxlWrite {
    JxlEncoder* encoder = nullptr;
    ~JxlWrite() { JxlEncoderDestroy(encoder); }
};

// libjxl's mapping of a JPEG-like quality to its Butteraugli distance (as
// cjxl does): 100 is lossless.
float distanceForQuality(int32_t quality) {
    if (quality >= 100)
        return 0.0f;
    if (quality >= 30)
        return 0.1f + static_cast<float>(100 - quality) * 0.09f;
    const float q = static_cast<float>(quality);
    return 53.0f / 3000.0f * q * q - 23.0f / 20.0f * q + 25.0f;
}

}  // namespace

bool encodeJxl(const DecodedImage& image, ByteArray& out) {
    ByteArray rows;
    int32_t channels = 3;
    if (!interleavedRows(image, rows, channels))
        return false;
    JxlWrite w;
    w.encoder = JxlEncoderCreate(nullptr);
    if (!w.encoder)
        return false;
    const float distance = distanceForQuality(image.jpegQuality);
    const bool withExif = image.exif.length > 6;
    if (withExif && JxlEncoderUseBoxes(w.encoder) != JXL_ENC_SUCCESS)
        return false;
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = static_cast<uint32_t>(image.width);
    info.ysize = static_cast<uint32_t>(image.height);
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.alpha_bits = channels == 4 ? 8 : 0;
    info.num_extra_channels = channels == 4 ? 1 : 0;
    info.uses_original_profile = distance == 0.0f ? JXL_TRUE : JXL_FALSE;
    if (JxlEncoderSetBasicInfo(w.encoder, &info) != JXL_ENC_SUCCESS)
        return false;
    if (image.icc.length > 0) {
        if (JxlEncoderSetICCProfile(w.encoder, image.icc.data, static_cast<size_t>(image.icc.length)) !=
            JXL_ENC_SUCCESS)
            return false;
    } else {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
        if (JxlEncoderSetColorEncoding(w.encoder, &srgb) != JXL_ENC_SUCCESS)
            return false;
    }
    if (withExif) {
        // The box holds a 4-byte offset to the TIFF header (0: right after it).
        ByteArray box;
        if (!appendBytes(box, "\0\0\0\0", 4) || !appendBytes(box, image.exif.data + 6, image.exif.length - 6) ||
            JxlEncoderAddBox(w.encoder, "Exif", box.data, static_cast<size_t>(box.length), JXL_FALSE) !=
                JXL_ENC_SUCCESS)
            return false;
        JxlEncoderCloseBoxes(w.encoder);
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(w.encoder, nullptr);
    if (!settings)
        return false;
    if (distance == 0.0f ? JxlEncoderSetFrameLossless(settings, JXL_TRUE) != JXL_ENC_SUCCESS
                         : JxlEncoderSetFrameDistance(settings, distance) != JXL_ENC_SUCCESS)
        return false;
    const JxlPixelFormat format{static_cast<uint32_t>(channels), JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    if (JxlEncoderAddImageFrame(settings, &format, rows.data, static_cast<size_t>(rows.length)) != JXL_ENC_SUCCESS)
        return false;
    JxlEncoderCloseInput(w.encoder);
    const int32_t start = out.length;
    size_t room = 1 << 16;
    for (;;) {
        const int32_t used = out.length - start;
        if (room > static_cast<size_t>(INT32_MAX - out.length) || !out.SetLength(out.length + static_cast<int32_t>(room)))
            return false;
        uint8_t* next = out.data + start + used;
        size_t avail = room;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(w.encoder, &next, &avail);
        out.length = static_cast<int32_t>(next - out.data);
        if (status == JXL_ENC_SUCCESS)
            return true;
        if (status != JXL_ENC_NEED_MORE_OUTPUT)
            return false;
        room *= 2;
    }
}
