// The older per-shape animation settings, expressed on the main sequence: the shape's first entrance
// effect is its entry effect, the click group holding it gives the animation order, its trigger and
// delay the advance mode and time, its after-effect (p:subTnLst) the dimming, and its build entry
// the background and reverse flags. Values set before the shape has an effect are kept by this
// object and applied once the entry effect is made; what cannot be stored throws.

#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "office/model/SlideFeatures.h"
#include "office/timing/ColorValue.h"
#include "office/timing/EffectCatalog.h"
#include "office/timing/EffectHandle.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <array>
#include <cmath>
#include <cstring>

namespace office::timing {

using automation::AutomationError;

namespace {

struct LegacyEntry {
    int entryEffect;
    int presetId;
    int subtype;
};
// ppEffect numbers of the older model against entrance presets and variants.
constexpr std::array<LegacyEntry, 29> kLegacy{{
    {3844, 1, 0},  {1793, 10, 0}, {1537, 9, 0},  {513, 24, 0},  {3329, 2, 8},  {3330, 2, 1},
    {3331, 2, 2},  {3332, 2, 4},  {3333, 2, 9},  {3334, 2, 3},  {3335, 2, 12}, {3336, 2, 6},
    {769, 3, 10},  {770, 3, 5},   {1025, 5, 10}, {1026, 5, 5},  {2817, 22, 2}, {2818, 22, 4},
    {2819, 22, 8}, {2820, 22, 1}, {3337, 12, 8}, {3338, 12, 4}, {3339, 12, 2}, {3340, 12, 1},
    {3341, 7, 8},  {3342, 7, 1},  {3343, 7, 2},  {3344, 7, 4},  {3356, 19, 0},
}};
// Entrance presets the table does not name: 100000 + preset * 1000 + variant.
constexpr int kLegacySynthetic = 100000;

int LegacyOf(int presetId, int subtype) {
    for (const LegacyEntry& entry : kLegacy)
        if (entry.presetId == presetId && entry.subtype == subtype)
            return entry.entryEffect;
    return kLegacySynthetic + presetId * 1000 + subtype;
}

std::optional<std::pair<int, int>> PresetOfLegacy(int entryEffect) {
    for (const LegacyEntry& entry : kLegacy)
        if (entry.entryEffect == entryEffect)
            return std::make_pair(entry.presetId, entry.subtype);
    if (entryEffect >= kLegacySynthetic && entryEffect < kLegacySynthetic + 1000 * 1000)
        return std::make_pair((entryEffect - kLegacySynthetic) / 1000,
                              (entryEffect - kLegacySynthetic) % 1000);
    return std::nullopt;
}

class AnimationSettings final : public automation::IAnimationSettings {
public:
    AnimationSettings(std::shared_ptr<SlideContext> slide, std::uint32_t shapeId)
        : slide_(std::move(slide)), shapeId_(shapeId) {}

    int AdvanceMode() override {
        if (!Entry())
            return pendingAdvanceMode_;
        return Timing()->TriggerType() == automation::msoAnimTriggerOnPageClick ? 1 : 2;
    }
    void SetAdvanceMode(int v) override {
        if (v != 1 && v != 2)
            throw AutomationError("AdvanceMode", "invalid advance mode");
        if (!Entry()) {
            pendingAdvanceMode_ = v;
            return;
        }
        if (v != AdvanceMode())
            Timing()->SetTriggerType(v == 1 ? automation::msoAnimTriggerOnPageClick
                                            : automation::msoAnimTriggerAfterPrevious);
    }

    double AdvanceTime() override { return Entry() ? Timing()->TriggerDelayTime() : pendingAdvanceTime_; }
    void SetAdvanceTime(double v) override {
        if (v < 0)
            throw AutomationError("AdvanceTime", "negative time");
        if (!Entry())
            pendingAdvanceTime_ = v;
        else
            Timing()->SetTriggerDelayTime(v);
    }

    // 0 nothing, 1 hide, 2 dim, 3 hide on next click.
    int AfterEffect() override {
        pugi::xml_node sub = EffectCTn(Entry()).child("p:subTnLst");
        if (!sub)
            return 0;
        if (sub.find_child([](pugi::xml_node n) { return std::strcmp(n.name(), "p:animClr") == 0; }))
            return 2;
        for (pugi::xml_node set : sub.children("p:set")) {
            std::string rel = set.child("p:cBhvr").child("p:cTn").attribute("masterRel").value();
            return rel == "nextClick" ? 3 : 1;
        }
        return 0;
    }
    void SetAfterEffect(int v) override {
        if (v == AfterEffect())
            return;
        if (v != 0)
            throw AutomationError("AfterEffect", "after-effects are not made by this model");
        ForEntryBranches("AfterEffect", [](pugi::xml_node effect) {
            pugi::xml_node cTn = EffectCTn(effect);
            cTn.remove_child("p:subTnLst");
        });
    }

