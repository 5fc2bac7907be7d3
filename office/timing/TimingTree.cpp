#include "office/timing/TimingTree.h"

#include "office/timing/XmlUtil.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace office::timing {

using xml::IntAttr;
using xml::SetAttr;

std::vector<pugi::xml_node> TimingBranches(pugi::xml_node slideRoot) {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node child : slideRoot.children()) {
        if (std::strcmp(child.name(), "p:timing") == 0) {
            out.push_back(child);
        } else if (std::strcmp(child.name(), "mc:AlternateContent") == 0) {
            for (pugi::xml_node branch : child.children())
                if (pugi::xml_node timing = branch.child("p:timing"))
                    out.push_back(timing);
        }
    }
    return out;
}

pugi::xml_node CreateTiming(pugi::xml_node slideRoot) {
    return xml::InsertChildBefore(slideRoot, "p:timing", {"p:extLst"});
}

pugi::xml_node RootCTn(pugi::xml_node timing) {
    return timing.child("p:tnLst").child("p:par").child("p:cTn");
}

pugi::xml_node MainSeqCTn(pugi::xml_node timing) {
    pugi::xml_node root = RootCTn(timing);
    for (pugi::xml_node seq : root.child("p:childTnLst").children("p:seq")) {
        pugi::xml_node cTn = seq.child("p:cTn");
        if (std::strcmp(cTn.attribute("nodeType").value(), "mainSeq") == 0)
            return cTn;
    }
    return {};
}

namespace {

void AppendSlideCondition(pugi::xml_node list, const char* evt) {
    pugi::xml_node cond = list.append_child("p:cond");
    cond.append_attribute("evt") = evt;
    cond.append_attribute("delay") = "0";
    cond.append_child("p:tgtEl").append_child("p:sldTgt");
}

pugi::xml_node ChildCTnOf(pugi::xml_node child) {
    if (pugi::xml_node cTn = child.child("p:cTn"))
        return cTn;
    if (pugi::xml_node cTn = child.child("p:cBhvr").child("p:cTn"))
        return cTn;
    return child.child("p:cMediaNode").child("p:cTn");
}

} // namespace

pugi::xml_node EnsureMainSeqCTn(pugi::xml_node timing) {
    if (pugi::xml_node existing = MainSeqCTn(timing))
        return existing;
    std::uint32_t nextId = MaxTimeNodeId(timing) + 1;
    pugi::xml_node root = RootCTn(timing);
    if (!root) {
        pugi::xml_node tnLst = xml::EnsureChild(timing, "p:tnLst", {"p:bldLst", "p:extLst"});
        root = tnLst.append_child("p:par").append_child("p:cTn");
        root.append_attribute("id") = nextId++;
        root.append_attribute("dur") = "indefinite";
        root.append_attribute("restart") = "never";
        root.append_attribute("nodeType") = "tmRoot";
    }
    pugi::xml_node list = xml::EnsureChild(root, "p:childTnLst", {"p:subTnLst"});
    pugi::xml_node seq = list.prepend_child("p:seq");
    seq.append_attribute("concurrent") = "1";
    seq.append_attribute("nextAc") = "seek";
    pugi::xml_node cTn = seq.append_child("p:cTn");
    cTn.append_attribute("id") = nextId++;
    cTn.append_attribute("dur") = "indefinite";
    cTn.append_attribute("nodeType") = "mainSeq";
    cTn.append_child("p:childTnLst");
    AppendSlideCondition(seq.append_child("p:prevCondLst"), "onPrev");
    AppendSlideCondition(seq.append_child("p:nextCondLst"), "onNext");
    return cTn;
}

const char* TriggerNodeType(Trigger trigger) {
    switch (trigger) {
    case Trigger::OnClick:
        return "clickEffect";
    case Trigger::WithPrevious:
        return "withEffect";
    case Trigger::AfterPrevious:
        return "afterEffect";
    }
    return "clickEffect";
}

std::optional<Trigger> TriggerFromNodeType(const std::string& nodeType) {
    if (nodeType == "clickEffect")
        return Trigger::OnClick;
    if (nodeType == "withEffect")
        return Trigger::WithPrevious;
    if (nodeType == "afterEffect")
        return Trigger::AfterPrevious;
    return std::nullopt;
}

