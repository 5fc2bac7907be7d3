#pragma once

// Slide-level features that live beside the shape tree: the animation timeline, action settings,
// connector glue, the older per-shape animation settings, and embedded objects. The slide model
// creates these objects on demand; each edits the slide XML through its SlideContext.

#include "automation/PowerPoint.h"
#include "office/model/SlideContext.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <string>

namespace office {

std::shared_ptr<automation::ITimeLine> MakeTimeLine(std::shared_ptr<SlideContext> slide);
std::shared_ptr<automation::IActionSetting> MakeActionSetting(std::shared_ptr<SlideContext> slide,
                                                              std::uint32_t shapeId, int index);
std::shared_ptr<automation::IConnectorFormat> MakeConnectorFormat(std::shared_ptr<SlideContext> slide,
                                                                  std::uint32_t shapeId);
std::shared_ptr<automation::IAnimationSettings> MakeAnimationSettings(std::shared_ptr<SlideContext> slide,
                                                                      std::uint32_t shapeId);

// Called before a shape's element leaves the slide: its main-sequence effects and build entries go,
// and connectors glued to it come loose, as they do in the office application.
void ForgetShape(SlideContext& slide, std::uint32_t shapeId);

// Called after a pasted shape received a fresh id, so references inside the pasted XML that named
// the old id can follow.
void RenumberShape(SlideContext& slide, std::uint32_t oldId, std::uint32_t newId);

// An embedded or linked object in a p:graphicFrame, in any of its three stored forms.
struct OleObjectInfo {
    std::string progId;
    bool linked = false;
    std::string objectRelId;  // r:id of the embedded/linked object ("" when none)
    std::string previewRelId; // r:embed of the preview picture ("" when none)
    std::string vmlShapeId;   // spid of the legacy VML drawing form ("" when none)
};
std::optional<OleObjectInfo> ReadOleObject(pugi::xml_node graphicFrame);

} // namespace office
