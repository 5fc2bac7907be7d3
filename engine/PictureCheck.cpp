#include "engine/PictureCheck.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace engine {

namespace {

constexpr std::uint32_t kWhite = 16777215;
// Without a reference the candidate is compared over the top-left corner of this size.
constexpr int kFallbackCompareBox = 100;
// Grey levels (0..255): how dark counts as black, how light as white, and how far a lost pixel
// must be from what the reference showed there.
constexpr int kNearBlack = 40;
constexpr int kNearWhite = 215;
constexpr int kClearlyDifferent = 96;

automation::ColorBox WhiteBox(int width, int height) {
    automation::ColorBox box;
    box.width = width;
    box.height = height;
    box.colors.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), kWhite);
    return box;
}

int Grey(std::uint32_t color) {
    const int r = static_cast<int>(color & 0xFF), g = static_cast<int>((color >> 8) & 0xFF),
              b = static_cast<int>((color >> 16) & 0xFF);
    return (r * 299 + g * 587 + b * 114 + 500) / 1000;
}

} // namespace

void CaptureReferenceImage(automation::IClipboard& clipboard, ReferenceImage& reference, int boxWidth,
                           int boxHeight) {
    reference.box.reset();
    if (!clipboard.ContainsMetafile())
        return;
    reference.box = clipboard.RenderMetafile(std::clamp(boxWidth, 1, kLargestCompareBox),
                                             std::clamp(boxHeight, 1, kLargestCompareBox));
}

bool CheckTransparencyLoss(automation::IClipboard& clipboard, const ReferenceImage& reference,
                           double limitFraction) {
    if (!clipboard.ContainsMetafile())
        return false;
    // The replacement is drawn in the box the reference was drawn in.
    const int width = reference.box ? reference.box->width : kFallbackCompareBox;
    const int height = reference.box ? reference.box->height : kFallbackCompareBox;
    const auto candidate = clipboard.RenderMetafile(width, height);
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
    const auto limit =
        std::min(kVisibleLoss, static_cast<long long>(std::floor(width * limitFraction * height)));
    long long lost = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int now = Grey((x < candidate.width && y < candidate.height) ? candidate.At(x, y) : kWhite);
            const int was = Grey(reference.At(x, y));
            const bool filledBlack = now <= kNearBlack && was - now >= kClearlyDifferent;
            const bool filledWhite = now >= kNearWhite && now - was >= kClearlyDifferent;
            if ((filledBlack || filledWhite) && ++lost > limit)
                return true;
        }
    }
    return false;
}

} // namespace engine
