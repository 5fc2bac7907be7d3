#pragma once

// The replaced pictures of one deck as rows of before and after images with their numbers, sorted by
// bytes saved. The least similar are marked so that a person looks at them first.

#include "automation/ReplacedPictures.h"

#include <string>
#include <vector>

namespace report {

// Marked: below this similarity, or among the deck's three least similar under 0.99.
inline constexpr double kLowSimilarity = 0.90;

// Which pictures are marked, in the order given.
std::vector<bool> MarkedPictures(const std::vector<automation::ReplacedPicture>& pictures);
// deckId names the row anchors ("d2-p5").
std::string PictureTableHtml(const std::vector<automation::ReplacedPicture>& pictures,
                             const std::string& deckId);

} // namespace report
