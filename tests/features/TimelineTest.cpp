#include "FakeSlide.h"
#include "TimingFixture.h"
#include "TransferHelper.h"
#include "automation/Constants.h"
#include "office/model/SlideFeatures.h"
#include "office/timing/EffectCatalog.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <gtest/gtest.h>
#include <set>
#include <sstream>

using namespace features_test;
using automation::AutomationError;

namespace {

// A (shape 4, click, fade in), B (shape 5, with, appear), C (shape 4, after, fade out, 0.75 s, twice,
// accelerated), then D (shape 5, on the next click, spin 2 s).
std::string AbcdTiming() {
    int id = 3;
    std::string first = ClickGroup(id, SubGroup(id, 0,
                                                EffectXml(id, {4, "entr", 10, "clickEffect", 0, 500}) +
                                                    EffectXml(id, {5, "entr", 1, "withEffect", 0, 1})) +
                                           SubGroup(id, 500,
                                                    EffectXml(id, {4, "exit", 10, "afterEffect", 1, 750,
                                                                   "repeatCount=\"2000\" accel=\"20000\""})));
    std::string second =
        ClickGroup(id, SubGroup(id, 0, EffectXml(id, {5, "emph", 8, "clickEffect", 1, 2000})));
    return Timing(id, first + second,
                  "<p:bldP spid=\"4\" grpId=\"0\" animBg=\"1\"/><p:bldP spid=\"4\" grpId=\"1\" animBg=\"1\"/>"
                  "<p:bldP spid=\"5\" grpId=\"0\" build=\"p\"/>");
}

std::set<std::string> SpidsIn(pugi::xml_node node) {
    std::set<std::string> out;
    for (pugi::xml_node target : office::xml::Descendants(node, "p:spTgt"))
        out.insert(target.attribute("spid").value());
    for (pugi::xml_node entry : node.child("p:bldLst").children())
        out.insert(std::string("bld:") + entry.attribute("spid").value() + "/" +
                   entry.attribute("grpId").value());
    return out;
}

void ExpectUniqueTimeNodeIds(pugi::xml_node timing) {
    std::set<std::string> ids;
    for (pugi::xml_node cTn : office::xml::Descendants(timing, "p:cTn"))
        EXPECT_TRUE(ids.insert(cTn.attribute("id").value()).second)
            << "duplicate cTn id " << cTn.attribute("id").value();
}

struct Snapshot {
    std::string shape;
    int type;
    int trigger;
    double duration;
    int repeat;
    bool exit;
    double accelerate;
};

std::vector<Snapshot> Read(automation::ISequence& sequence) {
    std::vector<Snapshot> out;
    for (int i = 1; i <= sequence.Count(); ++i) {
        auto effect = sequence.Item(i);
        auto timing = effect->Timing();
        out.push_back({effect->Shape()->Name(), effect->EffectType(), timing->TriggerType(),
                       timing->Duration(), timing->RepeatCount(), effect->Exit(), timing->Accelerate()});
        EXPECT_EQ(effect->Index(), i);
    }
    return out;
}

TEST(Timeline, ReadsTheMainSequenceInPlayingOrder) {
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes(), AbcdTiming()));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto sequence = office::MakeTimeLine(context)->MainSequence();
    std::vector<Snapshot> effects = Read(*sequence);
    ASSERT_EQ(effects.size(), 4u);
    EXPECT_EQ(effects[0].shape, "Picture 3");
    EXPECT_EQ(effects[0].type, 10); // fade
    EXPECT_EQ(effects[0].trigger, automation::msoAnimTriggerOnPageClick);
    EXPECT_DOUBLE_EQ(effects[0].duration, 0.5);
    EXPECT_EQ(effects[1].type, 1); // appear
    EXPECT_EQ(effects[1].trigger, automation::msoAnimTriggerWithPrevious);
    EXPECT_EQ(effects[2].trigger, automation::msoAnimTriggerAfterPrevious);
    EXPECT_TRUE(effects[2].exit);
    EXPECT_EQ(effects[2].repeat, 2);
    EXPECT_DOUBLE_EQ(effects[2].duration, 0.75);
    EXPECT_DOUBLE_EQ(effects[2].accelerate, 0.2);
    EXPECT_EQ(effects[3].type, 61); // spin
    EXPECT_DOUBLE_EQ(sequence->Item(4)->EffectParameters()->Amount(), 360.0);
    EXPECT_THROW(sequence->Item(1)->EffectParameters()->Amount(), AutomationError);
    EXPECT_THROW(sequence->Item(5), AutomationError);
    EXPECT_THROW(sequence->Item(0), AutomationError);
}

