#pragma once

// The deck-wide picture pass: after the shape walk, every picture part the walk did not make and
// that a background, a shape or table fill, a layout, a master, a notes page or a diagram drawing
// shows is re-created at the largest size any place shows it, in the chosen format, and replaced
// where it is stored. Nothing else in the package changes.

#include "automation/DeckPictures.h"
#include "office/package/Package.h"

#include <vector>

namespace office::deckpictures {

// workers: pictures worked on at once (0 or 1: one after the other); the outcome is the same for any.
std::vector<automation::DeckPictureResult> CompressDeckPictures(package::Package& pkg,
                                                                const automation::DeckPictureRequest& request,
                                                                unsigned workers = 0);

} // namespace office::deckpictures
