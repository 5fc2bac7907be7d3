#include "office/deckpictures/PicturePlan.h"

#include <algorithm>
#include <cmath>

namespace office::deckpictures {

namespace {

constexpr double kEmuPerInch = 914400;
constexpr double kPixelsPerInch = 96;

bool SameCrop(const imaging::CropRect& a, const imaging::CropRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool CutsOnly(const imaging::CropRect& c) {
    return c.left >= 0 && c.top >= 0 && c.right >= 0 && c.bottom >= 0 && c.left + c.right < 1 &&
           c.top + c.bottom < 1;
}

} // namespace

std::optional<PicturePlan> PlanPicture(imaging::PixelSize source, const std::vector<PictureUse>& uses,
                                       double scaleFactor) {
    if (source.width <= 0 || source.height <= 0 || uses.empty())
        return std::nullopt;
    const bool pixelSized =
        std::any_of(uses.begin(), uses.end(), [](const PictureUse& u) { return u.sizedByPixels; });
    const imaging::CropRect& first = uses.front().crop;
    const bool cropsAlike =
        std::all_of(uses.begin(), uses.end(), [&](const PictureUse& u) { return SameCrop(u.crop, first); });
    // The crop of an SVG's blip applies to the SVG too, so it stays in place and the fallback keeps
    // its whole area. A fallback no place shows as the only picture is drawn just where the SVG
    // cannot be: it needs the shown size and nothing more, however mild the reduction.
    const bool anyFallback =
        std::any_of(uses.begin(), uses.end(), [](const PictureUse& u) { return u.svgFallback; });
    const bool onlyFallback =
        std::all_of(uses.begin(), uses.end(), [](const PictureUse& u) { return u.svgFallback; });
    PicturePlan plan;
    if (!pixelSized && !anyFallback && cropsAlike && !first.IsEmpty() && CutsOnly(first))
        plan.cut = first;

    double scale = pixelSized ? 1.0 : 0.0;
    bool sized = pixelSized;
    for (const PictureUse& use : uses) {
        if (use.sizedByPixels || use.kind == UseKind::DiagramData)
            continue;
        sized = true;
        // The visible share of the picture is stretched over the box.
        const double visibleWidth = 1 - use.crop.left - use.crop.right;
        const double visibleHeight = 1 - use.crop.top - use.crop.bottom;
        if (visibleWidth <= 0 || visibleHeight <= 0)
            return std::nullopt;
        const double boxPixelsWide = use.boxWidth / kEmuPerInch * kPixelsPerInch * scaleFactor;
        const double boxPixelsHigh = use.boxHeight / kEmuPerInch * kPixelsPerInch * scaleFactor;
        scale = std::max({scale, boxPixelsWide / visibleWidth / source.width,
                          boxPixelsHigh / visibleHeight / source.height});
    }
    if (!sized)
        return std::nullopt;
    plan.shownWidth = source.width * (1 - plan.cut.left - plan.cut.right) * scale / scaleFactor;
    plan.shownHeight = source.height * (1 - plan.cut.top - plan.cut.bottom) * scale / scaleFactor;
    plan.ownPixelsMayBeSmaller = scale < 1 && scale * imaging::kMildReduction >= 1;
    if (scale >= 1 || (!onlyFallback && scale * imaging::kMildReduction >= 1)) {
        // Kept whole, on its own grid: shown as before, nothing blurred or moved.
        scale = 1.0;
        plan.cut = {};
        plan.ownPixelsMayBeSmaller = false;
    }
    const double keptWidth = 1 - plan.cut.left - plan.cut.right;
    const double keptHeight = 1 - plan.cut.top - plan.cut.bottom;
    plan.width = std::max(1, static_cast<int>(std::lround(source.width * keptWidth * scale)));
    plan.height = std::max(1, static_cast<int>(std::lround(source.height * keptHeight * scale)));
    return plan;
}

} // namespace office::deckpictures
