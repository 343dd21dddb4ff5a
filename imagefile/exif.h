#pragma once

#include "core/strings.h"

#include <cstddef>
#include <cstdint>

// Reading and editing EXIF blocks, held as APP1 payloads: "Exif\0\0" then a
// TIFF structure. Every offset is checked against the block, each directory
// is visited at most once, and anything odd makes the functions give up:
// a block that cannot be read safely is dropped rather than written again.

// The Orientation tag (274) of the first directory, 1 to 8; 1 when it is
// absent, out of range or the block cannot be read.
int32_t exifOrientation(const uint8_t* block, size_t size);

// Edits the block for a picture that is now upright and width x height:
// Orientation becomes 1, PixelXDimension and PixelYDimension get the new
// size, and the embedded thumbnail (the second directory) is dropped, with
// its bytes when they lie at the end. False, with the block unchanged in
// meaning but possibly partly edited, when the structure is not sound; the
// caller then drops it.
bool rewriteExif(ByteArray& block, int32_t width, int32_t height);

// Makes the layer's form of an EXIF block from what a container stores:
// the TIFF structure, with or without "Exif\0\0" before it, after skipping
// skip bytes (HEIF and JPEG XL put a 4-byte offset first). Block is left
// empty when no TIFF header is found there; false when memory runs out.
bool exifFromContainer(const uint8_t* data, size_t size, size_t skip, ByteArray& block);

// What a camera RAW file says about the shot, for a block made from it.
// Zero or empty fields are left out.
struct ShotDetails {
    const char* make = "";
    const char* model = "";
    float exposureSeconds = 0.0f;
    float fNumber = 0.0f;
    float isoSpeed = 0.0f;
    float focalLength = 0.0f;  // millimetres
};

// A little-endian block with Make, Model and Orientation 1 in its first
// directory and the exposure, F-number, ISO speed and focal length in its
// Exif directory. False when memory runs out.
bool makeExif(const ShotDetails& shot, ByteArray& block);
