#include "imagefile/codecs.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// libtiff reads and writes through these callbacks, so the files never
// touch the disk here.
struct MemoryFile {
    const uint8_t* input = nullptr;  // reading
    ByteArray* output = nullptr;     // writing
    size_t size = 0;
    size_t position = 0;
    bool failed = false;
};

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t count) {
    auto* f = static_cast<MemoryFile*>(handle);
    if (count < 0 || !f->input)
        return -1;
    size_t n = static_cast<size_t>(count);
    if (f->position >= f->size)
        return 0;
    if (n > f->size - f->position)
        n = f->size - f->position;
    std::memcpy(buffer, f->input + f->position, n);
    f->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t writeProc(thandle_t handle, void* buffer, tmsize_t count) {
    auto* f = static_cast<MemoryFile*>(handle);
    if (count < 0 || !f->output)
        return -1;
    size_t n = static_cast<size_t>(count);
    size_t end = f->position + n;
    if (end > 0x3FFFFFFF) {
        f->failed = true;
        return -1;
    }
    size_t length = static_cast<size_t>(f->output->length);
    if (end > length) {
        if (!f->output->SetLength(static_cast<int32_t>(end))) {
            f->failed = true;
            return -1;
        }
        if (f->position > length)  // a seek past the end leaves a hole of zeros
            std::memset(f->output->data + length, 0, f->position - length);
    }
    std::memcpy(f->output->data + f->position, buffer, n);
    f->position = end;
    return count;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(handle);
    size_t size = f->output ? static_cast<size_t>(f->output->length) : f->size;
    uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->position : size;
    uint64_t target = base + offset;
    if (target > 0x3FFFFFFF)
        return static_cast<toff_t>(-1);
    f->position = static_cast<size_t>(target);
    return target;
}

int closeProc(thandle_t) { return 0; }

toff_t sizeProc(thandle_t handle) {
    auto* f = static_cast<MemoryFile*>(handle);
    return f->output ? static_cast<toff_t>(f->output->length) : f->size;
}

// Reading maps the caller's bytes directly; libtiff never writes through
// a read-only mapping.
int mapProc(thandle_t handle, void** base, toff_t* size) {
    auto* f = static_cast<MemoryFile*>(handle);
    if (!f->input)
        return 0;
    *base = const_cast<uint8_t*>(f->input);
    *size = f->size;
    return 1;
}
void unmapProc(thandle_t, void*, toff_t) {}

int quietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFF* openMemory(MemoryFile& file, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, quietHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quietHandler, nullptr);
    // No single buffer inside libtiff may exceed what the pixel limit
    // allows for a whole RGBA picture.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(decodePixelLimit() * 4));
    TIFF* tiff = TIFFClientOpenExt("memory", mode, &file, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc,
                                   unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

// CMYK: libtiff's RGBA reader fails on depths other than 8 and drops the
// alpha at 8; at 8 bits without alpha the two give the same pixels. Grey
// with an extra sample: the RGBA reader hands contiguous grey over as
// stored, so colours under unassociated alpha would be divided as if
// premultiplied; our reader knows which kind it has.
bool needsOwnReader(TIFF* tiff) {
    uint16_t photometric = 0, extraCount = 0;
    uint16_t* extraTypes = nullptr;
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    return photometric == PHOTOMETRIC_SEPARATED || (grey && extraCount > 0);
}

// Bits [index * bits, (index + 1) * bits) of a row, most significant first.
inline uint32_t sampleAt(const uint8_t* row, size_t index, uint32_t bits) {
    if (bits == 8)
        return row[index];
    size_t bit = index * bits;
    uint32_t value = 0;
    for (uint32_t i = 0; i < bits; ++i, ++bit)
        value = (value << 1) | ((row[bit / 8] >> (7 - bit % 8)) & 1);
    return value;
}

// Unpacks count samples of a decoded row into 8-bit samples, first undoing
// horizontal differencing when libtiff could not (odd depths).
void unpackRow(const uint8_t* row, size_t count, uint32_t bits, uint32_t stride, bool undoPredictor, uint32_t* line,
               uint8_t* out) {
    uint32_t max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    for (size_t i = 0; i < count; ++i) {
        uint32_t v;
        if (bits == 16)  // libtiff has already put these in host order
            v = reinterpret_cast<const uint16_t*>(row)[i];
        else
            v = sampleAt(row, i, bits);
        if (undoPredictor && i >= stride)
            v = (v + line[i - stride]) & max;
        line[i] = v;
        out[i] = static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max);
    }
}

// What libtiff's RGBA reader cannot do: unsigned integer samples of any
// depth up to 16 bits, grey, RGB or CMYK, in strips or tiles, contiguous or
// planar, with or without horizontal differencing.
bool readSamples(TIFF* tiff, uint32_t width, uint32_t height, DecodedImage& image) {
    uint16_t bits = 0, samples = 0, photometric = 0, planar = 0, format = 0, inkSet = 0;
    uint16_t predictor = PREDICTOR_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetField(tiff, TIFFTAG_PREDICTOR, &predictor);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        return image.fail("no photometric interpretation");
    uint32_t colours = 0;
    if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE)
        colours = 1;
    else if (photometric == PHOTOMETRIC_RGB)
        colours = 3;
    else if (photometric == PHOTOMETRIC_SEPARATED && TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet) &&
             inkSet == INKSET_CMYK)
        colours = 4;
    if (colours == 0 || samples < colours || samples > 8 || bits < 1 || bits > 16 || format != SAMPLEFORMAT_UINT)
        return image.fail("unsupported TIFF samples");
    if (predictor != PREDICTOR_NONE && predictor != PREDICTOR_HORIZONTAL)
        return image.fail("unsupported predictor");
    bool undoPredictor = false;
    if (predictor == PREDICTOR_HORIZONTAL && bits != 8 && bits != 16) {
        // libtiff only undoes differencing at 8, 16 and 32 bits.
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_NONE);
        undoPredictor = true;
    }
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    bool withAlpha = samples > colours && extraCount > 0 && extraTypes &&
                     (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA);
    bool premultiplied = withAlpha && extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;

    bool separate = planar == PLANARCONFIG_SEPARATE;
    uint32_t planes = separate ? samples : 1;
    uint32_t perPixel = separate ? 1 : samples;
    size_t all = static_cast<size_t>(width) * height * samples;
    uint8_t* plane = static_cast<uint8_t*>(std::malloc(all));
    bool tiled = TIFFIsTiled(tiff);
    tmsize_t chunkSize = tiled ? TIFFTileSize(tiff) : TIFFScanlineSize(tiff);
    uint32_t tileWidth = width, tileHeight = 1;
    if (tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    }
    size_t rowSamples = static_cast<size_t>(tileWidth) * perPixel;
    size_t rowBytes = (rowSamples * bits + 7) / 8;
    uint8_t* chunk = chunkSize > 0 ? static_cast<uint8_t*>(std::malloc(static_cast<size_t>(chunkSize))) : nullptr;
    uint32_t* line = static_cast<uint32_t*>(std::malloc(rowSamples * sizeof(uint32_t) + 4));
    uint8_t* unpacked = static_cast<uint8_t*>(std::malloc(rowSamples + 1));
    bool ok = plane && chunk && line && unpacked && tileWidth > 0 && tileHeight > 0 &&
              rowBytes * tileHeight <= static_cast<size_t>(chunkSize);
    if (!ok)
        image.fail("bad TIFF layout or out of memory");
    for (uint32_t p = 0; p < planes && ok; ++p) {
        for (uint32_t top = 0; top < height && ok; top += tileHeight) {
            for (uint32_t left = 0; left < width && ok; left += tileWidth) {
                if (tiled)
                    ok = TIFFReadTile(tiff, chunk, left, top, 0, static_cast<uint16_t>(p)) >= 0;
                else
                    ok = TIFFReadScanline(tiff, chunk, top, static_cast<uint16_t>(p)) == 1;
                if (!ok) {
                    image.fail("corrupt TIFF data");
                    break;
                }
                for (uint32_t y = 0; y < tileHeight && top + y < height; ++y) {
                    unpackRow(chunk + y * rowBytes, rowSamples, bits, perPixel, undoPredictor, line, unpacked);
                    uint32_t columns = width - left < tileWidth ? width - left : tileWidth;
                    for (uint32_t x = 0; x < columns; ++x) {
                        uint8_t* target = plane + (static_cast<size_t>(top + y) * width + left + x) * samples;
                        if (separate)
                            target[p] = unpacked[x];
                        else
                            std::memcpy(target, unpacked + static_cast<size_t>(x) * samples, samples);
                    }
                }
            }
        }
    }
    if (ok && image.allocate(static_cast<int32_t>(width), static_cast<int32_t>(height), 24, withAlpha)) {
        for (uint32_t y = 0; y < height; ++y) {
            uint8_t* target = image.rowFromTop(static_cast<int32_t>(y));
            uint8_t* alpha = withAlpha ? image.alphaRowFromTop(static_cast<int32_t>(y)) : nullptr;
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* s = plane + (static_cast<size_t>(y) * width + x) * samples;
                uint32_t r, g, b;
                if (colours == 1) {
                    r = g = b = photometric == PHOTOMETRIC_MINISWHITE ? 255 - s[0] : s[0];
                } else if (colours == 3) {
                    r = s[0], g = s[1], b = s[2];
                } else {
                    r = (255 - s[0]) * (255 - s[3]) / 255;
                    g = (255 - s[1]) * (255 - s[3]) / 255;
                    b = (255 - s[2]) * (255 - s[3]) / 255;
                }
                if (alpha) {
                    uint32_t a = s[colours];
                    alpha[x] = static_cast<uint8_t>(a);
                    if (premultiplied && a > 0 && a < 255) {
                        r = std::min<uint32_t>(255, (r * 255 + a / 2) / a);
                        g = std::min<uint32_t>(255, (g * 255 + a / 2) / a);
                        b = std::min<uint32_t>(255, (b * 255 + a / 2) / a);
                    }
                }
                target[3 * x] = static_cast<uint8_t>(b);
                target[3 * x + 1] = static_cast<uint8_t>(g);
                target[3 * x + 2] = static_cast<uint8_t>(r);
            }
        }
    } else {
        ok = false;
    }
    std::free(plane);
    std::free(chunk);
    std::free(line);
    std::free(unpacked);
    return ok;
}

}  // namespace

