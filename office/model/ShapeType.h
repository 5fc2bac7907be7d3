#pragma once

// The object model's shape type number for a shape element of a slide.

#include <pugixml.hpp>

namespace office::model {

// Group 6, picture 13, linked picture 11, embedded object 7, linked object 10, media 16, placeholder 14,
// auto shape 1, text box 17, freeform 5, connector 9, chart 3, table 19, SmartArt 24, ink/content 20
// (canvas) and graphic 28 for other graphic frames.
int ShapeTypeOf(pugi::xml_node shape);

bool IsMediaPicture(pugi::xml_node pic);
bool IsPlaceholder(pugi::xml_node shape);

} // namespace office::model
