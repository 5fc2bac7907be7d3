#pragma once

// What a picture shape's look is made of besides its pixels, taken from a copied p:pic and given
// back to the picture a paste makes, so that the replacement renders like its source.

#include "office/clipboard/EngineClipboard.h"
#include "office/imaging/Imaging.h"
#include "office/model/Geometry.h"

#include <pugixml.hpp>

namespace office::model {

// Whether a blip has an SVG alternative. Renderers that know it draw the SVG, so a raster
// replacement of the fallback would lose the vector's sharpness: the paste refuses such a picture
// and its fallback is recompressed in place instead.
bool HasSvgAlternative(pugi::xml_node blip);

// The blip's colour key when it names its colours in RGB (as PowerPoint's "set transparent colour"
// does) and matches on colour alone; nothing otherwise, and the key then stays markup of the look.
std::optional<imaging::ColourChange> ColourKeyOf(pugi::xml_node blip);

// The look of a p:pic shown with the given frame on its slide. `slideRoot` supplies the namespace
// declarations the kept markup needs. keyDrawn: the colour key is drawn into the new pixels, so the
// look leaves it out.
PictureLook LookOfPicture(pugi::xml_node pic, pugi::xml_node slideRoot, const Frame& onSlide,
                          bool keyDrawn = false);

// The look of a shape with no picture of its own to take it from (an object whose preview lives in
// the VML drawing): only its flips.
PictureLook LookOfFrame(const Frame& onSlide);

// Gives a bare p:pic (one blip, a stretch fill and a rectangle) the look, and the crop its new
// picture needs. Declarations that `targetRoot` lacks are put on the p:pic itself.
void GiveLook(pugi::xml_node pic, const PictureLook& look, const imaging::CropRect& crop,
              pugi::xml_node targetRoot);

} // namespace office::model
