#pragma once

// Puts new picture bytes in place of a part. When the encoding changes, the part takes a name with
// the matching extension and every relationship that pointed at the old name follows.

#include "office/imaging/Imaging.h"
#include "office/package/Package.h"

#include <string>

namespace office::deckpictures {

// Returns the part's name afterwards.
std::string ReplacePicturePart(package::Package& pkg, const std::string& part, imaging::PictureKind newKind,
                               package::Bytes bytes);

// Drops the a:srcRect of every blip that the relationship relId of sourcePart embeds.
void RemoveCrop(package::Package& pkg, const std::string& sourcePart, const std::string& relId);

} // namespace office::deckpictures
