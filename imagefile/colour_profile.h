#pragma once

#include "core/bitmap.h"
#include "core/strings.h"

#include <cstddef>
#include <cstdint>

// Colour conversion through ICC profiles with LittleCMS. Profiles come from
// files and are parsed by LittleCMS only after their size is checked; one
// it cannot open is treated as absent. Conversions use the relative
// colorimetric intent with black-point compensation, in LittleCMS's integer
// paths for 8-bit pixels, so Linux and Windows give the same bits.

// Profiles larger than this are ignored (real ones are at most a few MB).
constexpr size_t MaxProfileBytes = 16u << 20;

enum class ProfileSpace { Unusable, Rgb, Grey, Cmyk };

// The colour space a profile describes, or Unusable when it is too large,
// cannot be parsed or is neither RGB, grey nor CMYK.
ProfileSpace profileSpace(const uint8_t* icc, size_t size);

// Converts the bitmap's colours from an RGB profile to sRGB in place; alpha
// is kept. False (pixels untouched) when the profile is not a usable RGB one.
bool convertToSrgb(Bitmap& bitmap, const ByteArray& icc);

// A transform from an RGB profile to sRGB for Bitmap pixels (alpha kept),
// made once and used again: the desktop view converts what it shows on
// every draw, leaving the picture itself in its own colours.
class RgbToSrgb {
public:
    explicit RgbToSrgb(const ByteArray& icc);
    ~RgbToSrgb();
    RgbToSrgb(const RgbToSrgb&) = delete;
    RgbToSrgb& operator=(const RgbToSrgb&) = delete;

    bool valid() const { return transform_ != nullptr; }
    void convert(uint32_t* pixels, int32_t count) const;
    void convert(Bitmap& bitmap) const;  // row by row, in place

private:
    void* transform_ = nullptr;
};

// A transform from 8-bit CMYK samples through a CMYK profile to 8-bit
// B, G, R; inverted samples (255 = no ink, as Adobe writes them) when
// inverted is set.
class CmykToSrgb {
public:
    CmykToSrgb(const uint8_t* icc, size_t size, bool inverted);
    ~CmykToSrgb();
    CmykToSrgb(const CmykToSrgb&) = delete;
    CmykToSrgb& operator=(const CmykToSrgb&) = delete;

    bool valid() const { return transform_ != nullptr; }
    void convert(const uint8_t* cmyk, uint8_t* bgr, int32_t pixels) const;

private:
    void* transform_ = nullptr;
};
