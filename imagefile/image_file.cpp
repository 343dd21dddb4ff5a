#include "imagefile/image_file.h"

#include "imagefile/codecs.h"
#include "imagefile/colour_profile.h"
#include "imagefile/exif.h"
#include "imagefile/orientation.h"
#include "core/output_naming.h"
#include "platform/files.h"

#include <cstring>
#include <memory>
#include <new>

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
#if VISTREL_PHOTO_FORMATS
    {"WEBP", ImageFileWebp}, {"HEIC", ImageFileHeif}, {"HEIF", ImageFileHeif}, {"AVIF", ImageFileAvif},
    {"JXL", ImageFileJxl},
    // The camera RAW files LibRaw develops, by their makers' extensions.
    {"DNG", ImageFileRaw}, {"CR2", ImageFileRaw}, {"CR3", ImageFileRaw}, {"NEF", ImageFileRaw},
    {"ARW", ImageFileRaw}, {"RAF", ImageFileRaw}, {"ORF", ImageFileRaw}, {"RW2", ImageFileRaw},
    {"PEF", ImageFileRaw}, {"SRW", ImageFileRaw},
#endif
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
#if VISTREL_PHOTO_FORMATS
    case ImageFileWebp: return decodeWebp(bytes, size, image);
    case ImageFileHeif:
    case ImageFileAvif: return decodeHeif(bytes, size, image);
    case ImageFileJxl: return decodeJxl(bytes, size, image);
    case ImageFileRaw: return decodeRaw(bytes, size, image);
#endif
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
#if VISTREL_PHOTO_FORMATS
    case ImageFileWebp: return encodeWebp(image, out);
    case ImageFileAvif: return encodeAvif(image, out);
    case ImageFileJxl: return encodeJxl(image, out);
#endif
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

// --- Operations ---

const char* typeName(ImageFileType type) {
    static const char* const names[] = {"BMP", "GIF",     "ICO",  "TGA",  "PCX",  "WBMP",     "WMF", "JPEG",
                                        "PNG", "TIFF", "unknown", "WebP", "HEIF", "AVIF", "JPEG XL", "RAW"};
    return type >= 0 && type <= ImageFileRaw ? names[type] : "unknown";
}

ImageFileType typeFromSignature(const uint8_t* bytes, size_t size) {
    auto starts = [&](size_t at, const char* text, size_t length) {
        return size >= at + length && std::memcmp(bytes + at, text, length) == 0;
    };
    if (starts(0, "\xFF\xD8\xFF", 3))
        return ImageFileJpeg;
    if (starts(0, "\x89PNG\r\n\x1A\n", 8))
        return ImageFilePng;
    if (starts(0, "GIF87a", 6) || starts(0, "GIF89a", 6))
        return ImageFileGif;
    if (starts(0, "BM", 2) && size >= 26)
        return ImageFileBmp;
    if (starts(0, "II*\0", 4) || starts(0, "MM\0*", 4))
        return ImageFileTiff;
#if VISTREL_PHOTO_FORMATS
    if (starts(0, "RIFF", 4) && starts(8, "WEBP", 4))
        return ImageFileWebp;
    if (starts(0, "\xFF\x0A", 2) || starts(0, "\0\0\0\x0CJXL \r\n\x87\n", 12))
        return ImageFileJxl;
    // An ISO box file whose first box is "ftyp" with a still-image brand.
    if (starts(4, "ftyp", 4)) {
        if (starts(8, "avif", 4) || starts(8, "avis", 4))
            return ImageFileAvif;
        for (const char* brand : {"heic", "heix", "heim", "heis", "mif1", "msf1"})
            if (starts(8, brand, 4))
                return ImageFileHeif;
    }
#endif
    return ImageFileUnknown;
}

String resultPathFor(const String& input, const String& prepend, const String& append, bool* changed) {
    String path = BatchOutputPath(input, prepend, append, changed);
    const ImageFileType type = typeFromExtension(path);
    if (type != ImageFileRaw && type != ImageFileHeif)
        return path;
    int32_t dot = path.length - 1;
    while (path.data[dot] != '.')
        --dot;
    path.length = dot;
    path.Append(type == ImageFileRaw ? ".png" : ".jpg");
    if (changed)
        *changed = true;
    return path;
}

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

