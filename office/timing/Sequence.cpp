// The slide's timeline and its main sequence: reading effects in playing order, adding an effect for
// a shape at a position, and removing one, in every timing branch of the slide.

#include "automation/AutomationError.h"
#include "office/model/SlideFeatures.h"
#include "office/timing/EffectCatalog.h"
#include "office/timing/EffectHandle.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <cstring>
#include <set>

namespace office::timing {

using automation::AutomationError;

int EffectHandle::Position(const char* member) const {
    std::vector<pugi::xml_node> timings = TimingBranches(slide_->SlideRoot());
    if (!timings.empty()) {
        std::vector<pugi::xml_node> effects = MainEffectNodes(timings.front());
        for (std::size_t i = 0; i < effects.size(); ++i)
            if (effects[i] == primary_)
                return static_cast<int>(i);
    }
    throw AutomationError(member, "the effect is no longer in the main sequence");
}

pugi::xml_node EffectHandle::Primary(const char* member) const {
    Position(member);
    return primary_;
}

std::vector<pugi::xml_node> EffectHandle::Branches(const char* member) const {
    std::size_t position = static_cast<std::size_t>(Position(member));
    std::vector<pugi::xml_node> timings = TimingBranches(slide_->SlideRoot());
    std::size_t count = MainEffectNodes(timings.front()).size();
    std::vector<pugi::xml_node> out;
    for (pugi::xml_node timing : timings)
        if (pugi::xml_node effect = Counterpart(timing, primary_, position, count))
            out.push_back(effect);
    return out;
}

void EffectHandle::ForEachBranch(const char* member, const std::function<void(pugi::xml_node)>& edit) const {
    for (pugi::xml_node effect : Branches(member))
        edit(effect);
    slide_->MarkModified();
}

namespace {

int EffectTypeOfNode(pugi::xml_node effectPar) {
    pugi::xml_node cTn = EffectCTn(effectPar);
    return EffectTypeOf(cTn.attribute("presetClass").value(), xml::IntAttr(cTn, "presetID"));
}

// A build entry still matters while some effect of the shape carries its group id.
bool GroupStillUsed(pugi::xml_node timing, std::uint32_t shapeId, const std::string& grpId) {
    for (pugi::xml_node cTn : xml::Descendants(timing.child("p:tnLst"), "p:cTn")) {
        if (grpId != cTn.attribute("grpId").value() || !cTn.attribute("presetClass"))
            continue;
        if (EffectTarget(cTn.parent()) == shapeId)
            return true;
    }
    return false;
}

std::string FreshGroupId(const std::vector<pugi::xml_node>& timings, std::uint32_t shapeId) {
    std::set<long long> used;
    for (pugi::xml_node timing : timings) {
        for (pugi::xml_node cTn : xml::Descendants(timing.child("p:tnLst"), "p:cTn"))
            if (auto grp = xml::IntAttr(cTn, "grpId");
                grp && cTn.attribute("presetClass") && EffectTarget(cTn.parent()) == shapeId)
                used.insert(*grp);
        for (pugi::xml_node entry : BuildEntries(timing, shapeId))
            if (auto grp = xml::IntAttr(entry, "grpId"))
                used.insert(*grp);
    }
    long long fresh = 0;
    while (used.count(fresh))
        ++fresh;
    return std::to_string(fresh);
}

// Points every shape target of a copied effect at the new shape; parts of a shape (paragraphs,
// chart elements, sub-shapes) only make sense on the shape they came from, so whole-shape targets remain
// unless the new shape has text for a paragraph target.
void Retarget(pugi::xml_node effect, std::uint32_t shapeId, bool hasText) {
    for (pugi::xml_node target : xml::Descendants(effect, "p:spTgt")) {
        xml::SetIntAttr(target, "spid", shapeId);
        for (pugi::xml_node child = target.first_child(); child;) {
            pugi::xml_node next = child.next_sibling();
            if (!(hasText && std::strcmp(child.name(), "p:txEl") == 0))
                target.remove_child(child);
            child = next;
        }
    }
}

void AddBuildEntry(pugi::xml_node timing, pugi::xml_node pattern, std::uint32_t shapeId,
                   const std::string& grpId, pugi::xml_node shapeNode) {
    bool hasText = xml::HasTextBody(shapeNode);
    pugi::xml_node list = EnsureBuildList(timing);
    pugi::xml_node entry;
    if (pattern) {
        entry = list.append_copy(pattern);
        if (std::strcmp(entry.name(), "p:bldP") != 0 &&
            std::strcmp(shapeNode.name(), "p:graphicFrame") != 0) {
            entry.set_name("p:bldP");
            while (entry.first_child())
                entry.remove_child(entry.first_child());
        }
        if (!hasText)
            for (const char* textOnly : {"build", "bldLvl", "rev", "uiExpand", "advAuto"})
                entry.remove_attribute(textOnly);
    } else {
        entry = list.append_child("p:bldP");
    }
    xml::SetIntAttr(entry, "spid", shapeId);
    xml::SetAttr(entry, "grpId", grpId);
    if (!pattern && hasText)
        xml::SetAttr(entry, "animBg", "1");
}

pugi::xml_node Scaffold(pugi::xml_node mainCTn, std::uint32_t& nextId) {
    pugi::xml_node list = xml::EnsureChild(mainCTn, "p:childTnLst", {"p:subTnLst"});
    pugi::xml_node click = list.append_child("p:par").append_child("p:cTn");
    click.append_attribute("id") = nextId++;
    click.append_attribute("fill") = "hold";
    click.append_child("p:stCondLst").append_child("p:cond").append_attribute("delay") = "indefinite";
    pugi::xml_node sub = click.append_child("p:childTnLst").append_child("p:par").append_child("p:cTn");
    sub.append_attribute("id") = nextId++;
    sub.append_attribute("fill") = "hold";
    sub.append_child("p:stCondLst").append_child("p:cond").append_attribute("delay") = "0";
    return sub.append_child("p:childTnLst");
}

class Sequence final : public automation::ISequence {
public:
    explicit Sequence(std::shared_ptr<SlideContext> slide) : slide_(std::move(slide)) {}