std::vector<EffectPlace> MainEffects(pugi::xml_node timing) {
    std::vector<EffectPlace> out;
    pugi::xml_node main = MainSeqCTn(timing);
    for (pugi::xml_node clickGroup : main.child("p:childTnLst").children("p:par")) {
        bool firstInClick = true;
        for (pugi::xml_node subGroup : clickGroup.child("p:cTn").child("p:childTnLst").children("p:par")) {
            bool firstInSub = true;
            for (pugi::xml_node effect : subGroup.child("p:cTn").child("p:childTnLst").children("p:par")) {
                EffectPlace place;
                place.clickGroup = clickGroup;
                place.subGroup = subGroup;
                place.effect = effect;
                place.firstInClickGroup = firstInClick;
                place.firstInSubGroup = firstInSub;
                auto stated = TriggerFromNodeType(EffectCTn(effect).attribute("nodeType").value());
                if (stated)
                    place.trigger = *stated;
                else
                    place.trigger = firstInClick
                                        ? Trigger::OnClick
                                        : (firstInSub ? Trigger::AfterPrevious : Trigger::WithPrevious);
                out.push_back(place);
                firstInClick = false;
                firstInSub = false;
            }
        }
    }
    return out;
}

std::vector<pugi::xml_node> MainEffectNodes(pugi::xml_node timing) {
    std::vector<pugi::xml_node> out;
    for (const EffectPlace& place : MainEffects(timing))
        out.push_back(place.effect);
    return out;
}

int ClickGroupCount(pugi::xml_node timing) {
    int count = 0;
    for (const EffectPlace& place : MainEffects(timing))
        if (place.firstInClickGroup)
            ++count;
    return count;
}

pugi::xml_node EffectCTn(pugi::xml_node effectPar) {
    return effectPar.child("p:cTn");
}

pugi::xml_node Counterpart(pugi::xml_node timing, pugi::xml_node effect, std::size_t position,
                           std::size_t count) {
    std::vector<pugi::xml_node> effects = MainEffectNodes(timing);
    std::string id = EffectCTn(effect).attribute("id").value();
    if (!id.empty())
        for (pugi::xml_node candidate : effects)
            if (id == EffectCTn(candidate).attribute("id").value())
                return candidate;
    if (effects.size() == count && position < count)
        return effects[position];
    return {};
}

std::uint32_t EffectTarget(pugi::xml_node effectPar) {
    for (pugi::xml_node target : xml::Descendants(effectPar, "p:spTgt")) {
        auto id = IntAttr(target, "spid");
        if (id && *id > 0)
            return static_cast<std::uint32_t>(*id);
    }
    return 0;
}

bool EffectTargets(pugi::xml_node node, std::uint32_t shapeId) {
    for (pugi::xml_node target : xml::Descendants(node, "p:spTgt")) {
        auto id = IntAttr(target, "spid");
        if (id && *id == static_cast<long long>(shapeId))
            return true;
    }
    return false;
}

std::uint32_t MaxTimeNodeId(pugi::xml_node timing) {
    long long maxId = 0;
    for (pugi::xml_node cTn : xml::Descendants(timing, "p:cTn"))
        maxId = std::max(maxId, IntAttr(cTn, "id").value_or(0));
    return static_cast<std::uint32_t>(maxId);
}

void RenumberTimeNodes(pugi::xml_node subtree, std::uint32_t& nextId) {
    std::map<long long, std::uint32_t> renamed;
    std::vector<pugi::xml_node> nodes = xml::Descendants(subtree, "p:cTn");
    if (std::strcmp(subtree.name(), "p:cTn") == 0)
        nodes.insert(nodes.begin(), subtree);
    for (pugi::xml_node cTn : nodes) {
        auto old = IntAttr(cTn, "id");
        std::uint32_t fresh = nextId++;
        if (old)
            renamed[*old] = fresh;
        xml::SetIntAttr(cTn, "id", fresh);
    }
    for (pugi::xml_node tn : xml::Descendants(subtree, "p:tn")) {
        auto val = IntAttr(tn, "val");
        if (val && renamed.count(*val))
            xml::SetIntAttr(tn, "val", renamed[*val]);
    }
}

