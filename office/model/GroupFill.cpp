#include "office/model/GroupFill.h"

#include <cstring>
#include <vector>

namespace office::model {

namespace {

constexpr const char* kGroupFill = "a:grpFill";

bool IsFill(pugi::xml_node n) {
    for (const char* name : {"a:noFill", "a:solidFill", "a:gradFill", "a:blipFill", "a:pattFill", kGroupFill})
        if (std::strcmp(n.name(), name) == 0)
            return true;
    return false;
}

// The fill among the children of p:spPr or p:grpSpPr; null when none is given.
pugi::xml_node FillOf(pugi::xml_node properties) {
    for (pugi::xml_node child : properties.children())
        if (IsFill(child))
            return child;
    return {};
}

bool IsGroupFill(pugi::xml_node fill) {
    return std::strcmp(fill.name(), kGroupFill) == 0;
}

// Whether the fill this a:grpFill asks for comes from `group`: the nearest enclosing group decides
// unless its own fill is a:grpFill, which hands the question outwards.
bool TakesFillFrom(pugi::xml_node grpFill, pugi::xml_node group) {
    pugi::xml_node properties = grpFill.parent();
    if (std::strcmp(properties.name(), "p:spPr") != 0 && std::strcmp(properties.name(), "p:grpSpPr") != 0)
        return false; // text and line fills are not the shape's fill
    pugi::xml_node owner = properties.parent();
    if (owner == group)
        return false;
    for (pugi::xml_node n = owner.parent(); n; n = n.parent()) {
        if (n == group)
            return true;
        if (std::strcmp(n.name(), "p:grpSp") != 0)
            continue; // mc:AlternateContent and its branches
        pugi::xml_node fill = FillOf(n.child("p:grpSpPr"));
        if (!fill || !IsGroupFill(fill))
            return false;
    }
    return false;
}

} // namespace

bool LockedAgainstUngrouping(pugi::xml_node grpSp) {
    return grpSp.child("p:nvGrpSpPr")
        .child("p:cNvGrpSpPr")
        .child("a:grpSpLocks")
        .attribute("noUngrp")
        .as_bool();
}

void ResolveGroupFills(pugi::xml_node grpSp) {
    pugi::xml_node own = FillOf(grpSp.child("p:grpSpPr"));
    if (own && IsGroupFill(own))
        return;
    pugi::xml_document none;
    if (!own)
        own = none.append_child("a:noFill");

    std::vector<pugi::xml_node> inherited;
    for (pugi::xpath_node n : grpSp.select_nodes(".//a:grpFill"))
        if (TakesFillFrom(n.node(), grpSp))
            inherited.push_back(n.node());
    for (pugi::xml_node fill : inherited) {
        pugi::xml_node properties = fill.parent();
        properties.insert_copy_before(own, fill);
        properties.remove_child(fill);
    }
}

} // namespace office::model
