#pragma once

// Navigation and small edits of a slide's shape tree (p:cSld/p:spTree) on its pugixml document.
// Elements are matched by their usual prefixes (p:, a:, r:, mc:), which is how every producer of
// transitional packages writes them.

#include "office/model/Geometry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace office::model {

pugi::xml_node SpTree(pugi::xml_node slideRoot);

// p:sp, p:pic, p:grpSp, p:graphicFrame, p:cxnSp, p:contentPart, or an mc:AlternateContent holding one.
bool IsShapeElement(pugi::xml_node node);
// The shape a tree element stands for: itself, or the first branch of an mc:AlternateContent.
pugi::xml_node LiveShape(pugi::xml_node element);
// Every branch of an element (one for a plain shape), so edits reach the choice and the fallback.
std::vector<pugi::xml_node> ShapeBranches(pugi::xml_node element);
// The shape elements directly inside a container (spTree or grpSp), back to front.
std::vector<pugi::xml_node> ShapeChildren(pugi::xml_node container);

pugi::xml_node CNvPr(pugi::xml_node shape);
std::uint32_t ShapeIdOf(pugi::xml_node shape); // 0 when it has none

struct ShapeLocation {
    pugi::xml_node element;             // as it sits in its container (maybe an mc:AlternateContent)
    pugi::xml_node shape;               // the live shape element
    std::vector<pugi::xml_node> groups; // enclosing p:grpSp elements, outermost first
};

// Pre-order walk: a group comes before its members. Return false from the callback to stop.
void WalkShapes(pugi::xml_node spTree, const std::function<bool(const ShapeLocation&)>& visit);
std::optional<ShapeLocation> FindShape(pugi::xml_node spTree, std::uint32_t id);
// The highest cNvPr id anywhere in the slide (groups and alternate branches included).
std::uint32_t MaxShapeId(pugi::xml_node slideRoot);
bool NameInUse(pugi::xml_node spTree, const std::string& name);

// The element's frame in its container's space, in EMU; nullopt when it has no xfrm.
pugi::xml_node XfrmOf(pugi::xml_node shape);
std::optional<Frame> ReadFrame(pugi::xml_node shape);
// Writes off/ext/rot/flips (creating the xfrm in schema position when needed). A group's
// chOff/chExt are left as they are.
void WriteFrame(pugi::xml_node shape, const Frame& emu);
GroupFrame ReadGroupFrame(pugi::xml_node grpSp);
void WriteChildBox(pugi::xml_node grpSp, const Box& emu);

// Where a new shape goes so that it is frontmost: before the container's p:extLst, if any.
pugi::xml_node InsertShapeAtFront(pugi::xml_node container, pugi::xml_node source);

// Every value of an r:* attribute (r:id, r:embed, r:link, r:pict, r:dm...) in the subtree.
std::vector<std::string> RelationshipRefs(pugi::xml_node subtree);
// Renames r:* attribute values through the map, each attribute at most once.
void RemapRelationshipRefs(pugi::xml_node subtree,
                           const std::function<std::optional<std::string>(const std::string&)>& map);

} // namespace office::model