class Transfer : public ::testing::TestWithParam<bool> {};

// The old picture's effects move to its replacement in their places, with their timing and triggers;
// with the timing wrapped in mc:AlternateContent both branches change alike.
TEST_P(Transfer, MovesEffectsOfTheOldShapeInPlace) {
    bool alternate = GetParam();
    std::string timing = AbcdTiming();
    if (alternate)
        timing = "<mc:AlternateContent><mc:Choice Requires=\"p14\">" + timing + "</mc:Choice><mc:Fallback>" +
                 timing + "</mc:Fallback></mc:AlternateContent>";
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes(), timing));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto timeline = office::MakeTimeLine(context);
    std::vector<Snapshot> before = Read(*timeline->MainSequence());
    int clickGroupsBefore =
        office::timing::ClickGroupCount(office::timing::TimingBranches(slide.SlideRoot())[0]);

    slide.DuplicateShape(4, 9);
    auto oldShape = slide.Shape(4);
    TransferEffects(*timeline, *oldShape, slide.ShapeById(9));

    std::vector<Snapshot> after = Read(*timeline->MainSequence());
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        bool moved = before[i].shape == "Picture 3";
        EXPECT_EQ(after[i].shape, moved ? "Picture 8" : before[i].shape) << i;
        EXPECT_EQ(after[i].type, before[i].type) << i;
        EXPECT_EQ(after[i].trigger, before[i].trigger) << i;
        EXPECT_DOUBLE_EQ(after[i].duration, before[i].duration) << i;
        EXPECT_EQ(after[i].repeat, before[i].repeat) << i;
        EXPECT_EQ(after[i].exit, before[i].exit) << i;
        EXPECT_DOUBLE_EQ(after[i].accelerate, before[i].accelerate) << i;
    }
    std::vector<pugi::xml_node> branches = office::timing::TimingBranches(slide.SlideRoot());
    ASSERT_EQ(branches.size(), alternate ? 2u : 1u);
    for (pugi::xml_node branch : branches) {
        EXPECT_EQ(office::timing::ClickGroupCount(branch), clickGroupsBefore);
        std::set<std::string> refs = SpidsIn(branch);
        EXPECT_EQ(refs.count("4"), 0u);
        EXPECT_EQ(refs.count("9"), 1u);
        // The build entries followed the effects; the picture keeps its background flag.
        EXPECT_EQ(refs.count("bld:4/0") + refs.count("bld:4/1"), 0u);
        EXPECT_EQ(refs.count("bld:9/0"), 1u);
        EXPECT_EQ(refs.count("bld:9/1"), 1u);
        EXPECT_EQ(refs.count("bld:5/0"), 1u);
        EXPECT_STREQ(office::timing::BuildEntry(branch, 9, "0").attribute("animBg").value(), "1");
        ExpectUniqueTimeNodeIds(branch);
        // The after-effect still starts when the first sub-group ends.
        auto places = office::timing::MainEffects(branch);
        EXPECT_DOUBLE_EQ(office::timing::StartDelayMs(places[2].subGroup.child("p:cTn")), 500.0);
    }
    if (alternate) {
        std::ostringstream choice, fallback;
        branches[0].print(choice, "", pugi::format_raw);
        branches[1].print(fallback, "", pugi::format_raw);
        EXPECT_EQ(choice.str(), fallback.str());
    }
    EXPECT_TRUE(slide.modified);
}

INSTANTIATE_TEST_SUITE_P(PlainAndAlternate, Transfer, ::testing::Bool());

TEST(Timeline, DeletingAClickEffectKeepsTheNextEffectOnItsOwnClick) {
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes(), AbcdTiming()));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto sequence = office::MakeTimeLine(context)->MainSequence();
    sequence->Item(1)->Delete();
    ASSERT_EQ(sequence->Count(), 3);
    // B (was "with A") now opens the first click; C still follows it; D keeps the second click.
    EXPECT_EQ(sequence->Item(1)->Timing()->TriggerType(), automation::msoAnimTriggerOnPageClick);
    EXPECT_EQ(sequence->Item(2)->Timing()->TriggerType(), automation::msoAnimTriggerAfterPrevious);
    pugi::xml_node timing = office::timing::TimingBranches(slide.SlideRoot())[0];
    EXPECT_EQ(office::timing::ClickGroupCount(timing), 2);
    // Group 0 of shape 4 has no effect left, group 1 still has one.
    EXPECT_FALSE(office::timing::BuildEntry(timing, 4, "0"));
    EXPECT_TRUE(office::timing::BuildEntry(timing, 4, "1"));

    auto stale = sequence->Item(1);
    stale->Delete();
    EXPECT_THROW(stale->Index(), AutomationError);
    while (sequence->Count() > 0)
        sequence->Item(1)->Delete();
    // No empty main sequence or timing is left behind.
    EXPECT_FALSE(slide.SlideRoot().child("p:timing"));
}

