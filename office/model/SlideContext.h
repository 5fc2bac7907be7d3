#pragma once

// What the slide-level features (timeline, action settings, connectors, legacy animation) need of
// the slide they live on. The slide model implements it; the feature modules only edit the slide's
// XML through it and never hold shapes of their own.

#include "automation/PowerPoint.h"

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

namespace office {

struct Relationship {
    std::string id;
    std::string type;
    std::string target; // as written in the rels file (relative for internal targets)
    bool external = false;
};

class SlideContext {
public:
    virtual ~SlideContext() = default;

    // The p:sld root of the slide part.
    virtual pugi::xml_node SlideRoot() = 0;
    // The element of the shape with this cNvPr id (p:sp, p:pic, p:grpSp, p:graphicFrame, p:cxnSp), or null.
    virtual pugi::xml_node ShapeNode(std::uint32_t shapeId) = 0;
    // The object-model shape for an id; nullptr when no shape on the slide has it.
    virtual automation::ShapePtr ShapeById(std::uint32_t shapeId) = 0;
    // The cNvPr id of a shape of this slide; throws AutomationError for a shape of another slide.
    virtual std::uint32_t ShapeIdOf(const automation::ShapePtr& shape) = 0;

    // Relationships of the slide part.
    virtual std::optional<Relationship> FindRelationship(const std::string& id) = 0;
    // Adds a relationship and returns its new id.
    virtual std::string AddRelationship(const std::string& type, const std::string& target,
                                        bool external) = 0;
    // Removes the relationship when no r:* attribute of the slide refers to it any more.
    virtual void RemoveRelationshipIfUnused(const std::string& id) = 0;

    // Slide jumps: the rels target of the slide at a 1-based index, and back.
    virtual std::string SlideTarget(int slideIndex) = 0;
    virtual std::optional<int> SlideIndexOfTarget(const std::string& target) = 0;
    virtual int SlideIdOf(int slideIndex) = 0; // p:sldId/@id

    virtual void MarkModified() = 0;

    // The presentation's custom shows (p:custShow id and name), for actions that start one.
    virtual std::vector<std::pair<int, std::string>> CustomShows() { return {}; }
};

} // namespace office
