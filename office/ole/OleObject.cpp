// Embedded and linked objects in a p:graphicFrame, in the three stored forms: mc:AlternateContent with
// the object in mc:Choice and a picture in mc:Fallback, the older form whose preview lives in the slide's
// VML drawing (found by spid), and a bare p:oleObj carrying its own p:pic.

#include "office/model/SlideFeatures.h"

#include <cstring>
#include <vector>

namespace office {

namespace {

constexpr const char* kOleUri = "http://schemas.openxmlformats.org/presentationml/2006/ole";
constexpr const char* kStrictOleUri = "http://purl.oclc.org/ooxml/presentationml/ole";

std::vector<pugi::xml_node> OleElements(pugi::xml_node graphicData) {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node child : graphicData.children()) {
        if (std::strcmp(child.name(), "p:oleObj") == 0) {
            out.push_back(child);
        } else if (std::strcmp(child.name(), "mc:AlternateContent") == 0) {
            for (pugi::xml_node branch : child.children())
                for (pugi::xml_node ole : branch.children("p:oleObj"))
                    out.push_back(ole);
        }
    }
    return out;
}

} // namespace

std::optional<OleObjectInfo> ReadOleObject(pugi::xml_node graphicFrame) {
    if (std::strcmp(graphicFrame.name(), "p:graphicFrame") != 0)
        return std::nullopt;
    pugi::xml_node graphicData = graphicFrame.child("a:graphic").child("a:graphicData");
    std::string uri = graphicData.attribute("uri").value();
    if (uri != kOleUri && uri != kStrictOleUri)
        return std::nullopt;
    std::vector<pugi::xml_node> objects = OleElements(graphicData);
    if (objects.empty())
        return std::nullopt;
    OleObjectInfo info;
    for (pugi::xml_node ole : objects) {
        if (info.progId.empty())
            info.progId = ole.attribute("progId").value();
        if (info.objectRelId.empty())
            info.objectRelId = ole.attribute("r:id").value();
        if (info.vmlShapeId.empty())
            info.vmlShapeId = ole.attribute("spid").value();
        if (info.previewRelId.empty())
            info.previewRelId =
                ole.child("p:pic").child("p:blipFill").child("a:blip").attribute("r:embed").value();
        if (ole.child("p:link"))
            info.linked = true;
    }
    // The VML drawing matters only when no picture of its own carries the preview.
    if (!info.previewRelId.empty())
        info.vmlShapeId.clear();
    return info;
}

} // namespace office