TEST(Timeline, TriggerChangesRegroupClicks) {
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes(), AbcdTiming()));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto sequence = office::MakeTimeLine(context)->MainSequence();
    pugi::xml_node timing = office::timing::TimingBranches(slide.SlideRoot())[0];
    sequence->Item(4)->Timing()->SetTriggerType(automation::msoAnimTriggerWithPrevious);
    EXPECT_EQ(office::timing::ClickGroupCount(timing), 1);
    EXPECT_EQ(sequence->Item(4)->Timing()->TriggerType(), automation::msoAnimTriggerWithPrevious);
    sequence->Item(2)->Timing()->SetTriggerType(automation::msoAnimTriggerOnPageClick);
    EXPECT_EQ(office::timing::ClickGroupCount(timing), 2);
    EXPECT_EQ(sequence->Item(2)->Shape()->Name(), "TextBox 4");
    EXPECT_THROW(sequence->Item(1)->Timing()->SetTriggerType(automation::msoAnimTriggerOnShapeClick),
                 AutomationError);
    // The first effect may start by itself: the first click group then waits for the slide, not a click.
    sequence->Item(1)->Timing()->SetTriggerType(automation::msoAnimTriggerAfterPrevious);
    pugi::xml_node firstGroup = office::timing::MainEffects(timing)[0].clickGroup;
    bool onBegin = false;
    for (pugi::xml_node cond : firstGroup.child("p:cTn").child("p:stCondLst").children("p:cond"))
        onBegin = onBegin || std::string(cond.attribute("evt").value()) == "onBegin";
    EXPECT_TRUE(onBegin);
    ExpectUniqueTimeNodeIds(timing);
}

TEST(Timeline, TimingValuesAreSecondsAndScaleTheBehaviours) {
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes(), AbcdTiming()));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto effect = office::MakeTimeLine(context)->MainSequence()->Item(3);
    auto timing = effect->Timing();
    timing->SetDuration(1.5);
    EXPECT_DOUBLE_EQ(timing->Duration(), 1.5);
    pugi::xml_node cTn =
        office::timing::MainEffects(office::timing::TimingBranches(slide.SlideRoot())[0])[2].effect.child(
            "p:cTn");
    pugi::xml_node fade = cTn.child("p:childTnLst").child("p:animEffect").child("p:cBhvr").child("p:cTn");
    EXPECT_STREQ(fade.attribute("dur").value(), "1500");
    timing->SetTriggerDelayTime(0.25);
    EXPECT_STREQ(cTn.child("p:stCondLst").child("p:cond").attribute("delay").value(), "250");
    timing->SetSpeed(2);
    EXPECT_STREQ(cTn.attribute("spd").value(), "200000");
    timing->SetRewindAtEnd(true);
    EXPECT_STREQ(cTn.attribute("fill").value(), "remove");
    timing->SetRepeatCount(-1);
    EXPECT_STREQ(cTn.attribute("repeatCount").value(), "indefinite");
    timing->SetRestart(3);
    EXPECT_EQ(timing->Restart(), 3);
    EXPECT_THROW(timing->SetAccelerate(1.5), AutomationError);
    EXPECT_THROW(timing->SetDuration(0), AutomationError);
}

