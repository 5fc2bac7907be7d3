#pragma once

// How a picture part is to be re-created from the places that show it: which part of it to keep
// and at how many pixels.

#include "office/deckpictures/PictureUses.h"
#include "office/imaging/Imaging.h"

#include <optional>
#include <vector>

namespace office::deckpictures {

struct PicturePlan {
    imaging::CropRect cut; // the area kept; non-empty only when every place crops alike
    int width = 0;         // pixels of the new picture
    int height = 0;
    // A reduction so mild that another picture would keep its pixels (an SVG's fallback): the
    // picture at its own pixels may still come out smaller, and then is the better choice.
    bool ownPixelsMayBeSmaller = false;
    // The pixels (96 dpi) of the largest place, before the scale factor and any rounding.
    double shownWidth = 0;
    double shownHeight = 0;
};

// The largest size at which any place shows the picture, at 96 dpi times scaleFactor, never above
// the picture's own pixels and with its aspect kept; within imaging::kMildReduction of its own
// pixels, the picture keeps them, uncut, unless it is only ever an SVG's fallback. An SVG's crop is
// never cut into its fallback. A place sized by the picture's pixels (a tile) keeps them as they
// are. Nothing when a place shows none of the picture.
std::optional<PicturePlan> PlanPicture(imaging::PixelSize source, const std::vector<PictureUse>& uses,
                                       double scaleFactor);

} // namespace office::deckpictures
