#pragma once

#include <cstddef>
#include <cstdint>

// A file stored whole inside the program.
struct EmbeddedFile {
    const uint8_t* data;
    size_t size;
};

// The interface art, decoded at start-up by UiResources.
extern const EmbeddedFile GlyphSheetA;    // interface font, 8-bit grey TGA
extern const EmbeddedFile GlyphSheetB;    // heading font, 8-bit grey PNG
extern const EmbeddedFile CompareMask;    // before/after toggle icon, 24-bit BMP
extern const EmbeddedFile StripPicture;   // start-page picture, JPEG
extern const EmbeddedFile CopyrightMask;  // circled C, 24-bit BMP
extern const EmbeddedFile AboutPicture;   // About picture, colour PNG
