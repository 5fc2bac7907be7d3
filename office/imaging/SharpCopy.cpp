#include "office/imaging/SharpCopy.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace office::imaging {

namespace {

constexpr double kHardAlphaShare = 0.9;
constexpr double kClearShare = 0.02;
constexpr std::size_t kFewColours = 1024;
constexpr std::size_t kSharpExtraBytes = 24 * 1024;
constexpr double kSharpMaxShare = 0.1;

} // namespace

std::optional<PixelSize> SharpSize(PixelSize copied, double shownWidth, double shownHeight,
                                   double sourceWidth, double sourceHeight) {
    if (!(shownWidth > 0 && shownHeight > 0) || std::max(shownWidth, shownHeight) > kSharpMaxShownSide)
        return std::nullopt;
    double w = kSharpReduction * shownWidth, h = kSharpReduction * shownHeight;
    if (sourceWidth > 0 && sourceHeight > 0) {
        const double fit = std::min({1.0, sourceWidth / w, sourceHeight / h});
        w *= fit;
        h *= fit;
    }
    const PixelSize sharp{static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h))};
    // A pixel or two more is no sharper: only a real step up is worth a second rendering.
    if (sharp.width <= copied.width + 1 || sharp.height <= copied.height + 1)
        return std::nullopt;
    return sharp;
}

bool HasHardEdges(const Raster& copy) {
    const std::size_t pixels = copy.rgba.size() / 4;
    if (pixels == 0)
        return false;
    std::size_t hard = 0, clear = 0;
    std::unordered_set<std::uint32_t> colours;
    for (std::size_t i = 0; i < copy.rgba.size(); i += 4) {
        const std::uint8_t* p = &copy.rgba[i];
        hard += p[3] == 0 || p[3] == 255;
        clear += p[3] == 0;
        if (colours.size() <= kFewColours)
            colours.insert(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                           std::uint32_t(p[3]) << 24);
    }
    return (hard >= kHardAlphaShare * pixels && clear >= kClearShare * pixels) ||
           colours.size() <= kFewColours;
}

bool SharpIsCheap(const Raster& atChosenSize, const Raster& sharp, std::size_t storedBytes) {
    const std::size_t sharpBytes = EncodePng(sharp).size();
    return sharpBytes <= EncodePng(atChosenSize).size() + kSharpExtraBytes &&
           static_cast<double>(sharpBytes) <= kSharpMaxShare * static_cast<double>(storedBytes);
}

} // namespace office::imaging
