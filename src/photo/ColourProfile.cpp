#include "photo/ColourProfile.h"

#include <lcms2.h>

#include <cmath>

namespace gz::photo {

namespace {

// Larger embedded profiles are not taken (real ones are a few kilobytes, CMYK ones a few megabytes).
constexpr std::size_t kMaxProfileBytes = std::size_t(64) << 20;

cmsUInt32Number InputFormat(TPixelLayout layout)
{
    switch (layout) {
    case TPixelLayout::Grey: return TYPE_GRAY_8;
    case TPixelLayout::BGR: return TYPE_BGR_8;
    case TPixelLayout::BGRA: return TYPE_BGRA_8;
    case TPixelLayout::CMYK: return TYPE_CMYK_8;
    case TPixelLayout::InvertedCMYK: return TYPE_CMYK_8_REV;
    }
    return 0;
}

cmsColorSpaceSignature SpaceOf(TPixelLayout layout)
{
    switch (layout) {
    case TPixelLayout::Grey: return cmsSigGrayData;
    case TPixelLayout::CMYK:
    case TPixelLayout::InvertedCMYK: return cmsSigCmykData;
    default: return cmsSigRgbData;
    }
}

// The sRGB tone curve.
double SrgbCurve(double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); }

bool Near(const cmsCIEXYZ* xyz, double x, double y, double z)
{
    constexpr double tolerance = 0.002;
    return xyz && std::fabs(xyz->X - x) < tolerance && std::fabs(xyz->Y - y) < tolerance &&
           std::fabs(xyz->Z - z) < tolerance;
}

bool IsSrgbCurve(const cmsToneCurve* curve)
{
    if (!curve)
        return false;
    for (int i = 0; i <= 16; ++i) {
        const double v = i / 16.0;
        if (std::fabs(cmsEvalToneCurveFloat(curve, cmsFloat32Number(v)) - SrgbCurve(v)) > 0.003)
            return false;
    }
    return true;
}

bool IsSrgb(cmsHPROFILE profile)
{
    if (cmsGetColorSpace(profile) != cmsSigRgbData)
        return false;
    // Colorants as sRGB's, adapted to the D50 of the profile connection space.
    const auto* red = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigRedColorantTag));
    const auto* green = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigGreenColorantTag));
    const auto* blue = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigBlueColorantTag));
    if (!Near(red, 0.4361, 0.2225, 0.0139) || !Near(green, 0.3851, 0.7169, 0.0971) ||
        !Near(blue, 0.1431, 0.0606, 0.7142))
        return false;
    for (cmsTagSignature tag : {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag})
        if (!IsSrgbCurve(static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag))))
            return false;
    return true;
}

struct ProfileCloser {
    cmsHPROFILE profile;
    ~ProfileCloser()
    {
        if (profile)
            cmsCloseProfile(profile);
    }
};

} // namespace

TSrgbConversion::~TSrgbConversion() { cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_)); }

std::unique_ptr<TSrgbConversion> TSrgbConversion::FromOpenProfile(void* opened, TPixelLayout layout)
{
    const ProfileCloser input{opened};
    if (!input.profile || cmsGetColorSpace(input.profile) != SpaceOf(layout))
        return nullptr;
    if (SpaceOf(layout) == cmsSigRgbData && IsSrgb(input.profile))
        return nullptr;
    const ProfileCloser srgb{cmsCreate_sRGBProfile()};
    if (!srgb.profile)
        return nullptr;
    const bool alpha = layout == TPixelLayout::BGRA;
    // No cache: one transform may then run on several threads at once.
    const cmsHTRANSFORM transform =
        cmsCreateTransform(input.profile, InputFormat(layout), srgb.profile, alpha ? TYPE_BGRA_8 : TYPE_BGR_8,
                           INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE | (alpha ? cmsFLAGS_COPY_ALPHA : 0));
    if (!transform)
        return nullptr;
    return std::unique_ptr<TSrgbConversion>(new TSrgbConversion(transform, layout));
}

