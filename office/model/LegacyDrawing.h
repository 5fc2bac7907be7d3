#pragma once

// The slide's legacy VML drawing keeps a second form of each object and control (a v:shape found by
// the spid of its p:oleObj or p:control). When the object goes, its VML form has to go too: office
// suites that read the VML drawing show a VML shape no object claims, so a converted object would
// be drawn twice.

#include <pugixml.hpp>
#include <string>
#include <vector>

namespace office::package {
class Package;
}

namespace office::model {

// The spids that p:oleObj and p:control elements inside the subtree give their VML forms.
std::vector<std::string> LegacyShapeIdsIn(pugi::xml_node subtree);

// Removes the VML shapes with these ids from the VML drawings of the slide, and the drawings'
// relationships that no remaining shape uses. A drawing left without shapes is let go by the slide.
// A drawing that another part also uses, or that is not well-formed XML, is left as it is.
void ForgetLegacyShapes(package::Package& pkg, const std::string& slidePart,
                        const std::vector<std::string>& spids);

} // namespace office::model
