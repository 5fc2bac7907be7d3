// What other parts of a slide say about one shape: its effects in the timing, its build entries and the
// connectors glued to it. A shape that leaves the slide takes them along (no reference may point at a
// shape that is gone); a shape that received a fresh id takes the references that named its old id.

#include "office/model/SlideFeatures.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <cstring>

namespace office {

namespace {

bool RefersTo(pugi::xml_node node, const char* attr, std::uint32_t id) {
    auto value = xml::IntAttr(node, attr);
    return value && *value == static_cast<long long>(id);
}

pugi::xml_node EnclosingEffect(pugi::xml_node node) {
    for (pugi::xml_node up = node.parent(); up; up = up.parent())
        if (std::strcmp(up.name(), "p:par") == 0 && up.child("p:cTn").attribute("presetClass"))
            return up;
    return {};
}

bool HasPresetEffect(pugi::xml_node node) {
    for (pugi::xml_node cTn : xml::Descendants(node, "p:cTn"))
        if (cTn.attribute("presetClass"))
            return true;
    return false;
}

// Groups (p:par) whose children are all gone.
void RemoveEmptyGroups(pugi::xml_node root) {
    bool removed = true;
    while (removed) {
        removed = false;
        for (pugi::xml_node par : xml::Descendants(root, "p:par")) {
            pugi::xml_node list = par.child("p:cTn").child("p:childTnLst");
            if (list && !list.first_child() && !par.child("p:cTn").attribute("presetClass")) {
                par.parent().remove_child(par);
                removed = true;
                break;
            }
        }
    }
}

bool ForgetInTiming(pugi::xml_node timing, std::uint32_t shapeId) {
    bool changed = false;
    // Main sequence first, so the next effect keeps a sensible trigger.
    for (bool again = true; again;) {
        again = false;
        for (pugi::xml_node effect : timing::MainEffectNodes(timing)) {
            if (!timing::EffectTargets(effect, shapeId))
                continue;
            timing::HandOverGroupStart(timing, effect);
            effect.parent().remove_child(effect);
            changed = again = true;
            break;
        }
    }
    if (changed)
        timing::Regroup(timing);
    pugi::xml_node rootList = timing::RootCTn(timing).child("p:childTnLst");
    // Sequences started by a click on the shape, and media nodes of the shape.
    for (pugi::xml_node child : xml::Children(rootList, "p:seq")) {
        pugi::xml_node cTn = child.child("p:cTn");
        if (std::strcmp(cTn.attribute("nodeType").value(), "interactiveSeq") != 0)
            continue;
        bool trigger = false;
        for (const char* list : {"p:stCondLst", "p:endCondLst"})
            for (pugi::xml_node target : xml::Descendants(cTn.child(list), "p:spTgt"))
                trigger = trigger || RefersTo(target, "spid", shapeId);
        for (pugi::xml_node target : xml::Descendants(child.child("p:nextCondLst"), "p:spTgt"))
            trigger = trigger || RefersTo(target, "spid", shapeId);
        if (trigger) {
            rootList.remove_child(child);
            changed = true;
        }
    }
    for (const char* media : {"p:video", "p:audio"})
        for (pugi::xml_node node : xml::Descendants(timing, media))
            if (timing::EffectTargets(node.child("p:cMediaNode"), shapeId)) {
                node.parent().remove_child(node);
                changed = true;
            }
    // Any other effect that still animates the shape (inside interactive sequences).
    for (bool again = true; again;) {
        again = false;
        for (pugi::xml_node target : xml::Descendants(timing.child("p:tnLst"), "p:spTgt")) {
            if (!RefersTo(target, "spid", shapeId))
                continue;
            pugi::xml_node effect = EnclosingEffect(target);
            if (!effect)
                continue;
            effect.parent().remove_child(effect);
            changed = again = true;
            break;
        }
    }
    if (changed) {
        RemoveEmptyGroups(rootList);
        for (pugi::xml_node child : xml::Children(rootList, "p:seq"))
            if (std::strcmp(child.child("p:cTn").attribute("nodeType").value(), "interactiveSeq") == 0 &&
                !HasPresetEffect(child))
                rootList.remove_child(child);
    }
    for (pugi::xml_node entry : timing::BuildEntries(timing, shapeId)) {
        entry.parent().remove_child(entry);
        changed = true;
    }
    return changed;
}

pugi::xml_node PastedElement(pugi::xml_node shape) {
    pugi::xml_node top = shape;
    for (pugi::xml_node up = shape.parent(); up; up = up.parent()) {
        std::string_view name = up.name();
        if (name == "p:grpSp" || name == "mc:Choice" || name == "mc:Fallback" ||
            name == "mc:AlternateContent")
            top = up;
        else
            break;
    }
    return top;
}

void RenumberAttributes(pugi::xml_node subtree, std::uint32_t oldId, std::uint32_t newId,
                        std::initializer_list<std::pair<const char*, const char*>> references) {
    for (const auto& [element, attr] : references)
        for (pugi::xml_node node : xml::Descendants(subtree, element))
            if (RefersTo(node, attr, oldId))
                xml::SetIntAttr(node, attr, newId);
}

} // namespace

void ForgetShape(SlideContext& slide, std::uint32_t shapeId) {
    pugi::xml_node root = slide.SlideRoot();
    bool changed = false;
    for (pugi::xml_node timing : timing::TimingBranches(root))
        changed = ForgetInTiming(timing, shapeId) || changed;
    timing::PruneTimings(root);
    for (const char* end : {"a:stCxn", "a:endCxn"})
        for (pugi::xml_node glue : xml::Descendants(root, end))
            if (RefersTo(glue, "id", shapeId)) {
                glue.parent().remove_child(glue);
                changed = true;
            }
    if (changed)
        slide.MarkModified();
}

// Glue inside the pasted element always follows the new id. Timing and connectors elsewhere on the slide
// follow only when no shape keeps the old id: otherwise they belong to that shape.
void RenumberShape(SlideContext& slide, std::uint32_t oldId, std::uint32_t newId) {
    if (oldId == newId)
        return;
    if (pugi::xml_node shape = slide.ShapeNode(newId))
        RenumberAttributes(PastedElement(shape), oldId, newId, {{"a:stCxn", "id"}, {"a:endCxn", "id"}});
    if (!slide.ShapeNode(oldId))
        RenumberAttributes(slide.SlideRoot(), oldId, newId,
                           {{"a:stCxn", "id"},
                            {"a:endCxn", "id"},
                            {"p:spTgt", "spid"},
                            {"p:inkTgt", "spid"},
                            {"p:bldP", "spid"},
                            {"p:bldGraphic", "spid"},
                            {"p:bldDgm", "spid"},
                            {"p:bldOleChart", "spid"}});
    slide.MarkModified();
}

} // namespace office
