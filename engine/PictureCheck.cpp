#include "engine/PictureCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace engine {

namespace {

constexpr std::uint32_t kBlack = 0;
constexpr std::uint32_t kWhite = 16777215;

automation::ColorBox WhiteBox(int width, int height) {
    automation::ColorBox box;
    box.width = width;
    box.height = height;
    box.colors.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kWhite);
    return box;
}

} // namespace

void CaptureReferenceImage(automation::IClipboard& clipboard, ReferenceImage& reference) {
    reference.box.reset();
    if (!clipboard.ContainsMetafile())
        return;
    reference.box = clipboard.RenderMetafile(kCompareBoxPixels, kCompareBoxPixels);
}

bool CheckTransparencyLoss(automation::IClipboard& clipboard, const ReferenceImage& reference,
                           double limitFraction) {
    if (!clipboard.ContainsMetafile())
        return false;
    const auto candidate = clipboard.RenderMetafile(kCompareBoxPixels, kCompareBoxPixels);
    if (!candidate)
        return false;
    const automation::ColorBox& ref =
        reference.box ? *reference.box : WhiteBox(candidate->width, candidate->height);
    return TransparencyLost(ref, *candidate, limitFraction);
}

bool TransparencyLost(const automation::ColorBox& reference, const automation::ColorBox& candidate,
                      double limitFraction) {
    // The compared area is the reference box's; a smaller candidate is read as white beyond its edge.
    const int width = reference.width;
    const int height = reference.height;
    const auto limit = static_cast<long long>(std::floor(width * limitFraction * height));
    long long lost = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t now =
                (x < candidate.width && y < candidate.height) ? candidate.At(x, y) : kWhite;
            const std::uint32_t was = reference.At(x, y);
            if ((now == kBlack && was != kBlack) || (was != kWhite && now == kWhite)) {
                if (++lost > limit)
                    return true;
            }
        }
    }
    return false;
}

} // namespace engine
