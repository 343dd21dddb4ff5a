#include "imagefile/image_file.h"

#include "imagefile/codecs.h"
#include "platform/files.h"

#include <memory>

namespace {

struct ExtensionName {
    const char* name;
    ImageFileType type;
};

// Tried in this order; the first match wins.
const ExtensionName extensionNames[] = {
    {"BMP", ImageFileBmp}, {"GIF", ImageFileGif},   {"ICO", ImageFileIco},  {"TGA", ImageFileTga},
    {"PCX", ImageFilePcx}, {"WBMP", ImageFileWbmp}, {"WMF", ImageFileWmf},  {"JPG", ImageFileJpeg},
    {"JPEG", ImageFileJpeg}, {"PNG", ImageFilePng}, {"TIF", ImageFileTiff}, {"TIFF", ImageFileTiff},
};

}  // namespace

bool decodeImage(const uint8_t* bytes, size_t size, ImageFileType type, DecodedImage& image) {
    switch (type) {
    case ImageFileBmp: return decodeBmp(bytes, size, image);
    case ImageFileGif: return decodeGif(bytes, size, image);
    case ImageFileIco: return decodeIco(bytes, size, image);
    case ImageFileTga: return decodeTga(bytes, size, image);
    case ImageFilePcx: return decodePcx(bytes, size, image);
    case ImageFileWbmp: return decodeWbmp(bytes, size, image);
    case ImageFileJpeg: return decodeJpeg(bytes, size, image);
    case ImageFilePng: return decodePng(bytes, size, image);
    case ImageFileTiff: return decodeTiff(bytes, size, image);
    default: return image.fail("no decoder for this type");
    }
}