    int Count() override {
        std::vector<pugi::xml_node> timings = TimingBranches(slide_->SlideRoot());
        return timings.empty() ? 0 : static_cast<int>(MainEffectNodes(timings.front()).size());
    }

    std::shared_ptr<automation::IEffect> Item(int index) override {
        std::vector<pugi::xml_node> timings = TimingBranches(slide_->SlideRoot());
        std::vector<pugi::xml_node> effects;
        if (!timings.empty())
            effects = MainEffectNodes(timings.front());
        if (index < 1 || index > static_cast<int>(effects.size()))
            throw AutomationError("Item", "no effect at index " + std::to_string(index));
        return MakeEffect(EffectHandle(slide_, effects[static_cast<std::size_t>(index - 1)]));
    }

    std::shared_ptr<automation::IEffect> AddEffect(std::shared_ptr<automation::IShape> shape, int effectId,
                                                   int index) override {
        if (!shape)
            throw AutomationError("AddEffect", "no shape");
        const std::uint32_t shapeId = slide_->ShapeIdOf(shape);
        pugi::xml_node shapeNode = slide_->ShapeNode(shapeId);
        if (!shapeNode)
            throw AutomationError("AddEffect", "the shape is not on this slide");
        pugi::xml_node root = slide_->SlideRoot();
        std::vector<pugi::xml_node> timings = TimingBranches(root);
        std::vector<pugi::xml_node> primaryEffects;
        if (!timings.empty())
            primaryEffects = MainEffectNodes(timings.front());
        const int count = static_cast<int>(primaryEffects.size());
        const int position = index == -1 ? count : index - 1;
        if (position < 0 || position > count)
            throw AutomationError("AddEffect", "index out of range");

        // The pattern: the effect now at that position when it has the requested type (the effect being
        // replaced), else the first effect of that type.
        int pattern = -1;
        if (position < count &&
            EffectTypeOfNode(primaryEffects[static_cast<std::size_t>(position)]) == effectId)
            pattern = position;
        for (int i = 0; pattern < 0 && i < count; ++i)
            if (EffectTypeOfNode(primaryEffects[static_cast<std::size_t>(i)]) == effectId)
                pattern = i;
        std::optional<Preset> preset = PresetOf(effectId);
        if (pattern < 0 && (!preset || preset->presetClass != "entr"))
            throw AutomationError("AddEffect", "no effect of type " + std::to_string(effectId) +
                                                   " on the slide to build the new one from");

        if (timings.empty())
            timings.push_back(CreateTiming(root));
        std::uint32_t firstId = 0;
        for (pugi::xml_node timing : timings) {
            EnsureMainSeqCTn(timing);
            firstId = std::max(firstId, MaxTimeNodeId(timing) + 1);
        }
        const std::string grpId = FreshGroupId(timings, shapeId);
        const bool hasText = xml::HasTextBody(shapeNode);

        pugi::xml_node created;
        const std::size_t primaryCount = primaryEffects.size();
        auto counterpart = [&](pugi::xml_node timing, int index) {
            if (index < 0 || index >= count)
                return pugi::xml_node();
            return Counterpart(timing, primaryEffects[static_cast<std::size_t>(index)],
                               static_cast<std::size_t>(index), primaryCount);
        };
        for (pugi::xml_node timing : timings) {
            std::uint32_t nextId = firstId;
            std::vector<pugi::xml_node> effects = MainEffectNodes(timing);
            pugi::xml_node before = counterpart(timing, position);
            if (position < count && !before)
                continue; // this branch has no effect standing for the one at that position
            pugi::xml_node parent =
                before ? before.parent()
                       : (effects.empty() ? Scaffold(MainSeqCTn(timing), nextId) : effects.back().parent());
            pugi::xml_node effect;
            pugi::xml_node buildPattern;
            bool addBuild = false;
            pugi::xml_node source = counterpart(timing, pattern);
            if (source) {
                effect = before ? parent.insert_copy_before(source, before) : parent.append_copy(source);
                RenumberTimeNodes(EffectCTn(effect), nextId);
                Retarget(effect, shapeId, hasText);
                pugi::xml_node cTn = EffectCTn(effect);
                // A pattern taken from elsewhere brings only the effect itself: a new effect starts on a
                // click. The effect it replaces passes on its place in the sequence as well.
                if (pattern != position) {
                    xml::SetAttr(cTn, "nodeType", TriggerNodeType(Trigger::OnClick));
                    SetStartDelayMs(cTn, 0);
                }
                if (pugi::xml_attribute grp = cTn.attribute("grpId")) {
                    buildPattern = BuildEntry(timing, EffectTarget(source), grp.value());
                    addBuild = static_cast<bool>(buildPattern);
                    grp.set_value(grpId.c_str());
                }
            } else if (preset) {
                effect = BuildMinimalEffect(parent, before, *preset, false, shapeId, nextId);
                xml::SetAttr(EffectCTn(effect), "grpId", grpId);
                addBuild = hasText;
            }
            if (!effect)
                continue;
            if (addBuild)
                AddBuildEntry(timing, buildPattern, shapeId, grpId, shapeNode);
            Regroup(timing);
            if (!created)
                created = effect;
        }
        slide_->MarkModified();
        if (!created)
            throw AutomationError("AddEffect", "the effect could not be built");
        return MakeEffect(EffectHandle(slide_, created));
    }

private:
    std::shared_ptr<SlideContext> slide_;
};

class TimeLine final : public automation::ITimeLine {
public:
    explicit TimeLine(std::shared_ptr<SlideContext> slide) : slide_(std::move(slide)) {}
    std::shared_ptr<automation::ISequence> MainSequence() override { return MakeMainSequence(slide_); }

private:
    std::shared_ptr<SlideContext> slide_;
};

class Effect final : public automation::IEffect {
public:
    explicit Effect(EffectHandle handle) : handle_(std::move(handle)) {}

