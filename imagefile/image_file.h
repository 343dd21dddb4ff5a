#pragma once

#include "core/bitmap.h"
#include "core/strings.h"
#include "imagefile/photo_metadata.h"
#include "platform/files.h"

#include <cstddef>
#include <cstdint>

// The one place where image files become Bitmaps and Bitmaps become files.
// The type comes from the file name's extension; only a file that fails to
// decode as that type and starts with another type's signature (a WebP or
// PNG saved as .jpg) is read as the type it holds. Every decoder checks its reads against the bytes it was given and
// its sizes before allocating, so a hostile file fails with an empty bitmap.
// Pictures load upright: the orientation a JPEG, PNG, TIFF, WebP, HEIF,
// AVIF, JPEG XL or camera RAW file states is applied to the pixels.

using ImageFileType = int32_t;

enum : ImageFileType {
    ImageFileBmp = 0,
    ImageFileGif = 1,
    ImageFileIco = 2,
    ImageFileTga = 3,
    ImageFilePcx = 4,
    ImageFileWbmp = 5,
    ImageFileWmf = 6,
    ImageFileJpeg = 7,
    ImageFilePng = 8,
    ImageFileTiff = 9,
    ImageFileUnknown = 10,
    // Through libraries that a build may leave out (VISTREL_PHOTO_FORMATS);
    // without them their extensions are unknown.
    ImageFileWebp = 11,
    ImageFileHeif = 12,  // HEIC and HEIF: read only
    ImageFileAvif = 13,
    ImageFileJxl = 14,
    ImageFileRaw = 15,  // camera RAW through LibRaw: read only
};

// The type's name as the command-line program prints it ("JPEG", "WebP").
const char* typeName(ImageFileType type);

// Type code from the text after the last "." of the path, ignoring the case
// of A-Z. No dot, or a dot as the last character, gives ImageFileUnknown.
ImageFileType typeFromExtension(const String& path);

// What a load found out besides the pixels: why the file could not be read
// (kind None when it was), and what the file held beyond the one 8-bit
// picture the program works on.
struct LoadDetails {
    FileFailure readFailure;
    ImageFileType type = ImageFileUnknown;  // what the content decoded as
    int32_t bitsPerSample = 8;  // the file's deepest sample
    bool moreImages = false;    // more pages, frames or icon images followed
};

// Empties the bitmap, then reads and decodes the file by its extension. An
// unknown extension returns ImageFileUnknown without touching the file; any
// other failure shows only as an empty bitmap. A file read as the type its
// content holds (see above) returns that type.
ImageFileType load(Bitmap& bitmap, const String& path, PhotoMetadata* metadata, LoadDetails* details = nullptr);

// Decodes bytes of the given type, or of the type their signature names
// when they fail as the given one. On any failure the bitmap is left empty.
// A metadata record, when given, is emptied first and then filled with what
// the file carried besides its pixels.
void decode(Bitmap& bitmap, const uint8_t* bytes, size_t size, ImageFileType type, PhotoMetadata* metadata,
            LoadDetails* details = nullptr);

// What writing a picture loaded from a file of type source (with those
// details) as type target loses of that file, e.g. "16 bits per channel
// (the result keeps 8)"; empty when nothing. Replacing a file in place
// with such a result needs the user's explicit consent.
String describeLoss(const LoadDetails& details, ImageFileType source, ImageFileType target);

// Why a width x height picture cannot be written as type at all (WBMP,
// WMF, HEIC, camera RAW, an icon over 255 pixels, a WebP over 16383), so callers can refuse before processing;
// empty when it can.
String encodeRefusal(ImageFileType type, int32_t width, int32_t height);

// The quality (1-100) a JPEG was most likely saved at, judged from its
// quantisation tables against the standard ones scaled by quality; 0 when
// the bytes hold no readable JPEG header.
int32_t jpegQuality(const uint8_t* bytes, size_t size);
// The same for a file; 0 when it cannot be read.
int32_t jpegFileQuality(const String& path);

// Encodes by the path's extension and writes the file, with what metadata
// holds: the EXIF block into JPEG, PNG, WebP, AVIF and JPEG XL files (its
// size tags updated and thumbnail dropped when the size changed), the
// profile into those and TIFF files; for the other types the colours are
// converted to sRGB instead. quality (1-100) applies to every lossy output:
// JPEG, JPEG-compressed TIFF, AVIF, JPEG XL and WebP (which is lossless
// when the record says its source was).
// False for an unknown
// extension, an encoder failure (nothing is written then) or a failed write,
// with the reason in failure when given. Without replace an existing file
// is never replaced (failure Exists), even one that appears meanwhile.
bool save(const Bitmap& bitmap, const String& path, int32_t quality, const PhotoMetadata* metadata,
          bool replace = true,
          FileFailure* failure = nullptr);

// Encodes into out (replacing its contents). False, with out empty, when the
// type has no encoder or the encoder refuses the picture.
bool encode(const Bitmap& bitmap, ImageFileType type, int32_t quality, const PhotoMetadata* metadata,
            ByteArray& out);

// Whether files of the type keep an ICC profile (JPEG, PNG, TIFF, WebP,
// AVIF, JPEG XL).
bool typeHoldsProfile(ImageFileType type);

// The type a signature at the start of the bytes names (JPEG, PNG, GIF,
// BMP, TIFF, WebP, HEIF, AVIF, JPEG XL), or ImageFileUnknown.
ImageFileType typeFromSignature(const uint8_t* bytes, size_t size);

// The name a result of the input goes under when named after it (a batch,
// --prefix/--suffix): BatchOutputPath's, with a type this program cannot
// write swapped for one it can: a camera RAW becomes PNG (lossless, as the
// developed picture deserves), a HEIC or HEIF a JPEG.
String resultPathFor(const String& input, const String& prepend, const String& append, bool* changed = nullptr);

// The small reader for the program's embedded uncompressed TGA pictures
// (types 2 and 3; 8, 24 or 32 bits; no colour map). Returns the bitmap,
// empty on any rejection.
Bitmap& decodeTgaResource(Bitmap& bitmap, const uint8_t* bytes, size_t size);

// The texts users see for a failed load or save, built from the layer's
// results, with the system's reason after the program's own words when
// there is one; both the wizard and the command-line program show these.
String loadFailureMessage(const String& path, ImageFileType type, const FileFailure* failure = nullptr);
String saveFailureMessage(const String& path, ImageFileType type, const FileFailure* failure = nullptr);