namespace {

bool encodeByType(const DecodedImage& image, ImageFileType type, ByteArray& out) {
    switch (type) {
    case ImageFileBmp: return encodeBmp(image, out);
    case ImageFileGif: return encodeGif(image, out);
    case ImageFileIco: return encodeIco(image, out);
    case ImageFileTga: return encodeTga(image, out);
    case ImageFilePcx: return encodePcx(image, out);
    case ImageFileWbmp: return encodeWbmp(image, out);
    case ImageFileJpeg: return encodeJpeg(image, out);
    case ImageFilePng: return encodePng(image, out);
    case ImageFileTiff: return encodeTiff(image, out);
    default: return false;
    }
}

bool toBitmap(const DecodedImage& image, Bitmap& bitmap) {
    if (!bitmap.resize(image.width, image.height))
        return false;
    for (int32_t y = 0; y < image.height; ++y) {
        int32_t stored = image.height - 1 - y;
        const uint8_t* source = image.row(stored);
        const uint8_t* alpha = image.hasAlpha() ? image.alphaRow(stored) : nullptr;
        uint32_t* target = bitmap.elementAt(0, y);
        for (int32_t x = 0; x < image.width; ++x) {
            uint32_t a = alpha ? alpha[x] : 255;
            if (image.indexed()) {
                target[x] = (a << 24) | image.palette[source[x]];
            } else {
                const uint8_t* p = source + 3 * x;
                target[x] = packPixel(p[2], p[1], p[0], a);
            }
        }
    }
    return true;
}

bool isGreyRamp(const DecodedImage& image) {
    if (image.paletteSize != 256)
        return false;
    for (uint32_t i = 0; i < 256; ++i)
        if (image.palette[i] != ((i << 16) | (i << 8) | i))
            return false;
    return true;
}

uint8_t nearestPaletteIndex(const DecodedImage& image, bool greyRamp, uint32_t pixel) {
    int32_t r = static_cast<int32_t>(pixelRed(pixel));
    int32_t g = static_cast<int32_t>(pixelGreen(pixel));
    int32_t b = static_cast<int32_t>(pixelBlue(pixel));
    if (greyRamp)  // the grey level closest in squared distance is the rounded mean
        return static_cast<uint8_t>((r + g + b + 1) / 3);
    int32_t best = 0;
    int64_t bestDistance = INT64_MAX;
    for (int32_t i = 0; i < image.paletteSize; ++i) {
        uint32_t entry = image.palette[i];
        int32_t dr = r - static_cast<int32_t>(pixelRed(entry));
        int32_t dg = g - static_cast<int32_t>(pixelGreen(entry));
        int32_t db = b - static_cast<int32_t>(pixelBlue(entry));
        int64_t distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

bool fromBitmap(const Bitmap& bitmap, DecodedImage& image) {
    bool withAlpha = false;
    size_t count = bitmap.pixelCount();
    for (size_t i = 0; i < count && !withAlpha; ++i)
        withAlpha = pixelAlpha(bitmap.data[i]) < 255;
    int32_t bits = image.indexed() && image.paletteSize > 0 ? 8 : 24;
    if (!image.allocate(bitmap.width, bitmap.height, bits, withAlpha))
        return false;
    bool greyRamp = bits == 8 && isGreyRamp(image);
    for (int32_t y = 0; y < image.height; ++y) {
        const uint32_t* source = bitmap.elementAt(0, y);
        uint8_t* target = image.rowFromTop(y);
        uint8_t* alpha = withAlpha ? image.alphaRowFromTop(y) : nullptr;
        for (int32_t x = 0; x < image.width; ++x) {
            uint32_t p = source[x];
            if (bits == 8) {
                target[x] = nearestPaletteIndex(image, greyRamp, p);
            } else {
                target[3 * x] = static_cast<uint8_t>(pixelBlue(p));
                target[3 * x + 1] = static_cast<uint8_t>(pixelGreen(p));
                target[3 * x + 2] = static_cast<uint8_t>(pixelRed(p));
            }
            if (alpha)
                alpha[x] = static_cast<uint8_t>(pixelAlpha(p));
        }
    }
    return true;
}

}  // namespace

// --- ExifCarrier ---

ExifCarrier::~ExifCarrier() { release(); }

void ExifCarrier::release() {
    delete image_;
    image_ = nullptr;
}

Size ExifCarrier::imageSize() const { return image_ ? Size{image_->width, image_->height} : Size{}; }

const ByteArray* ExifCarrier::exifBlock() const { return image_ ? &image_->exif : nullptr; }

void ExifCarrier::adopt(DecodedImage* image) {
    if (image == image_)
        return;
    release();
    image_ = image;
}

// --- Operations ---

ImageFileType typeFromExtension(const String& path) {
    int32_t dot = -1;
    for (int32_t i = path.length - 1; i >= 0; --i) {
        if (path.data[i] == '.') {
            dot = i;
            break;
        }
    }
    if (dot < 0 || dot == path.length - 1)
        return ImageFileUnknown;
    String extension(path.chars() + dot + 1, path.length - dot - 1);
    for (const ExtensionName& entry : extensionNames)
        if (extension.Compare(String(entry.name), false) == 0)
            return entry.type;
    return ImageFileUnknown;
}

ImageFileType load(Bitmap& bitmap, const String& path, ExifCarrier* carrier, LoadDetails* details) {
    bitmap.clear();
    if (details)
        *details = LoadDetails();
    ImageFileType type = typeFromExtension(path);
    if (type == ImageFileUnknown)
        return type;
    ByteArray bytes;
    if (!ReadWholeFile(path, bytes, details ? &details->readFailure : nullptr))
        return type;
    decode(bitmap, bytes.data, static_cast<size_t>(bytes.length), type, carrier, details);
    return type;
}

int32_t jpegFileQuality(const String& path) {
    ByteArray bytes;
    if (!ReadWholeFile(path, bytes) || bytes.length == 0)
        return 0;
    return jpegQuality(bytes.data, static_cast<size_t>(bytes.length));
}

void decode(Bitmap& bitmap, const uint8_t* bytes, size_t size, ImageFileType type, ExifCarrier* carrier,
            LoadDetails* details) {
    bitmap.clear();
    if (carrier)
        carrier->release();
    if (!bytes || size == 0)
        return;
    std::unique_ptr<DecodedImage> image(new DecodedImage);
    if (!decodeImage(bytes, size, type, *image))
        return;
    if (image->width < 1 || image->height < 1 || image->width > 65535 || image->height > 65535)
        return;
    if (!toBitmap(*image, bitmap)) {
        bitmap.clear();
        return;
    }
    if (details) {
        details->bitsPerSample = image->sourceBitsPerSample;
        details->moreImages = image->sourceImages > 1;
    }
    if (type == ImageFileJpeg && carrier && image->exif.length > 0) {
        // Only the header, palette, resolution and EXIF block are needed
        // again: an encode that reuses the image overwrites every pixel.
        image->releasePixels();
        carrier->adopt(image.release());
    }
}

bool encode(const Bitmap& bitmap, ImageFileType type, int32_t quality, ExifCarrier* carrier, ByteArray& out) {
    out.Empty();
    if (bitmap.width < 1 || bitmap.height < 1 || !bitmap.data)
        return false;
    std::unique_ptr<DecodedImage> fresh;
    DecodedImage* image = nullptr;
    if (type == ImageFileJpeg && carrier && carrier->image() && carrier->image()->width == bitmap.width &&
        carrier->image()->height == bitmap.height) {
        image = carrier->image();
    } else {
        fresh.reset(new DecodedImage);
        image = fresh.get();
    }
    if (type == ImageFileJpeg)
        image->jpegQuality = quality;
    bool ok = fromBitmap(bitmap, *image) && encodeByType(*image, type, out);
    if (!fresh)
        image->releasePixels();
    if (!ok)
        out.Empty();
    return ok;
}

String encodeRefusal(ImageFileType type, int32_t width, int32_t height) {
    switch (type) {
    case ImageFileWbmp:
        return "WBMP files hold black and white only, which this program does not write";
    case ImageFileWmf:
        return "this program does not write WMF files";
    case ImageFileIco:
        if (width > 255 || height > 255)
            return "an icon is at most 255 x 255 pixels";
        return String();
    case ImageFileUnknown:
        return "unknown image format";
    default:
        return String();
    }
}

String describeLoss(const LoadDetails& details, ImageFileType source, ImageFileType target) {
    (void)target;  // every writer keeps 8 bits per channel and one picture
    String loss;
    if (details.bitsPerSample > 8)
        FormatInto(loss, "%d bits per channel (the result keeps 8)", details.bitsPerSample);
    if (details.moreImages) {
        const char* what = source == ImageFileTiff  ? "its other pages"
                           : source == ImageFileGif ? "its other animation frames"
                                                    : "its other images";
        loss.Append(loss.length > 0 ? " and " : "");
        loss.Append(what);
    }
    return loss;
}

bool save(const Bitmap& bitmap, const String& path, int32_t quality, ExifCarrier* carrier, bool replace,
          FileFailure* failure) {
    ImageFileType type = typeFromExtension(path);
    ByteArray bytes;
    if (type == ImageFileUnknown || !encode(bitmap, type, quality, carrier, bytes)) {
        if (failure) {
            failure->kind = FileFailure::Kind::Other;
            failure->reason = encodeRefusal(type, bitmap.width, bitmap.height);
            if (failure->reason.length == 0)
                failure->reason = "the picture could not be encoded";
        }
        return false;
    }
    return WriteWholeFile(path, bytes.data, bytes.length, replace, failure);
}

namespace {

void appendReason(String& message, const FileFailure* failure) {
    if (failure && failure->kind != FileFailure::Kind::None && failure->reason.length > 0)
        FormatInto(message, "%s (%s)", CStr(String(message)), CStr(failure->reason));
}

}  // namespace

String loadFailureMessage(const String& path, ImageFileType type, const FileFailure* failure) {
    String message;
    if (ProbeFile(path) == FileKind::Missing) {
        FormatInto(message, "Couldn't find file %s", CStr(path));
    } else if (type == ImageFileUnknown) {
        FormatInto(message, "Unknown image format: %s", CStr(path));
    } else {
        FormatInto(message, "Error reading %s", CStr(path));
        appendReason(message, failure);
    }
    return message;
}

String saveFailureMessage(const String& path, ImageFileType type, const FileFailure* failure) {
    String message;
    if (type == ImageFileUnknown) {
        FormatInto(message, "Unknown image format: %s", CStr(path));
    } else if (!failure || failure->kind == FileFailure::Kind::None || failure->kind == FileFailure::Kind::Denied) {
        // The program's own advice fits only a refusal to write.
        FormatInto(message, "Unable to save %s - check file isn't read-only", CStr(path));
        appendReason(message, failure);
    } else {
        FormatInto(message, "Unable to save %s", CStr(path));
        appendReason(message, failure);
    }
    return message;
}
