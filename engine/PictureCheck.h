#pragma once

// The transparency check of a JPEG replacement: the source copy's metafile is rendered into a
// 100 x 100 box before the paste, the replacement's after it, and the two are compared pixel by
// pixel for areas that turned pure black or pure white.

#include "automation/Clipboard.h"

#include <optional>

namespace engine {

inline constexpr int kCompareBoxPixels = 100;

// The rendering of the source copy, held for one shape's replacement.
struct ReferenceImage {
    std::optional<automation::ColorBox> box;
};

// Clears the reference, then renders the clipboard's metafile into it; leaves it empty when the
// clipboard holds no metafile.
void CaptureReferenceImage(automation::IClipboard& clipboard, ReferenceImage& reference);

// True when the clipboard's metafile (the replacement's copy) lost transparent areas: more than
// limitFraction of the compared area is black where the reference is not, or white where the
// reference is not. False when the clipboard holds no metafile.
bool CheckTransparencyLoss(automation::IClipboard& clipboard, const ReferenceImage& reference,
                           double limitFraction);

// The pixel rule on two renderings of the same box size. A missing reference counts as an empty
// (white) box, which is what a cleared box shows.
bool TransparencyLost(const automation::ColorBox& reference, const automation::ColorBox& candidate,
                      double limitFraction);

} // namespace engine