bool decodeTiff(const uint8_t* bytes, size_t size, DecodedImage& image) {
    MemoryFile file;
    file.input = bytes;
    file.size = size;
    TIFF* tiff = openMemory(file, "r");
    if (!tiff)
        return image.fail("not a TIFF file");
    uint32_t width = 0, height = 0;
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    char message[1024];
    bool ok = false;
    uint32_t* raster = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    uint16_t depth = 8;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &depth);
    image.sourceBitsPerSample = depth > 8 ? depth : 8;
    image.sourceImages = TIFFLastDirectory(tiff) ? 1 : 2;
    // The layer turns the picture upright itself, so libtiff is told the
    // rows are stored top-left and leaves them as stored.
    uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetField(tiff, TIFFTAG_ORIENTATION, &orientation);
    image.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    image.lossy = compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG;
    uint32_t profileSize = 0;
    void* profile = nullptr;
    const bool profileKept = !TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile) || !profile ||
                             profileSize > size || appendBytes(image.icc, profile, profileSize);
    // Fax coding of blank pages packs the most pixels into a byte, about
    // fourteen thousand.
    uint64_t pixels = static_cast<uint64_t>(width) * height;
    if (!profileKept) {
        image.fail("out of memory");
    } else if (width < 1 || height < 1 || width > 65535 || height > 65535) {
        image.fail("size out of range");
    } else if (pixels > decodePixelLimit() || !plausiblePixelCount(pixels, size, 65536)) {
        image.fail("image too large");
    } else if (!TIFFRGBAImageOK(tiff, message) || needsOwnReader(tiff)) {
        ok = readSamples(tiff, width, height, image);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
        bool withAlpha = extraCount > 0 && extraTypes &&
                         (extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || extraTypes[0] == EXTRASAMPLE_UNASSALPHA);
        raster = static_cast<uint32_t*>(std::malloc(static_cast<size_t>(pixels) * 4));
        if (!raster) {
            image.fail("out of memory");
        } else if (!TIFFReadRGBAImage(tiff, width, height, raster, 1)) {
            ok = readSamples(tiff, width, height, image);
        } else if (image.allocate(static_cast<int32_t>(width), static_cast<int32_t>(height), 24, withAlpha)) {
            // The raster's rows run bottom-up like ours. libtiff hands over
            // premultiplied colours, which are divided back out here.
            for (uint32_t y = 0; y < height; ++y) {
                const uint32_t* s = raster + static_cast<size_t>(y) * width;
                uint8_t* target = image.row(static_cast<int32_t>(y));
                uint8_t* alpha = withAlpha ? image.alphaRow(static_cast<int32_t>(y)) : nullptr;
                for (uint32_t x = 0; x < width; ++x) {
                    uint32_t p = s[x];
                    uint32_t r = TIFFGetR(p), g = TIFFGetG(p), b = TIFFGetB(p), a = TIFFGetA(p);
                    if (alpha) {
                        alpha[x] = static_cast<uint8_t>(a);
                        if (a > 0 && a < 255) {
                            r = (r * 255 + a / 2) / a;
                            g = (g * 255 + a / 2) / a;
                            b = (b * 255 + a / 2) / a;
                            r = r > 255 ? 255 : r, g = g > 255 ? 255 : g, b = b > 255 ? 255 : b;
                        }
                    }
                    target[3 * x] = static_cast<uint8_t>(b);
                    target[3 * x + 1] = static_cast<uint8_t>(g);
                    target[3 * x + 2] = static_cast<uint8_t>(r);
                }
            }
            ok = true;
        }
    }
    std::free(raster);
    TIFFClose(tiff);
    return ok;
}

