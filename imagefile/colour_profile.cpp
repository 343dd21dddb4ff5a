#include "imagefile/colour_profile.h"

#include <lcms2.h>

namespace {

constexpr cmsUInt32Number TransformFlags = cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_COPY_ALPHA;

// LittleCMS reports problems through a global handler; the layer reports
// failures by its results, so the messages are dropped.
void quiet(cmsContext, cmsUInt32Number, const char*) {}

cmsHPROFILE openProfile(const uint8_t* icc, size_t size) {
    static const bool silenced = (cmsSetLogErrorHandler(quiet), true);
    (void)silenced;
    // A profile's header alone is 128 bytes.
    if (!icc || size < 132 || size > MaxProfileBytes)
        return nullptr;
    return cmsOpenProfileFromMem(icc, static_cast<cmsUInt32Number>(size));
}

ProfileSpace spaceOf(cmsHPROFILE profile) {
    switch (cmsGetColorSpace(profile)) {
    case cmsSigRgbData: return ProfileSpace::Rgb;
    case cmsSigGrayData: return ProfileSpace::Grey;
    case cmsSigCmykData: return ProfileSpace::Cmyk;
    default: return ProfileSpace::Unusable;
    }
}

}  // namespace

ProfileSpace profileSpace(const uint8_t* icc, size_t size) {
    cmsHPROFILE profile = openProfile(icc, size);
    if (!profile)
        return ProfileSpace::Unusable;
    ProfileSpace space = spaceOf(profile);
    cmsCloseProfile(profile);
    return space;
}

RgbToSrgb::RgbToSrgb(const ByteArray& icc) {
    cmsHPROFILE source = openProfile(icc.data, static_cast<size_t>(icc.length));
    if (!source)
        return;
    if (spaceOf(source) == ProfileSpace::Rgb) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        if (srgb) {
            // Bitmap pixels are B, G, R, A in memory.
            transform_ = cmsCreateTransform(source, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_RELATIVE_COLORIMETRIC,
                                            TransformFlags);
            cmsCloseProfile(srgb);
        }
    }
    cmsCloseProfile(source);
}

RgbToSrgb::~RgbToSrgb() {
    if (transform_)
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

void RgbToSrgb::convert(uint32_t* pixels, int32_t count) const {
    if (transform_ && count > 0)
        cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), pixels, pixels, static_cast<cmsUInt32Number>(count));
}

void RgbToSrgb::convert(Bitmap& bitmap) const {
    for (int32_t y = 0; y < bitmap.height; ++y)
        convert(bitmap.elementAt(0, y), bitmap.width);
}

bool convertToSrgb(Bitmap& bitmap, const ByteArray& icc) {
    RgbToSrgb transform(icc);
    if (!transform.valid())
        return false;
    transform.convert(bitmap);
    return true;
}

CmykToSrgb::CmykToSrgb(const uint8_t* icc, size_t size, bool inverted) {
    cmsHPROFILE source = openProfile(icc, size);
    if (!source)
        return;
    if (spaceOf(source) == ProfileSpace::Cmyk) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        if (srgb) {
            transform_ = cmsCreateTransform(source, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb, TYPE_BGR_8,
                                            INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_BLACKPOINTCOMPENSATION);
            cmsCloseProfile(srgb);
        }
    }
    cmsCloseProfile(source);
}

CmykToSrgb::~CmykToSrgb() {
    if (transform_)
        cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

void CmykToSrgb::convert(const uint8_t* cmyk, uint8_t* bgr, int32_t pixels) const {
    cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), cmyk, bgr, static_cast<cmsUInt32Number>(pixels));
}
