#pragma once

#include "core/image.h"
#include "core/strings.h"

#include <cstdint>

// What a photo carries besides its pixels, read at load and written again
// at save, whoever loads and saves (the wizard, its batch, the command
// line). The orientation is applied to the pixels at load, so the EXIF block
// held here already says Orientation 1.
class PhotoMetadata {
public:
    // The EXIF block as an APP1 payload ("Exif\0\0" and a TIFF structure);
    // empty when the file had none or it could not be parsed safely.
    ByteArray exif;
    // The ICC profile of the pixels (an RGB profile); empty means sRGB.
    ByteArray icc;
    // The file's orientation (1-8), already applied to the pixels.
    int32_t orientation = 1;
    // The upright size of the loaded picture; 0 x 0 when nothing is held.
    Size size;
    // A JPEG source's layout, reused by a JPEG save at the same size: its
    // resolution and whether it was greyscale.
    bool jpegSource = false;
    int32_t dpiX = 96;
    int32_t dpiY = 96;
    bool greyscale = false;
    // Whether the source kept every sample exactly (PNG, TIFF, lossless
    // WebP, RAW, ...); a WebP result of such a picture is lossless too.
    bool lossless = false;

    void release() { *this = PhotoMetadata(); }
    bool isEmpty() const { return size.width == 0 && size.height == 0; }
};