bool encodeTiff(const DecodedImage& image, ByteArray& out) {
    MemoryFile file;
    file.output = &out;
    TIFF* tiff = openMemory(file, "w");
    if (!tiff)
        return false;
    bool withAlpha = image.hasAlpha();
    uint16_t samples = withAlpha ? 4 : 3;
    size_t rowBytes = static_cast<size_t>(image.width) * samples;
    // About 64 KB a strip, always a whole number of 8-row JPEG blocks.
    uint32_t rowsPerStrip = static_cast<uint32_t>((65536 / rowBytes + 7) / 8 * 8);
    if (rowsPerStrip < 8)
        rowsPerStrip = 8;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    if (withAlpha) {
        uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
    TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, image.jpegQuality);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(image.dpiX));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(image.dpiY));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (image.icc.length > 0)
        TIFFSetField(tiff, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(image.icc.length), image.icc.data);

    bool ok = true;
    uint8_t* row = static_cast<uint8_t*>(std::malloc(rowBytes));
    ok = row != nullptr;
    for (int32_t y = 0; y < image.height && ok; ++y) {
        int32_t stored = image.height - 1 - y;
        const uint8_t* source = image.row(stored);
        const uint8_t* alpha = withAlpha ? image.alphaRow(stored) : nullptr;
        for (int32_t x = 0; x < image.width; ++x) {
            uint8_t* p = row + static_cast<size_t>(x) * samples;
            if (image.indexed()) {
                uint32_t c = image.palette[source[x]];
                p[0] = static_cast<uint8_t>(c >> 16), p[1] = static_cast<uint8_t>(c >> 8), p[2] = static_cast<uint8_t>(c);
            } else {
                p[0] = source[3 * x + 2], p[1] = source[3 * x + 1], p[2] = source[3 * x];
            }
            if (alpha)
                p[3] = alpha[x];
        }
        ok = TIFFWriteScanline(tiff, row, static_cast<uint32_t>(y), 0) == 1;
    }
    std::free(row);
    ok = ok && TIFFWriteDirectory(tiff) == 1;
    TIFFClose(tiff);
    return ok && !file.failed;
}