ImageFileType load(Bitmap& bitmap, const String& path, PhotoMetadata* metadata, LoadDetails* details) {
    bitmap.clear();
    if (details)
        *details = LoadDetails();
    ImageFileType type = typeFromExtension(path);
    if (type == ImageFileUnknown)
        return type;
    ByteArray bytes;
    if (!ReadWholeFile(path, bytes, details ? &details->readFailure : nullptr))
        return type;
    LoadDetails found;
    decode(bitmap, bytes.data, static_cast<size_t>(bytes.length), type, metadata, details ? details : &found);
    return bitmap.isEmpty() ? type : (details ? details : &found)->type;
}

int32_t jpegFileQuality(const String& path) {
    ByteArray bytes;
    if (!ReadWholeFile(path, bytes) || bytes.length == 0)
        return 0;
    return jpegQuality(bytes.data, static_cast<size_t>(bytes.length));
}

namespace {

// Fills the record from a decoded (and already upright) picture; false when
// memory runs out.
bool keepMetadata(const DecodedImage& image, ImageFileType type, int32_t orientation, const Bitmap& bitmap,
                  PhotoMetadata& metadata) {
    metadata.orientation = orientation;
    metadata.size = bitmap.size();
    if (!appendBytes(metadata.exif, image.exif.data, static_cast<size_t>(image.exif.length)))
        return false;
    metadata.lossless = !image.lossy;
    // The block must now say the picture is upright (and the thumbnail,
    // stored the old way round, goes); one that cannot be edited safely is
    // dropped. A library that turned the pixels itself may leave the block
    // saying otherwise than the container did.
    const bool turned =
        orientation != 1 || exifOrientation(image.exif.data, static_cast<size_t>(image.exif.length)) != 1;
    if (turned && metadata.exif.length > 0 && !rewriteExif(metadata.exif, bitmap.width, bitmap.height))
        metadata.exif = ByteArray();
    if (profileSpace(image.icc.data, static_cast<size_t>(image.icc.length)) == ProfileSpace::Rgb &&
        !appendBytes(metadata.icc, image.icc.data, static_cast<size_t>(image.icc.length)))
        return false;
    if (type == ImageFileJpeg) {
        metadata.jpegSource = true;
        metadata.dpiX = image.dpiX;
        metadata.dpiY = image.dpiY;
        metadata.greyscale = image.indexed();
    }
    return true;
}

void decodeUnguarded(Bitmap& bitmap, const uint8_t* bytes, size_t size, ImageFileType type, PhotoMetadata* metadata,
                     LoadDetails* details) {
    std::unique_ptr<DecodedImage> image(new DecodedImage);
    if (!decodeImage(bytes, size, type, *image)) {
        // A file named for one type that holds another (pictures saved from
        // the web often are) is read as what it holds.
        const ImageFileType held = typeFromSignature(bytes, size);
        const bool sameDecoder = held == type || (held == ImageFileAvif && type == ImageFileHeif) ||
                                 (held == ImageFileHeif && type == ImageFileAvif);
        if (held == ImageFileUnknown || sameDecoder)
            return;
        image.reset(new DecodedImage);
        if (!decodeImage(bytes, size, held, *image))
            return;
        type = held;
    }
    if (image->width < 1 || image->height < 1 || image->width > 65535 || image->height > 65535)
        return;
    const int32_t orientation =
        image->orientation > 0 ? image->orientation
                               : exifOrientation(image->exif.data, static_cast<size_t>(image->exif.length));
    if (!toBitmap(*image, bitmap) || !orientUpright(bitmap, image->orientationApplied ? 1 : orientation)) {
        bitmap.clear();
        return;
    }
    if (details) {
        details->type = type;
        details->bitsPerSample = image->sourceBitsPerSample;
        details->moreImages = image->sourceImages > 1;
    }
    if (metadata && !keepMetadata(*image, type, orientation, bitmap, *metadata)) {
        bitmap.clear();
        metadata->release();
    }
}

}  // namespace

void decode(Bitmap& bitmap, const uint8_t* bytes, size_t size, ImageFileType type, PhotoMetadata* metadata,
            LoadDetails* details) {
    bitmap.clear();
    if (metadata)
        metadata->release();
    if (!bytes || size == 0)
        return;
    // Memory running out is a failed read, also where a library or a container reports it by throwing.
    try {
        decodeUnguarded(bitmap, bytes, size, type, metadata, details);
    } catch (const std::bad_alloc&) {
        bitmap.clear();
        if (metadata)
            metadata->release();
    }
}

