#include "imagefile/codecs.h"
#include "imagefile/exif.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cstring>

// WebP through libwebp. Reading goes through the animation decoder for
// every file, so a still picture and the first frame of an animation come
// out the same way (non-premultiplied RGBA on the canvas); the profile and
// EXIF block are the container's ICCP and EXIF chunks.

namespace {

struct Demuxed {
    WebPDemuxer* demux = nullptr;
    WebPAnimDecoder* decoder = nullptr;
    ~Demuxed() {
        WebPAnimDecoderDelete(decoder);
        WebPDemuxDelete(demux);
    }
};

bool copyChunk(WebPDemuxer* demux, const char* fourcc, ByteArray& out) {
    WebPChunkIterator chunk;
    if (!WebPDemuxGetChunk(demux, fourcc, 1, &chunk))
        return true;
    const bool ok = appendBytes(out, chunk.chunk.bytes, chunk.chunk.size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return ok;
}

}  // namespace

bool decodeWebp(const uint8_t* bytes, size_t size, DecodedImage& image) {
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(bytes, size, &features) != VP8_STATUS_OK)
        return image.fail("not a WebP stream");
    const WebPData data{bytes, size};
    Demuxed d;
    d.demux = WebPDemux(&data);
    if (!d.demux)
        return image.fail("corrupt WebP container");
    const uint32_t width = WebPDemuxGetI(d.demux, WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(d.demux, WEBP_FF_CANVAS_HEIGHT);
    // The canvas is allocated by the decoder, so its size is checked first.
    const uint64_t pixels = static_cast<uint64_t>(width) * height;
    if (width < 1 || height < 1 || pixels > decodePixelLimit())
        return image.fail("image too large");
    image.sourceImages = WebPDemuxGetI(d.demux, WEBP_FF_FRAME_COUNT) > 1 ? 2 : 1;
    image.lossy = features.format != 2;  // 2: lossless; 1 lossy; 0 mixed (animations)
    const uint32_t flags = WebPDemuxGetI(d.demux, WEBP_FF_FORMAT_FLAGS);
    if (((flags & ICCP_FLAG) && !copyChunk(d.demux, "ICCP", image.icc)) ||
        ((flags & EXIF_FLAG) && !copyChunk(d.demux, "EXIF", image.exif)))
        return image.fail("out of memory");
    if (image.exif.length > 0) {
        ByteArray block;
        if (!exifFromContainer(image.exif.data, static_cast<size_t>(image.exif.length), 0, block))
            return image.fail("out of memory");
        image.exif.Empty();
        if (!appendBytes(image.exif, block.data, static_cast<size_t>(block.length)))
            return image.fail("out of memory");
    }

    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return image.fail("libwebp version mismatch");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    d.decoder = WebPAnimDecoderNew(&data, &options);
    uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!d.decoder || !WebPAnimDecoderGetNext(d.decoder, &canvas, &timestamp))
        return image.fail("corrupt WebP");
    const bool withAlpha = (flags & ALPHA_FLAG) != 0 || features.has_alpha;
    return fillFromInterleaved(image, canvas, static_cast<int32_t>(width), static_cast<int32_t>(height),
                               static_cast<size_t>(width) * 4, 4, withAlpha);
}

namespace {

struct Encoded {
    WebPPicture picture;
    WebPMemoryWriter writer;
    bool pictureReady = false;
    Encoded() { WebPMemoryWriterInit(&writer); }
    ~Encoded() {
        if (pictureReady)
            WebPPictureFree(&picture);
        WebPMemoryWriterClear(&writer);
    }
};

// Wraps the bare stream in a container with the profile and EXIF block
// (the TIFF structure, without the "Exif\0\0" the layer keeps).
bool addMetadata(const DecodedImage& image, const WebPMemoryWriter& stream, ByteArray& out) {
    WebPMux* mux = WebPMuxNew();
    if (!mux)
        return false;
    const WebPData bare{stream.mem, stream.size};
    bool ok = WebPMuxSetImage(mux, &bare, 1) == WEBP_MUX_OK;
    if (ok && image.icc.length > 0) {
        const WebPData icc{image.icc.data, static_cast<size_t>(image.icc.length)};
        ok = WebPMuxSetChunk(mux, "ICCP", &icc, 1) == WEBP_MUX_OK;
    }
    if (ok && image.exif.length > 6) {
        const WebPData exif{image.exif.data + 6, static_cast<size_t>(image.exif.length - 6)};
        ok = WebPMuxSetChunk(mux, "EXIF", &exif, 1) == WEBP_MUX_OK;
    }
    WebPData assembled{nullptr, 0};
    ok = ok && WebPMuxAssemble(mux, &assembled) == WEBP_MUX_OK && appendBytes(out, assembled.bytes, assembled.size);
    WebPDataClear(&assembled);
    WebPMuxDelete(mux);
    return ok;
}

}  // namespace

bool encodeWebp(const DecodedImage& image, ByteArray& out) {
    if (image.width > WEBP_MAX_DIMENSION || image.height > WEBP_MAX_DIMENSION)
        return false;
    WebPConfig config;
    if (!WebPConfigInit(&config))
        return false;
    if (image.lossy) {
        config.quality = static_cast<float>(image.jpegQuality);
    } else {
        config.lossless = 1;
        config.exact = 1;  // keep the colour under transparent pixels too
    }
    ByteArray rows;
    int32_t channels = 3;
    if (!interleavedRows(image, rows, channels))
        return false;
    Encoded e;
    if (!WebPPictureInit(&e.picture))
        return false;
    e.pictureReady = true;
    e.picture.use_argb = config.lossless;
    e.picture.width = image.width;
    e.picture.height = image.height;
    e.picture.writer = WebPMemoryWrite;
    e.picture.custom_ptr = &e.writer;
    const int stride = image.width * channels;
    const bool imported = channels == 4 ? WebPPictureImportRGBA(&e.picture, rows.data, stride)
                                        : WebPPictureImportRGB(&e.picture, rows.data, stride);
    if (!imported || !WebPEncode(&config, &e.picture))
        return false;
    if (image.icc.length == 0 && image.exif.length <= 6)
        return appendBytes(out, e.writer.mem, e.writer.size);
    return addMetadata(image, e.writer, out);
}