std::unique_ptr<TSrgbConversion> TSrgbConversion::FromProfile(const void* icc, std::size_t size, TPixelLayout layout)
{
    if (!icc || size < 128 || size > kMaxProfileBytes)
        return nullptr;
    return FromOpenProfile(cmsOpenProfileFromMem(icc, cmsUInt32Number(size)), layout);
}

std::unique_ptr<TSrgbConversion> TSrgbConversion::FromChromaticities(const TChromaticities& c, TTransfer transfer,
                                                                     TPixelLayout layout)
{
    if (layout != TPixelLayout::BGR && layout != TPixelLayout::BGRA)
        return nullptr;
    const cmsCIExyY white{c.WhiteX, c.WhiteY, 1.0};
    const cmsCIExyYTRIPLE primaries{{c.RedX, c.RedY, 1.0}, {c.GreenX, c.GreenY, 1.0}, {c.BlueX, c.BlueY, 1.0}};
    cmsToneCurve* curve = nullptr;
    if (transfer == TTransfer::Linear) {
        curve = cmsBuildGamma(nullptr, 1.0);
    } else if (transfer == TTransfer::Gamma22) {
        curve = cmsBuildGamma(nullptr, 2.2);
    } else {
        // IEC 61966-2.1: Y = ((X + 0.055) / 1.055)^2.4 above 0.04045, X / 12.92 below.
        const cmsFloat64Number params[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
        curve = cmsBuildParametricToneCurve(nullptr, 4, params);
    }
    if (!curve)
        return nullptr;
    cmsToneCurve* curves[3] = {curve, curve, curve};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(curve);
    return FromOpenProfile(profile, layout);
}

void TSrgbConversion::Convert(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels) const
{
    // Rows are handed over in pieces the library's 32-bit pixel count can hold.
    constexpr std::size_t kPiece = std::size_t(1) << 30;
    const std::size_t inBytes = std::size_t(InputBytes()), outBytes = layout_ == TPixelLayout::BGRA ? 4 : 3;
    while (pixels > 0) {
        const std::size_t n = pixels < kPiece ? pixels : kPiece;
        cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), in, out, cmsUInt32Number(n));
        in += n * inBytes;
        out += n * outBytes;
        pixels -= n;
    }
}

int TSrgbConversion::InputBytes() const
{
    switch (layout_) {
    case TPixelLayout::Grey: return 1;
    case TPixelLayout::BGR: return 3;
    default: return 4;
    }
}

bool IsSrgbProfile(const void* icc, std::size_t size)
{
    if (!icc || size < 128 || size > kMaxProfileBytes)
        return false;
    const ProfileCloser profile{cmsOpenProfileFromMem(icc, cmsUInt32Number(size))};
    return profile.profile && IsSrgb(profile.profile);
}

void CmykToBgr(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels, bool inverted)
{
    const unsigned flip = inverted ? 0u : 255u;
    for (std::size_t i = 0; i < pixels; ++i, in += 4, out += 3) {
        // With inverted values the stored byte is already 255 - ink.
        const unsigned k = in[3] ^ flip;
        out[0] = std::uint8_t(((in[2] ^ flip) * k + 127u) / 255u);
        out[1] = std::uint8_t(((in[1] ^ flip) * k + 127u) / 255u);
        out[2] = std::uint8_t(((in[0] ^ flip) * k + 127u) / 255u);
    }
}

void RowOverWhite(std::uint8_t* bgra, std::size_t pixels)
{
    for (std::size_t i = 0; i < pixels; ++i, bgra += 4) {
        const unsigned a = bgra[3];
        if (a == 255)
            continue;
        bgra[0] = OverWhite(bgra[0], a);
        bgra[1] = OverWhite(bgra[1], a);
        bgra[2] = OverWhite(bgra[2], a);
    }
}

void FinishRow(const TSrgbConversion* conversion, std::uint8_t* row, std::size_t pixels, bool alpha)
{
    if (conversion)
        conversion->Convert(row, row, pixels);
    if (alpha)
        RowOverWhite(row, pixels);
}

} // namespace gz::photo