double StartDelayMs(pugi::xml_node cTn) {
    pugi::xml_node cond = cTn.child("p:stCondLst").child("p:cond");
    return xml::NumberAttr(cond, "delay").value_or(0.0);
}

void SetStartDelayMs(pugi::xml_node cTn, double ms) {
    pugi::xml_node list = xml::EnsureChild(
        cTn, "p:stCondLst", {"p:endCondLst", "p:endSync", "p:iterate", "p:childTnLst", "p:subTnLst"});
    pugi::xml_node cond = list.child("p:cond");
    if (!cond)
        cond = list.append_child("p:cond");
    SetAttr(cond, "delay", xml::FormatNumber(ms));
}

double EstimateDurationMs(pugi::xml_node cTn, bool withRepeats) {
    double repeat = 1.0;
    if (auto count = xml::NumberAttr(cTn, "repeatCount"); count && withRepeats)
        repeat = *count / 1000.0;
    if (auto dur = xml::NumberAttr(cTn, "dur"))
        return *dur * repeat;
    double longest = 0;
    for (pugi::xml_node child : cTn.child("p:childTnLst").children()) {
        pugi::xml_node inner = ChildCTnOf(child);
        if (inner)
            longest = std::max(longest, StartDelayMs(inner) + EstimateDurationMs(inner));
    }
    return longest * repeat;
}

namespace {

pugi::xml_node NewGroup(pugi::xml_node list, pugi::xml_node original, std::uint32_t& nextId, double delayMs,
                        bool keepDelay) {
    pugi::xml_node par = list.append_child("p:par");
    pugi::xml_node cTn = par.append_child("p:cTn");
    if (original) {
        pugi::xml_node source = original.child("p:cTn");
        for (pugi::xml_attribute attr : source.attributes())
            cTn.append_attribute(attr.name()) = attr.value();
        for (pugi::xml_node child : source.children())
            if (std::strcmp(child.name(), "p:childTnLst") != 0 &&
                std::strcmp(child.name(), "p:subTnLst") != 0)
                cTn.append_copy(child);
        if (!keepDelay)
            SetStartDelayMs(cTn, delayMs);
    } else {
        cTn.append_attribute("id") = nextId++;
        cTn.append_attribute("fill") = "hold";
        pugi::xml_node cond = cTn.append_child("p:stCondLst").append_child("p:cond");
        if (delayMs < 0)
            cond.append_attribute("delay") = "indefinite";
        else
            cond.append_attribute("delay") = xml::FormatNumber(delayMs).c_str();
    }
    cTn.append_child("p:childTnLst");
    if (original)
        if (pugi::xml_node sub = original.child("p:cTn").child("p:subTnLst"))
            cTn.append_copy(sub);
    return par;
}

// The first click group starts by itself when its first effect is not a click effect.
void FixAutoStart(pugi::xml_node mainCTn, pugi::xml_node firstGroup, Trigger firstTrigger) {
    pugi::xml_node cTn = firstGroup.child("p:cTn");
    pugi::xml_node list = cTn.child("p:stCondLst");
    pugi::xml_node onBegin;
    for (pugi::xml_node cond : list.children("p:cond"))
        if (std::strcmp(cond.attribute("evt").value(), "onBegin") == 0)
            onBegin = cond;
    if (firstTrigger == Trigger::OnClick) {
        if (onBegin)
            list.remove_child(onBegin);
        return;
    }
    if (onBegin)
        return;
    if (!list)
        list = cTn.prepend_child("p:stCondLst");
    if (!list.child("p:cond")) {
        list.append_child("p:cond").append_attribute("delay") = "indefinite";
    }
    pugi::xml_node cond = list.append_child("p:cond");
    cond.append_attribute("evt") = "onBegin";
    cond.append_attribute("delay") = "0";
    cond.append_child("p:tn").append_attribute("val") = mainCTn.attribute("id").value();
}

} // namespace