    std::shared_ptr<automation::IShape> Shape() override {
        std::uint32_t id = EffectTarget(handle_.Primary("Shape"));
        automation::ShapePtr shape = id ? handle_.Slide().ShapeById(id) : nullptr;
        if (!shape)
            throw AutomationError("Shape", "the effect's shape is not on the slide");
        return shape;
    }

    int EffectType() override { return EffectTypeOfNode(handle_.Primary("EffectType")); }
    int Index() override { return handle_.Position("Index") + 1; }
    std::shared_ptr<automation::IEffectParameters> EffectParameters() override {
        handle_.Position("EffectParameters");
        return MakeEffectParameters(handle_);
    }
    std::shared_ptr<automation::IAnimationBehaviors> Behaviors() override {
        handle_.Position("Behaviors");
        return MakeBehaviors(handle_);
    }
    std::shared_ptr<automation::ITiming> Timing() override {
        handle_.Position("Timing");
        return MakeEffectTiming(handle_);
    }

    bool Exit() override {
        return std::strcmp(EffectCTn(handle_.Primary("Exit")).attribute("presetClass").value(), "exit") == 0;
    }

    void SetExit(bool exit) override {
        std::string presetClass = EffectCTn(handle_.Primary("Exit")).attribute("presetClass").value();
        if (presetClass == (exit ? "exit" : "entr"))
            return;
        if (presetClass != "entr" && presetClass != "exit")
            throw AutomationError("Exit", "only entrance and exit effects can change direction");
        handle_.ForEachBranch("Exit", [exit](pugi::xml_node effect) { SetEffectExit(effect, exit); });
    }

    void Delete() override {
        for (pugi::xml_node effect : handle_.Branches("Delete")) {
            pugi::xml_node timing = effect;
            while (timing && std::strcmp(timing.name(), "p:timing") != 0)
                timing = timing.parent();
            std::uint32_t target = EffectTarget(effect);
            std::string grpId = EffectCTn(effect).attribute("grpId").value();
            HandOverGroupStart(timing, effect);
            effect.parent().remove_child(effect);
            if (!grpId.empty() && !GroupStillUsed(timing, target, grpId))
                if (pugi::xml_node entry = BuildEntry(timing, target, grpId))
                    entry.parent().remove_child(entry);
            Regroup(timing);
        }
        PruneTimings(handle_.Slide().SlideRoot());
        handle_.Slide().MarkModified();
    }

private:
    EffectHandle handle_;
};

} // namespace

std::shared_ptr<automation::IEffect> MakeEffect(EffectHandle effect) {
    return std::make_shared<Effect>(std::move(effect));
}

std::shared_ptr<automation::ISequence> MakeMainSequence(std::shared_ptr<SlideContext> slide) {
    return std::make_shared<Sequence>(std::move(slide));
}

} // namespace office::timing

namespace office {

std::shared_ptr<automation::ITimeLine> MakeTimeLine(std::shared_ptr<SlideContext> slide) {
    if (!slide)
        throw automation::AutomationError("TimeLine", "no slide");
    return std::make_shared<timing::TimeLine>(std::move(slide));
}

} // namespace office
