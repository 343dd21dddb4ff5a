#include "ui/ui_resources.h"

#include "ui/rect_ops.h"

UiResources* TheUiResources = nullptr;

bool MaskToPicture(const Bitmap& mask, Bitmap& picture) {
    ByteImage alpha;
    if (!InvertedLumaMap(mask, alpha) || !picture.resize(mask.width, mask.height)) {
        picture.clear();
        return false;
    }
    for (size_t i = 0; i < alpha.pixelCount(); ++i)
        picture.data[i] = packPixel(0, 0, 0, alpha.data[i]);
    return true;
}

namespace {

// The "<" of the heading font drawn black on a transparent 16 x 16 picture,
// cropped to its ink.
bool MakeLeftArrow(const Font& font, Bitmap& arrow) {
    Bitmap scratch;
    if (!scratch.resize(16, 16))
        return false;
    scratch.fill(0);
    DrawText(font, scratch, 0xFF000000, 1, -2, "<", 1, nullptr);
    Rect ink = EmptyRect();
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            if (pixelAlpha(scratch.at(x, y)))
                UnionInto(ink, Rect(x, y, x + 1, y + 1));
    if (ink.isEmpty()) {
        arrow.clear();
        return false;
    }
    return arrow.cropFrom(scratch, ink);
}

bool Mirrored(const Bitmap& in, Bitmap& out) {
    if (!out.resize(in.width, in.height))
        return false;
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t x = 0; x < in.width; ++x)
            out.at(in.width - 1 - x, y) = in.at(x, y);
    return true;
}

bool Transposed(const Bitmap& in, Bitmap& out) {
    if (!out.resize(in.height, in.width))
        return false;
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t x = 0; x < in.width; ++x)
            out.at(y, x) = in.at(x, y);
    return true;
}

bool Flipped(const Bitmap& in, Bitmap& out) {
    if (!out.resize(in.width, in.height))
        return false;
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t x = 0; x < in.width; ++x)
            out.at(x, in.height - 1 - y) = in.at(x, y);
    return true;
}

}  // namespace

UiResources::UiResources(const Bitmap& sheetA, const Bitmap& sheetB, const Bitmap& compareMask,
                         const Bitmap& strip, const Bitmap& copyrightMask, const Bitmap& about) {
    complete = Build(sheetA, sheetB, compareMask, strip, copyrightMask, about);
}

UiResources::~UiResources() {
    if (TheUiResources == this)
        TheUiResources = nullptr;
}

bool UiResources::Build(const Bitmap& sheetA, const Bitmap& sheetB, const Bitmap& compareMask,
                        const Bitmap& strip, const Bitmap& copyrightMask, const Bitmap& about) {
    bool ok = BuildFont(sheetA, 'a', font0);
    ok = BuildFont(sheetB, 'f', font2) && ok;
    ok = MaskToPicture(compareMask, compareIcon) && ok;
    ok = stripPicture.copyFrom(strip) && !stripPicture.isEmpty() && ok;
    ok = MaskToPicture(copyrightMask, copyrightSign) && ok;
    ok = aboutPicture.copyFrom(about) && !aboutPicture.isEmpty() && ok;
    if (MakeLeftArrow(font2, arrowLeft) && Mirrored(arrowLeft, arrowRight) && Transposed(arrowRight, arrowDown) &&
        Flipped(arrowDown, arrowUp))
        return ok;
    return false;
}
