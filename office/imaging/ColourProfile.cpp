#include "office/imaging/Imaging.h"
#include "office/imaging/VipsSupport.h"

#include <cmath>
#include <cstring>
#include <lcms2.h>

namespace office::imaging {

namespace {

// Whether the profile draws its pixels as sRGB: a matrix-shaper with sRGB's colorants and tone
// curves, whatever its name or version. Colour-managed renderers take untagged pixels as sRGB, so
// such a profile changes nothing on screen and is 3 KB per picture to carry.
bool DescribesSrgb(std::span<const std::uint8_t> icc) {
    const cmsHPROFILE profile = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
    if (profile == nullptr) {
        return false;
    }
    const cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    auto sameColorant = [&](cmsTagSignature tag) {
        const auto* a = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tag));
        const auto* b = static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb, tag));
        constexpr double tolerance = 0.002; // four digits, as profiles print them, with rounding
        return a != nullptr && b != nullptr && std::abs(a->X - b->X) < tolerance &&
               std::abs(a->Y - b->Y) < tolerance && std::abs(a->Z - b->Z) < tolerance;
    };
    auto sameCurve = [&](cmsTagSignature tag) {
        const auto* a = static_cast<const cmsToneCurve*>(cmsReadTag(profile, tag));
        const auto* b = static_cast<const cmsToneCurve*>(cmsReadTag(srgb, tag));
        if (a == nullptr || b == nullptr) {
            return false;
        }
        for (int i = 0; i <= 32; ++i) {
            const float v = static_cast<float>(i) / 32;
            if (std::abs(cmsEvalToneCurveFloat(a, v) - cmsEvalToneCurveFloat(b, v)) >= 0.004f) { // one level
                return false;
            }
        }
        return true;
    };
    const bool same = cmsGetColorSpace(profile) == cmsSigRgbData && cmsIsMatrixShaper(profile) &&
                      sameColorant(cmsSigRedColorantTag) && sameColorant(cmsSigGreenColorantTag) &&
                      sameColorant(cmsSigBlueColorantTag) && sameCurve(cmsSigRedTRCTag) &&
                      sameCurve(cmsSigGreenTRCTag) && sameCurve(cmsSigBlueTRCTag);
    cmsCloseProfile(srgb);
    cmsCloseProfile(profile);
    return same;
}

} // namespace

std::vector<std::uint8_t> RgbProfileOf(std::span<const std::uint8_t> bytes) {
    const PictureKind kind = SniffKind(bytes);
    if (kind == PictureKind::Unknown || IsMetafile(kind) || kind == PictureKind::Bmp) {
        return {};
    }
    detail::EnsureVips();
    try {
        const vips::VImage header = vips::VImage::new_from_buffer(bytes.data(), bytes.size(), "");
        if (header.get_typeof(VIPS_META_ICC_NAME) == 0) {
            return {};
        }
        std::size_t size = 0;
        const auto* data = static_cast<const std::uint8_t*>(header.get_blob(VIPS_META_ICC_NAME, &size));
        // The header's data colour space (bytes 16..19) says which pixels the profile describes.
        if (data == nullptr || size < 128 || std::memcmp(data + 16, "RGB ", 4) != 0 ||
            DescribesSrgb({data, size})) {
            return {};
        }
        return {data, data + size};
    } catch (const vips::VError&) {
        return {};
    }
}

} // namespace office::imaging