    bool AnimateBackground() override { return Flag("animBg", pendingBackground_); }
    void SetAnimateBackground(bool v) override {
        SetFlag("AnimateBackground", "animBg", v, pendingBackground_);
    }
    bool AnimateTextInReverse() override { return Flag("rev", pendingReverse_); }
    void SetAnimateTextInReverse(bool v) override {
        SetFlag("AnimateTextInReverse", "rev", v, pendingReverse_);
    }

    // 0 none, 1 to 5 by that level, 16 all levels.
    int TextLevelEffect() override {
        pugi::xml_node entry = Build();
        if (std::strcmp(entry.attribute("build").value(), "p") != 0)
            return 0;
        return static_cast<int>(xml::IntAttr(entry, "bldLvl").value_or(1));
    }
    void SetTextLevelEffect(int v) override {
        if (v != TextLevelEffect())
            throw AutomationError("TextLevelEffect", "text builds are not made by this model");
    }
    // 0 by paragraph, 1 by word, 2 by letter.
    int TextUnitEffect() override {
        std::string type = EffectCTn(Entry()).child("p:iterate").attribute("type").value();
        return type == "wd" ? 1 : type == "lt" ? 2 : 0;
    }
    void SetTextUnitEffect(int v) override {
        if (v != TextUnitEffect())
            throw AutomationError("TextUnitEffect", "text builds are not made by this model");
    }

    int DimColor() override {
        auto rgb = RgbOfHex(DimTo("DimColor").child("a:srgbClr").attribute("val").value());
        if (!rgb)
            throw AutomationError("DimColor", "the dim colour is not an RGB colour");
        return *rgb;
    }
    void SetDimColor(int rgb) override {
        DimTo("DimColor");
        ForEntryBranches("DimColor", [rgb](pugi::xml_node effect) {
            for (pugi::xml_node clr : EffectCTn(effect).child("p:subTnLst").children("p:animClr")) {
                pugi::xml_node to = xml::EnsureChild(clr, "p:to");
                while (to.first_child())
                    to.remove_child(to.first_child());
                to.append_child("a:srgbClr").append_attribute("val") = HexOfRgb(rgb).c_str();
            }
        });
    }

    int EntryEffect() override {
        pugi::xml_node entry = Entry();
        if (!entry)
            return 0;
        pugi::xml_node cTn = EffectCTn(entry);
        return LegacyOf(static_cast<int>(xml::IntAttr(cTn, "presetID").value_or(0)),
                        static_cast<int>(xml::IntAttr(cTn, "presetSubtype").value_or(0)));
    }
    void SetEntryEffect(int v) override {
        if (v == EntryEffect())
            return;
        if (v == 0) {
            RemoveEntrances();
            return;
        }
        auto preset = PresetOfLegacy(v);
        if (!preset)
            throw AutomationError("EntryEffect", "unknown entry effect");
        MakeEntry(preset->first, preset->second);
    }

    bool Animate() override { return static_cast<bool>(Entry()); }
    void SetAnimate(bool v) override {
        if (v == Animate())
            return;
        if (v)
            MakeEntry(1, 0);
        else
            RemoveEntrances();
    }

    int AnimationOrder() override {
        pugi::xml_node entry = Entry();
        if (!entry)
            return 0;
        int group = 0;
        for (const EffectPlace& place : MainEffects(Primary())) {
            if (place.firstInClickGroup)
                ++group;
            if (place.effect == entry)
                return group;
        }
        return 0;
    }
    void SetAnimationOrder(int v) override {
        if (v < 1)
            throw AutomationError("AnimationOrder", "the order starts at 1");
        if (!Entry())
            throw AutomationError("AnimationOrder", "the shape is not animated");
        if (v == AnimationOrder())
            return;
        int position = PositionOf(Entry());
        for (pugi::xml_node timing : TimingBranches(slide_->SlideRoot()))
            MoveToClickGroup(timing, position, v);
        slide_->MarkModified();
    }

private:
    pugi::xml_node Primary() const {
        std::vector<pugi::xml_node> timings = TimingBranches(slide_->SlideRoot());
        return timings.empty() ? pugi::xml_node() : timings.front();
    }

    pugi::xml_node Entry() const {
        for (const EffectPlace& place : MainEffects(Primary())) {
            pugi::xml_node cTn = EffectCTn(place.effect);
            if (std::strcmp(cTn.attribute("presetClass").value(), "entr") == 0 &&
                EffectTarget(place.effect) == shapeId_)
                return place.effect;
        }
        return {};
    }

    int PositionOf(pugi::xml_node effect) const {
        std::vector<pugi::xml_node> effects = MainEffectNodes(Primary());
        for (std::size_t i = 0; i < effects.size(); ++i)
            if (effects[i] == effect)
                return static_cast<int>(i);
        return -1;
    }

    std::shared_ptr<automation::ITiming> Timing() const {
        return MakeEffectTiming(EffectHandle(slide_, Entry()));
    }

    void ForEntryBranches(const char* member, const std::function<void(pugi::xml_node)>& edit) {
        pugi::xml_node entry = Entry();
        if (!entry)
            throw AutomationError(member, "the shape is not animated");
        EffectHandle(slide_, entry).ForEachBranch(member, edit);
    }