TEST(Timeline, AddEffectWithoutPatternBuildsAnAppearEffect) {
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes()));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto sequence = office::MakeTimeLine(context)->MainSequence();
    EXPECT_EQ(sequence->Count(), 0);
    auto effect = sequence->AddEffect(slide.ShapeById(5), 1, -1);
    ASSERT_EQ(sequence->Count(), 1);
    EXPECT_EQ(effect->EffectType(), 1);
    EXPECT_EQ(effect->Shape()->Name(), "TextBox 4");
    EXPECT_FALSE(effect->Exit());
    EXPECT_EQ(effect->Timing()->TriggerType(), automation::msoAnimTriggerOnPageClick);
    pugi::xml_node timing = slide.SlideRoot().child("p:timing");
    ASSERT_TRUE(timing);
    // Placed before p:extLst would be; a text shape gets its build entry.
    EXPECT_TRUE(office::timing::BuildEntry(timing, 5, "0"));
    effect->SetExit(true);
    EXPECT_TRUE(effect->Exit());
    pugi::xml_node set = office::xml::Descendants(timing, "p:set").at(0);
    EXPECT_STREQ(set.child("p:to").child("p:strVal").attribute("val").value(), "hidden");

    // A fade on a picture, inserted before the appear effect.
    auto fade = sequence->AddEffect(slide.ShapeById(6), 10, 1);
    EXPECT_EQ(fade->Index(), 1);
    EXPECT_EQ(sequence->Item(2)->EffectType(), 1);
    EXPECT_EQ(office::timing::ClickGroupCount(timing), 2);
    EXPECT_FALSE(office::timing::BuildEntry(timing, 6, "0"));
    ExpectUniqueTimeNodeIds(timing);

    EXPECT_THROW(sequence->AddEffect(slide.ShapeById(6), 61, -1), AutomationError); // spin needs a pattern
    EXPECT_THROW(sequence->AddEffect(slide.ShapeById(6), 1, 4), AutomationError);
    FakeSlide other(FakeSlide::Wrap(ThreeShapes()));
    EXPECT_THROW(sequence->AddEffect(other.ShapeById(4), 1, -1), AutomationError);
}

TEST(Timeline, AddEffectFromAnotherShapesPatternStartsOnAClick) {
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes(), AbcdTiming()));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto sequence = office::MakeTimeLine(context)->MainSequence();
    // The only appear effect is B, "with" A on the text box; the new one is the picture's own click.
    auto effect = sequence->AddEffect(slide.ShapeById(6), 1, -1);
    ASSERT_EQ(sequence->Count(), 5);
    EXPECT_EQ(effect->Index(), 5);
    EXPECT_EQ(effect->Shape()->Name(), "Picture 5");
    EXPECT_EQ(effect->Timing()->TriggerType(), automation::msoAnimTriggerOnPageClick);
    pugi::xml_node timing = office::timing::TimingBranches(slide.SlideRoot())[0];
    EXPECT_EQ(office::timing::ClickGroupCount(timing), 3);
    std::set<std::string> targets;
    for (pugi::xml_node target :
         office::xml::Descendants(office::timing::MainEffectNodes(timing)[4], "p:spTgt"))
        targets.insert(target.attribute("spid").value());
    EXPECT_EQ(targets, (std::set<std::string>{"6"}));
    // The text box's paragraph build does not carry over to a picture.
    pugi::xml_node build = office::timing::BuildEntry(timing, 6, "0");
    ASSERT_TRUE(build);
    EXPECT_FALSE(build.attribute("build"));
    ExpectUniqueTimeNodeIds(timing);
}

// The fallback branch lacks an effect the first branch has: edits find the same effect by its id.
TEST(Timeline, BranchesWithDifferentEffectsAreMatchedById) {
    int id = 3;
    std::string a = EffectXml(id, {4, "entr", 10, "clickEffect", 0, 500});
    std::string extra = EffectXml(id, {5, "entr", 1, "withEffect", 0, 1});
    std::string c = EffectXml(id, {6, "entr", 10, "afterEffect", 0, 500});
    int groups = 100;
    std::string choice = Timing(groups, ClickGroup(groups, SubGroup(groups, 0, a + extra + c)), "");
    std::string fallback = Timing(groups, ClickGroup(groups, SubGroup(groups, 0, a + c)), "");
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes(), "<mc:AlternateContent><mc:Choice Requires=\"p14\">" +
                                                       choice + "</mc:Choice><mc:Fallback>" + fallback +
                                                       "</mc:Fallback></mc:AlternateContent>"));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    auto sequence = office::MakeTimeLine(context)->MainSequence();
    ASSERT_EQ(sequence->Count(), 3);
    sequence->Item(3)->Timing()->SetDuration(2);
    auto branches = office::timing::TimingBranches(slide.SlideRoot());
    auto fallbackEffects = office::timing::MainEffectNodes(branches[1]);
    ASSERT_EQ(fallbackEffects.size(), 2u);
    EXPECT_DOUBLE_EQ(office::timing::EstimateDurationMs(fallbackEffects[1].child("p:cTn")), 2000.0);
    EXPECT_DOUBLE_EQ(office::timing::EstimateDurationMs(fallbackEffects[0].child("p:cTn")), 500.0);

    sequence->AddEffect(slide.ShapeById(6), 10, 3); // before the last effect, in both branches
    EXPECT_EQ(office::timing::MainEffectNodes(branches[0]).size(), 4u);
    EXPECT_EQ(office::timing::MainEffectNodes(branches[1]).size(), 3u);
    sequence->Item(4)->Delete();
    EXPECT_EQ(office::timing::MainEffectNodes(branches[1]).size(), 2u);
    EXPECT_EQ(office::timing::EffectTarget(office::timing::MainEffectNodes(branches[1])[1]), 6u);
    EXPECT_EQ(office::timing::EffectTarget(office::timing::MainEffectNodes(branches[1])[0]), 4u);
}