bool typeHoldsProfile(ImageFileType type) {
    return type == ImageFileJpeg || type == ImageFilePng || type == ImageFileTiff || type == ImageFileWebp ||
           type == ImageFileAvif || type == ImageFileJxl;
}

namespace {

bool encodeUnguarded(const Bitmap& bitmap, ImageFileType type, int32_t quality, const PhotoMetadata* metadata,
                     ByteArray& out) {
    DecodedImage image;
    image.jpegQuality = quality;
    image.lossy = !(metadata && metadata->lossless);
    const Bitmap* pixels = &bitmap;
    Bitmap converted;
    if (metadata) {
        const bool sameSize = metadata->size.width == bitmap.width && metadata->size.height == bitmap.height;
        // A JPEG saved at its own size keeps its resolution and stays
        // greyscale when it was.
        if (type == ImageFileJpeg && metadata->jpegSource && sameSize) {
            image.dpiX = metadata->dpiX;
            image.dpiY = metadata->dpiY;
            if (metadata->greyscale) {
                image.bitsPerPixel = 8;
                image.setGreyPalette(256);
            }
        }
        const bool holdsExif = type == ImageFileJpeg || type == ImageFilePng || type == ImageFileWebp ||
                               type == ImageFileAvif || type == ImageFileJxl;
        if (holdsExif && metadata->exif.length > 0) {
            if (!appendBytes(image.exif, metadata->exif.data, static_cast<size_t>(metadata->exif.length)))
                return false;
            if (!sameSize && !rewriteExif(image.exif, bitmap.width, bitmap.height))
                image.exif = ByteArray();
        }
        if (metadata->icc.length > 0) {
            if (typeHoldsProfile(type)) {
                if (!appendBytes(image.icc, metadata->icc.data, static_cast<size_t>(metadata->icc.length)))
                    return false;
            } else if (const RgbToSrgb toSrgb(metadata->icc); toSrgb.valid()) {
                // One LittleCMS can make nothing of leaves the pixels as they were shown.
                if (!converted.copyFrom(bitmap))
                    return false;  // memory ran out
                toSrgb.convert(converted);
                pixels = &converted;
            }
        }
    }
    return fromBitmap(*pixels, image) && encodeByType(image, type, out);
}

}  // namespace

bool encode(const Bitmap& bitmap, ImageFileType type, int32_t quality, const PhotoMetadata* metadata,
            ByteArray& out) {
    out.Empty();
    if (bitmap.width < 1 || bitmap.height < 1 || !bitmap.data)
        return false;
    bool ok = false;
    try {
        ok = encodeUnguarded(bitmap, type, quality, metadata, out);
    } catch (const std::bad_alloc&) {
    }
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
    case ImageFileWebp:
        if (width > 16383 || height > 16383)
            return "a WebP picture is at most 16383 x 16383 pixels";
        return String();
    case ImageFileHeif:
        return "this program does not write HEIC or HEIF files";
    case ImageFileRaw:
        return "this program does not write camera RAW files";
    case ImageFileIco:
        if (width > 255 || height > 255)
            return "an icon is at most 255 x 255 pixels";
        return String();
    case ImageFileJpeg:
    case ImageFileTiff:  // written in JPEG strips
        if (width > 65500 || height > 65500)
            return "a JPEG or TIFF picture is at most 65500 x 65500 pixels";
        return String();
    case ImageFileGif:
    case ImageFileTga:
    case ImageFilePcx:
        // Their headers keep each side in 16 bits.
        if (width > 65535 || height > 65535)
            return "a GIF, TGA or PCX picture is at most 65535 x 65535 pixels";
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
        const bool animation = source == ImageFileGif || source == ImageFileWebp || source == ImageFileJxl;
        const char* what = source == ImageFileTiff ? "its other pages"
                           : animation             ? "its other animation frames"
                                                   : "its other images";
        loss.Append(loss.length > 0 ? " and " : "");
        loss.Append(what);
    }
    return loss;
}

bool save(const Bitmap& bitmap, const String& path, int32_t quality, const PhotoMetadata* metadata, bool replace,
          FileFailure* failure) {
    ImageFileType type = typeFromExtension(path);
    ByteArray bytes;
    if (type == ImageFileUnknown || !encode(bitmap, type, quality, metadata, bytes)) {
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