void Regroup(pugi::xml_node timing) {
    pugi::xml_node main = MainSeqCTn(timing);
    if (!main)
        return;
    pugi::xml_node list = xml::EnsureChild(main, "p:childTnLst", {"p:subTnLst"});
    std::vector<EffectPlace> places = MainEffects(timing);
    std::vector<pugi::xml_node> oldGroups;
    for (pugi::xml_node child : list.children())
        oldGroups.push_back(child);
    std::uint32_t nextId = MaxTimeNodeId(timing) + 1;

    pugi::xml_node clickGroup, subGroup;
    double subDelay = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const EffectPlace& place = places[i];
        bool startClick = i == 0 || place.trigger == Trigger::OnClick;
        bool startSub = startClick || place.trigger == Trigger::AfterPrevious;
        if (startClick) {
            clickGroup = NewGroup(list, place.firstInClickGroup ? place.clickGroup : pugi::xml_node(), nextId,
                                  -1, true);
            subDelay = 0;
        }
        if (startSub) {
            pugi::xml_node groupList = clickGroup.child("p:cTn").child("p:childTnLst");
            double delay = 0;
            bool keep = false;
            if (!startClick) {
                double previousEnd = subDelay + EstimateDurationMs(subGroup.child("p:cTn"));
                double stated = StartDelayMs(place.subGroup.child("p:cTn"));
                keep = place.firstInSubGroup && !place.firstInClickGroup && stated >= subDelay;
                delay = keep ? stated : previousEnd;
            }
            subGroup = NewGroup(groupList, place.firstInSubGroup ? place.subGroup : pugi::xml_node(), nextId,
                                delay, keep);
            subDelay = delay;
        }
        subGroup.child("p:cTn").child("p:childTnLst").append_move(place.effect);
    }
    for (pugi::xml_node old : oldGroups)
        list.remove_child(old);
    if (!places.empty())
        FixAutoStart(main, list.child("p:par"), places.front().trigger);
}

void HandOverGroupStart(pugi::xml_node timing, pugi::xml_node effectPar) {
    std::vector<EffectPlace> places = MainEffects(timing);
    if (places.size() < 2 || places[0].effect != effectPar || places[0].trigger != Trigger::OnClick)
        return;
    if (places[1].clickGroup == places[0].clickGroup)
        SetAttr(EffectCTn(places[1].effect), "nodeType", TriggerNodeType(Trigger::OnClick));
}

std::vector<pugi::xml_node> BuildEntries(pugi::xml_node timing, std::uint32_t shapeId) {
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node entry : timing.child("p:bldLst").children()) {
        auto spid = IntAttr(entry, "spid");
        if (spid && *spid == static_cast<long long>(shapeId))
            out.push_back(entry);
    }
    return out;
}

pugi::xml_node BuildEntry(pugi::xml_node timing, std::uint32_t shapeId, const std::string& grpId) {
    for (pugi::xml_node entry : BuildEntries(timing, shapeId))
        if (grpId == entry.attribute("grpId").value())
            return entry;
    return {};
}

pugi::xml_node EnsureBuildList(pugi::xml_node timing) {
    return xml::EnsureChild(timing, "p:bldLst", {"p:extLst"});
}

namespace {
bool HasElementChild(pugi::xml_node node) {
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_element)
            return true;
    return false;
}
} // namespace

void PruneTimings(pugi::xml_node slideRoot) {
    for (pugi::xml_node timing : TimingBranches(slideRoot)) {
        pugi::xml_node main = MainSeqCTn(timing);
        if (main && MainEffects(timing).empty())
            main.parent().parent().remove_child(main.parent());
        pugi::xml_node build = timing.child("p:bldLst");
        if (build && !HasElementChild(build))
            timing.remove_child(build);
        if (!HasElementChild(RootCTn(timing).child("p:childTnLst"))) {
            pugi::xml_node holder = timing.parent();
            holder.remove_child(timing);
            if (std::strcmp(holder.name(), "mc:Choice") == 0 ||
                std::strcmp(holder.name(), "mc:Fallback") == 0) {
                pugi::xml_node alternate = holder.parent();
                bool anyLeft = false;
                for (pugi::xml_node branch : alternate.children())
                    anyLeft = anyLeft || HasElementChild(branch);
                if (!anyLeft)
                    alternate.parent().remove_child(alternate);
            }
        }
    }
}

} // namespace office::timing
