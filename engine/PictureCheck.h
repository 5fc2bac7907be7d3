#pragma once

// The transparency check of a JPEG replacement: the source copy is rendered over white before the
// paste, the replacement's copy after it, both over the whole picture, and the two are compared
// pixel by pixel for areas that turned black or white where the source showed something else
// (a transparent background or corner that the JPEG filled).

#include "automation/Clipboard.h"

#include <optional>

namespace engine {

// Renderings are clipped to this many pixels a side, which no copy the walk makes comes near.
inline constexpr int kLargestCompareBox = 3000;
// A loss this large is visible whatever the picture's size: a rounded corner, a thin outline.
inline constexpr long long kVisibleLoss = 12;

// The rendering of the source copy, held for one shape's replacement.
struct ReferenceImage {
    std::optional<automation::ColorBox> box;
};

// Clears the reference, then renders the clipboard's picture into a box of the copy's size (clipped
// to kLargestCompareBox); leaves it empty when the clipboard holds no picture.
void CaptureReferenceImage(automation::IClipboard& clipboard, ReferenceImage& reference, int boxWidth,
                           int boxHeight);

// True when the clipboard's picture (the replacement's copy) lost transparent areas, see
// TransparencyLost. False when the clipboard holds none.
bool CheckTransparencyLoss(automation::IClipboard& clipboard, const ReferenceImage& reference,
                           double limitFraction);

// The pixel rule on two renderings of the same box size. A pixel is lost when it is near black
// (or near white) and clearly darker (lighter) than the reference: JPEG noise leaves what was
// filled black only nearly black. The shape has lost its transparency when more pixels are lost
// than limitFraction of the box, or than kVisibleLoss, whichever is fewer. A missing reference
// counts as an empty (white) box, which is what a cleared box shows.
bool TransparencyLost(const automation::ColorBox& reference, const automation::ColorBox& candidate,
                      double limitFraction);

} // namespace engine