TEST(EffectCatalog, EveryEffectTypeRebuildsItsPreset) {
    int named = 0;
    for (int type = 0; type < 200; ++type) {
        auto preset = office::timing::PresetOf(type);
        if (!preset)
            continue;
        ++named;
        EXPECT_EQ(office::timing::EffectTypeOf(preset->presetClass, preset->presetId), type) << type;
    }
    EXPECT_EQ(named, 85);
    // Exit presets share the entrance numbers; presets the table lacks get numbers of their own.
    EXPECT_EQ(office::timing::EffectTypeOf("exit", 10), 10);
    int path = office::timing::EffectTypeOf("path", 7);
    EXPECT_GE(path, office::timing::kSyntheticEffectBase);
    EXPECT_EQ(office::timing::PresetOf(path)->presetClass, "path");
    EXPECT_EQ(office::timing::PresetOf(path)->presetId, 7);
    EXPECT_EQ(office::timing::EffectTypeOf("", 3), office::timing::kEffectCustom);
    for (int subtype : {0, 1, 2, 4, 8, 3, 6, 9, 12, 5, 10, 16, 32})
        EXPECT_EQ(office::timing::SubtypeOfDirection(*office::timing::DirectionOfSubtype(subtype)), subtype);
}

TEST(LegacyAnimation, NewShapeTakesEntryEffectAndOrder) {
    int id = 3;
    std::string timing =
        Timing(id,
               ClickGroup(id, SubGroup(id, 0, EffectXml(id, {5, "entr", 1, "clickEffect", 0, 1}))) +
                   ClickGroup(id, SubGroup(id, 0, EffectXml(id, {4, "entr", 10, "clickEffect", 0, 500}))) +
                   ClickGroup(id, SubGroup(id, 0, EffectXml(id, {6, "entr", 1, "clickEffect", 0, 1}))),
               "");
    FakeSlide slide(FakeSlide::Wrap(ThreeShapes(), timing));
    auto context = std::shared_ptr<FakeSlide>(&slide, [](FakeSlide*) {});
    slide.DuplicateShape(4, 9);
    auto old = office::MakeAnimationSettings(context, 4);
    auto fresh = office::MakeAnimationSettings(context, 9);
    EXPECT_TRUE(old->Animate());
    EXPECT_EQ(old->EntryEffect(), 1793); // fade
    EXPECT_EQ(old->AnimationOrder(), 2);
    EXPECT_EQ(old->AdvanceMode(), 1);
    EXPECT_FALSE(fresh->Animate());
    EXPECT_EQ(fresh->EntryEffect(), 0);

    fresh->SetAdvanceMode(old->AdvanceMode());
    fresh->SetAdvanceTime(old->AdvanceTime());
    fresh->SetEntryEffect(old->EntryEffect());
    fresh->SetAnimate(old->Animate());
    fresh->SetAnimationOrder(old->AnimationOrder());
    office::ForgetShape(slide, 4);

    EXPECT_TRUE(fresh->Animate());
    EXPECT_EQ(fresh->EntryEffect(), 1793);
    EXPECT_EQ(fresh->AnimationOrder(), 2);
    auto sequence = office::MakeTimeLine(context)->MainSequence();
    ASSERT_EQ(sequence->Count(), 3);
    EXPECT_EQ(sequence->Item(2)->Shape()->Name(), "Picture 8");
    EXPECT_FALSE(old->Animate());

    // An entry effect the table names by direction: fly in from the left.
    auto other = office::MakeAnimationSettings(context, 6);
    other->SetEntryEffect(3329);
    EXPECT_EQ(other->EntryEffect(), 3329);
    EXPECT_EQ(sequence->Count(), 3);
    EXPECT_THROW(other->SetTextLevelEffect(1), AutomationError);
    other->SetAnimate(false);
    EXPECT_EQ(sequence->Count(), 2);
}

} // namespace
