#pragma once

// The deck-wide picture pass: after the shape walk, every picture part the walk did not make and
// that a background, a shape or table fill, a layout, a master, a notes page or a diagram drawing
// shows is re-created at the largest size any place shows it, in the chosen format, and replaced
// where it is stored. Nothing else in the package changes.

#include "automation/DeckPictures.h"
#include "office/deckpictures/PictureUses.h"
#include "office/package/Package.h"

#include <functional>
#include <string>
#include <vector>

namespace office::deckpictures {

// A part replaced, as the pass saw it.
struct ReplacedPart {
    const automation::DeckPictureResult& result;
    const std::string& partBefore;
    const package::Bytes& before;
    const package::Bytes& after;
    const std::vector<PictureUse>& uses;
    bool cropTaken; // the new picture holds only what the places' crop showed (their crop was dropped)
    // The old picture as drawn for the new one (its cut, at the new size); null when it was not drawn.
    const imaging::Raster* drawn;
};
using ReplacedPartObserver = std::function<void(const ReplacedPart& part)>;

// workers: pictures worked on at once (0 or 1: one after the other); the outcome is the same for any.
std::vector<automation::DeckPictureResult> CompressDeckPictures(package::Package& pkg,
                                                                const automation::DeckPictureRequest& request,
                                                                unsigned workers = 0,
                                                                const ReplacedPartObserver& observer = {});

} // namespace office::deckpictures