    pugi::xml_node Build() const {
        pugi::xml_node entry = Entry();
        if (!entry)
            return {};
        return BuildEntry(Primary(), shapeId_, EffectCTn(entry).attribute("grpId").value());
    }

    bool Flag(const char* attr, bool pending) const {
        if (!Entry())
            return pending;
        return xml::BoolAttr(Build(), attr);
    }

    void SetFlag(const char* member, const char* attr, bool v, bool& pending) {
        pugi::xml_node entry = Entry();
        if (!entry) {
            pending = v;
            return;
        }
        if (v == Flag(attr, pending))
            return;
        std::string grpId = EffectCTn(entry).attribute("grpId").value();
        if (grpId.empty())
            throw AutomationError(member, "the effect has no build group");
        for (pugi::xml_node timing : TimingBranches(slide_->SlideRoot())) {
            pugi::xml_node build = BuildEntry(timing, shapeId_, grpId);
            if (!build) {
                build = EnsureBuildList(timing).append_child("p:bldP");
                xml::SetIntAttr(build, "spid", shapeId_);
                xml::SetAttr(build, "grpId", grpId);
            }
            if (v)
                xml::SetAttr(build, attr, "1");
            else
                build.remove_attribute(attr);
        }
        slide_->MarkModified();
    }

    pugi::xml_node DimTo(const char* member) const {
        pugi::xml_node clr = EffectCTn(Entry()).child("p:subTnLst").child("p:animClr");
        if (!clr)
            throw AutomationError(member, "the shape is not dimmed after its animation");
        return clr.child("p:to");
    }

    void RemoveEntrances() {
        auto sequence = MakeMainSequence(slide_);
        for (pugi::xml_node entry = Entry(); entry; entry = Entry())
            sequence->Item(PositionOf(entry) + 1)->Delete();
    }

    // The entry effect replaces the shape's current one in its place, or comes last.
    void MakeEntry(int presetId, int subtype) {
        automation::ShapePtr shape = slide_->ShapeById(shapeId_);
        if (!shape)
            throw AutomationError("EntryEffect", "the shape is not on the slide");
        auto sequence = MakeMainSequence(slide_);
        pugi::xml_node old = Entry();
        int index = old ? PositionOf(old) + 1 : -1;
        auto effect = sequence->AddEffect(shape, EffectTypeOf("entr", presetId), index);
        int position = effect->Index() - 1;
        if (xml::IntAttr(EffectCTn(MainEffectNodes(Primary())[static_cast<std::size_t>(position)]),
                         "presetSubtype")
                .value_or(0) != subtype) {
            for (pugi::xml_node timing : TimingBranches(slide_->SlideRoot())) {
                std::vector<pugi::xml_node> effects = MainEffectNodes(timing);
                if (position < static_cast<int>(effects.size()))
                    xml::SetIntAttr(EffectCTn(effects[static_cast<std::size_t>(position)]), "presetSubtype",
                                    subtype);
            }
        }
        if (old)
            sequence->Item(index + 1)->Delete();
        if (!old) {
            SetAdvanceMode(pendingAdvanceMode_);
            SetAdvanceTime(pendingAdvanceTime_);
            SetAnimateBackground(pendingBackground_);
            SetAnimateTextInReverse(pendingReverse_);
        }
    }

    // Takes the effect at `position` out of its click group and makes it open click group `order`.
    static void MoveToClickGroup(pugi::xml_node timing, int position, int order) {
        std::vector<pugi::xml_node> effects = MainEffectNodes(timing);
        if (position < 0 || position >= static_cast<int>(effects.size()))
            return;
        pugi::xml_node effect = effects[static_cast<std::size_t>(position)];
        HandOverGroupStart(timing, effect);
        xml::SetAttr(EffectCTn(effect), "nodeType", "clickEffect");
        pugi::xml_node before;
        int group = 0;
        for (const EffectPlace& place : MainEffects(timing)) {
            if (place.effect == effect || !place.firstInClickGroup)
                continue;
            if (++group == order) {
                before = place.effect;
                break;
            }
        }
        if (before) {
            before.parent().insert_move_before(effect, before);
        } else {
            std::vector<pugi::xml_node> rest = MainEffectNodes(timing);
            pugi::xml_node last =
                rest.back() == effect && rest.size() > 1 ? rest[rest.size() - 2] : rest.back();
            if (last != effect)
                last.parent().insert_move_after(effect, last);
        }
        Regroup(timing);
    }

    std::shared_ptr<SlideContext> slide_;
    std::uint32_t shapeId_;
    int pendingAdvanceMode_ = 1;
    double pendingAdvanceTime_ = 0;
    bool pendingBackground_ = false;
    bool pendingReverse_ = false;
};

} // namespace

} // namespace office::timing

namespace office {

std::shared_ptr<automation::IAnimationSettings> MakeAnimationSettings(std::shared_ptr<SlideContext> slide,
                                                                      std::uint32_t shapeId) {
    if (!slide)
        throw automation::AutomationError("AnimationSettings", "no slide");
    return std::make_shared<timing::AnimationSettings>(std::move(slide), shapeId);
}

} // namespace office
