#pragma once

// The structure of a slide's timing: the p:timing branches (one, or one per mc:AlternateContent
// branch), the main sequence's three levels (click group, sub-group, effect) and the edits that keep
// that structure valid after effects were added, moved or removed.

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace office::timing {

// Every p:timing of the slide: the plain one, or those in each branch of an mc:AlternateContent.
std::vector<pugi::xml_node> TimingBranches(pugi::xml_node slideRoot);
// The one p:timing edited when a slide has none yet (created before p:extLst).
pugi::xml_node CreateTiming(pugi::xml_node slideRoot);

pugi::xml_node RootCTn(pugi::xml_node timing);    // nodeType tmRoot
pugi::xml_node MainSeqCTn(pugi::xml_node timing); // nodeType mainSeq, or null
// The main sequence, created (with its previous/next conditions) when missing.
pugi::xml_node EnsureMainSeqCTn(pugi::xml_node timing);

enum class Trigger { OnClick, WithPrevious, AfterPrevious };

struct EffectPlace {
    pugi::xml_node clickGroup; // p:par
    pugi::xml_node subGroup;   // p:par
    pugi::xml_node effect;     // p:par
    Trigger trigger = Trigger::OnClick;
    bool firstInClickGroup = false;
    bool firstInSubGroup = false;
};

// The effects of the main sequence in playing order.
std::vector<EffectPlace> MainEffects(pugi::xml_node timing);
std::vector<pugi::xml_node> MainEffectNodes(pugi::xml_node timing);
int ClickGroupCount(pugi::xml_node timing);

pugi::xml_node EffectCTn(pugi::xml_node effectPar);
// The effect of another timing branch that stands for `effect` of the first branch (at `position` of
// `count` effects there): the one with the same time node id, else the one at the same position when both
// branches hold as many effects; null when neither applies.
pugi::xml_node Counterpart(pugi::xml_node timing, pugi::xml_node effect, std::size_t position,
                           std::size_t count);
// The shape the effect animates (the first p:spTgt inside it); 0 when none.
std::uint32_t EffectTarget(pugi::xml_node effectPar);
bool EffectTargets(pugi::xml_node node, std::uint32_t shapeId);

const char* TriggerNodeType(Trigger trigger);
std::optional<Trigger> TriggerFromNodeType(const std::string& nodeType);

// Rebuilds click groups and sub-groups from the effects' own triggers, keeping every group whose
// first effect is unchanged (ids, conditions, delays) and dropping groups left empty.
void Regroup(pugi::xml_node timing);
// Before an effect is removed. Every effect keeps its own trigger, so an effect "with" or "after" the
// removed one joins the effect before it. Only the sequence's first click effect hands its click to the
// effect after it, which would otherwise start by itself with the slide.
void HandOverGroupStart(pugi::xml_node timing, pugi::xml_node effectPar);

std::uint32_t MaxTimeNodeId(pugi::xml_node timing);
// Gives every p:cTn in the subtree a fresh id starting at nextId, updating p:tn references to them.
void RenumberTimeNodes(pugi::xml_node subtree, std::uint32_t& nextId);

// Milliseconds a time node runs, estimated from its own dur or its children (used for the delay of
// a sub-group that had to be made); without its own repeats, one run.
double EstimateDurationMs(pugi::xml_node cTn, bool withRepeats = true);
// The delay of the first start condition in milliseconds (0 when none or not a number).
double StartDelayMs(pugi::xml_node cTn);
void SetStartDelayMs(pugi::xml_node cTn, double ms);

// Build list entries (p:bldP, p:bldGraphic...) for a shape and group id.
pugi::xml_node BuildEntry(pugi::xml_node timing, std::uint32_t shapeId, const std::string& grpId);
std::vector<pugi::xml_node> BuildEntries(pugi::xml_node timing, std::uint32_t shapeId);
pugi::xml_node EnsureBuildList(pugi::xml_node timing);

// Removes a main sequence without effects, a timing left without content, an empty build list.
void PruneTimings(pugi::xml_node slideRoot);

} // namespace office::timing
