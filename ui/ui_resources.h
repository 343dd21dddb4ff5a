#pragma once

#include "core/bitmap.h"
#include "ui/font.h"

// The fonts and pictures of the interface, decoded at start-up from the art
// stored inside the program. One instance lives from start-up to shutdown;
// widgets keep non-owning pointers into it.
class UiResources {
public:
    // Decodes the embedded art and builds everything from it.
    UiResources();
    // Builds everything from pictures already decoded, in the order of the
    // embedded files: glyph sheet A, glyph sheet B, the toggle mask, the
    // strip picture, the circled-C mask and the About picture.
    UiResources(const Bitmap& sheetA, const Bitmap& sheetB, const Bitmap& compareMask, const Bitmap& strip,
                const Bitmap& copyrightMask, const Bitmap& about);
    UiResources(const UiResources&) = delete;
    UiResources& operator=(const UiResources&) = delete;
    ~UiResources();

    Font font0;  // the default font of controls and labels
    Font font2;  // the heading font
    Bitmap compareIcon;    // 18 x 18 opaque black, alpha from the mask
    Bitmap stripPicture;
    Bitmap copyrightSign;  // 17 x 17 opaque black, alpha from the mask
    Bitmap aboutPicture;
    Bitmap arrowLeft, arrowRight, arrowDown, arrowUp;

    // False when some embedded file could not be decoded; what could be
    // built is still there.
    bool complete = false;

private:
    bool Build(const Bitmap& sheetA, const Bitmap& sheetB, const Bitmap& compareMask, const Bitmap& strip,
               const Bitmap& copyrightMask, const Bitmap& about);
};

// The process-wide instance (null before start-up and after shutdown). Set
// by its owner.
extern UiResources* TheUiResources;

// The fonts of the instance, or null when there is none.
inline const Font* UiFont0() { return TheUiResources ? &TheUiResources->font0 : nullptr; }
inline const Font* UiFont2() { return TheUiResources ? &TheUiResources->font2 : nullptr; }

// An opaque black picture whose alpha is the inverted luma of a mask.
bool MaskToPicture(const Bitmap& mask, Bitmap& picture);
