#include "imagefile/image_file.h"
#include "ui/embedded_art.h"
#include "ui/ui_resources.h"

// Kept apart so that code building resources from pictures it already has
// does not pull in the decoders and the embedded art.
UiResources::UiResources() {
    Bitmap sheetA, sheetB, compareMask, strip, copyrightMask, about;
    decodeTgaResource(sheetA, GlyphSheetA.data, GlyphSheetA.size);
    decode(sheetB, GlyphSheetB.data, GlyphSheetB.size, ImageFilePng, nullptr);
    decode(compareMask, CompareMask.data, CompareMask.size, ImageFileBmp, nullptr);
    decode(strip, StripPicture.data, StripPicture.size, ImageFileJpeg, nullptr);
    decode(copyrightMask, CopyrightMask.data, CopyrightMask.size, ImageFileBmp, nullptr);
    decode(about, AboutPicture.data, AboutPicture.size, ImageFilePng, nullptr);
    complete = Build(sheetA, sheetB, compareMask, strip, copyrightMask, about);
}
