// Animation, action-setting and connector take-over against hand-written object-model fakes whose
// setters can be made to fail, to hold the routines to their per-property failure rules.

#include "FakeOffice.h"
#include "engine/AnimationTransfer.h"
#include "engine/LinkTransfer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace automation;
using engine::TransferAnimation;
using ::testing::ElementsAre;

// Failing setters by name, shared by the fakes of one test.
struct Faults {
    std::set<std::string> setters;
    void Check(const char* name) const {
        if (setters.count(name))
            throw AutomationError(name, "refused");
    }
};

#define PROP(T, N)                                                                                           \
    T N() override {                                                                                         \
        return N##_;                                                                                         \
    }                                                                                                        \
    void Set##N(T v) override {                                                                              \
        f_.Check("Set" #N);                                                                                  \
        N##_ = v;                                                                                            \
    }                                                                                                        \
    T N##_ {}
#define PROP_REF(T, N)                                                                                       \
    T N() override {                                                                                         \
        return N##_;                                                                                         \
    }                                                                                                        \
    void Set##N(const T& v) override {                                                                       \
        f_.Check("Set" #N);                                                                                  \
        N##_ = v;                                                                                            \
    }                                                                                                        \
    T N##_ {}

class Color : public IColorFormat {
public:
    explicit Color(Faults& f) : f_(f) {}
    PROP(int, RGB);
    PROP(int, SchemeColor);
    PROP(double, TintAndShade);

private:
    Faults& f_;
};

class Params : public IEffectParameters {
public:
    explicit Params(Faults& f) : f_(f), color(std::make_shared<Color>(f)) {}
    PROP(double, Amount);
    PROP(int, Direction);
    PROP_REF(std::string, FontName);
    PROP(bool, Relative);
    PROP(double, Size);
    std::shared_ptr<IColorFormat> Color2() override { return color; }

private:
    Faults& f_;

public:
    std::shared_ptr<Color> color;
};

class Motion : public IMotionEffect {
public:
    explicit Motion(Faults& f) : f_(f) {}
    PROP(double, ByX);
    PROP(double, ByY);
    PROP(double, FromX);
    PROP(double, FromY);
    PROP_REF(std::string, Path);
    PROP(double, ToX);
    PROP(double, ToY);

private:
    Faults& f_;
};

class Point : public IAnimationPoint {
public:
    explicit Point(Faults& f) : f_(f) {}
    PROP_REF(std::string, Formula);
    PROP(double, Time);
    PROP_REF(Variant, Value);

private:
    Faults& f_;
};

class PointList : public IAnimationPoints {
public:
    explicit PointList(Faults& f) : f_(f) {}
    int Count() override { return static_cast<int>(items.size()); }
    std::shared_ptr<IAnimationPoint> Item(int index) override { return items.at(index - 1); }
    std::shared_ptr<IAnimationPoint> Add() override {
        items.push_back(std::make_shared<Point>(f_));
        return items.back();
    }
    PROP(bool, Smooth);
    std::vector<std::shared_ptr<Point>> items;

private:
    Faults& f_;
};

class PropertyFx : public IPropertyEffect {
public:
    explicit PropertyFx(Faults& f) : f_(f), points(std::make_shared<PointList>(f)) {}
    PROP_REF(Variant, From);
    PROP(int, Property);
    PROP_REF(Variant, To);
    std::shared_ptr<IAnimationPoints> Points() override { return points; }

private:
    Faults& f_;

public:
    std::shared_ptr<PointList> points;
};

class Behavior : public IAnimationBehavior {
public:
    explicit Behavior(Faults& f)
        : f_(f), motion(std::make_shared<Motion>(f)), property(std::make_shared<PropertyFx>(f)) {}
    PROP(int, Accumulate);
    PROP(int, Additive);
    PROP(int, Type);
    std::shared_ptr<IMotionEffect> MotionEffect() override { return motion; }
    std::shared_ptr<IColorEffect> ColorEffect() override { throw AutomationError("ColorEffect", "n/a"); }
    std::shared_ptr<IScaleEffect> ScaleEffect() override { throw AutomationError("ScaleEffect", "n/a"); }
    std::shared_ptr<IRotationEffect> RotationEffect() override {
        throw AutomationError("RotationEffect", "n/a");
    }
    std::shared_ptr<IPropertyEffect> PropertyEffect() override { return property; }
    std::shared_ptr<ICommandEffect> CommandEffect() override {
        throw AutomationError("CommandEffect", "n/a");
    }

private:
    Faults& f_;

public:
    std::shared_ptr<Motion> motion;
    std::shared_ptr<PropertyFx> property;
};

class Behaviors : public IAnimationBehaviors {
public:
    int Count() override { return static_cast<int>(items.size()); }
    std::shared_ptr<IAnimationBehavior> Item(int index) override { return items.at(index - 1); }
    std::vector<std::shared_ptr<Behavior>> items;
};

class Timing : public ITiming {
public:
    explicit Timing(Faults& f) : f_(f) {}
    PROP(double, Accelerate);
    PROP(bool, AutoReverse);
    PROP(double, Decelerate);
    PROP(double, Duration);
    PROP(int, RepeatCount);
    PROP(double, RepeatDuration);
    PROP(int, Restart);
    PROP(bool, RewindAtEnd);
    PROP(bool, SmoothEnd);
    PROP(bool, SmoothStart);
    PROP(double, Speed);
    PROP(double, TriggerDelayTime);
    PROP(int, TriggerType);

private:
    Faults& f_;
};

class Seq;
class Fx : public IEffect {
public:
    Fx(Seq& seq, Faults& f, ShapePtr shape, int type, int behaviorCount);
    ShapePtr Shape() override { return shape; }
    int EffectType() override { return type; }
    int Index() override;
    std::shared_ptr<IEffectParameters> EffectParameters() override { return params; }
    std::shared_ptr<IAnimationBehaviors> Behaviors() override { return behaviors; }
    std::shared_ptr<ITiming> Timing() override { return timing; }
    PROP(bool, Exit);
    void Delete() override;

    Seq& seq;
    ShapePtr shape;
    int type;
    std::shared_ptr<Params> params;
    std::shared_ptr<class Behaviors> behaviors;
    std::shared_ptr<class Timing> timing;

private:
    Faults& f_;
};

class Seq : public ISequence, public ITimeLine {
public:
    explicit Seq(Faults& f) : f_(f) {}
    int Count() override { return static_cast<int>(effects.size()); }
    std::shared_ptr<IEffect> Item(int index) override { return effects.at(index - 1); }
    std::shared_ptr<IEffect> AddEffect(ShapePtr shape, int effectId, int index) override {
        f_.Check("AddEffect");
        auto fx = std::make_shared<Fx>(*this, f_, std::move(shape), effectId, newBehaviorCount);
        effects.insert(effects.begin() + (index - 1), fx);
        return fx;
    }
    std::shared_ptr<ISequence> MainSequence() override { return {std::shared_ptr<Seq>{}, this}; }

    std::shared_ptr<Fx> Append(ShapePtr shape, int type, int behaviorCount = 1) {
        effects.push_back(std::make_shared<Fx>(*this, f_, std::move(shape), type, behaviorCount));
        return effects.back();
    }

    std::vector<std::shared_ptr<Fx>> effects;
    int newBehaviorCount = 1; // behaviours a freshly added effect has

private:
    Faults& f_;
};

Fx::Fx(Seq& s, Faults& f, ShapePtr sh, int t, int behaviorCount)
    : seq(s), shape(std::move(sh)), type(t), params(std::make_shared<Params>(f)),
      behaviors(std::make_shared<class Behaviors>()), timing(std::make_shared<class Timing>(f)), f_(f) {
    for (int i = 0; i < behaviorCount; ++i)
        behaviors->items.push_back(std::make_shared<Behavior>(f));
}

int Fx::Index() {
    for (std::size_t i = 0; i < seq.effects.size(); ++i) {
        if (seq.effects[i].get() == this)
            return static_cast<int>(i) + 1;
    }
    throw AutomationError("Index", "gone");
}

void Fx::Delete() {
    f_.Check("Delete");
    auto& list = seq.effects;
    list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& e) { return e.get() == this; }),
               list.end());
}

#undef PROP
#undef PROP_REF

class AnimationTransferTest : public ::testing::Test {
protected:
    fake::World world;
    Faults faults;
    Seq seq{faults};
    std::shared_ptr<fake::Shape> oldShape = std::make_shared<fake::Shape>(world, "Picture 1", msoPicture);
    std::shared_ptr<fake::Shape> other = std::make_shared<fake::Shape>(world, "Rectangle 2", msoAutoShape);
    std::shared_ptr<fake::Shape> newShape = std::make_shared<fake::Shape>(world, "Picture 9", msoPicture);

    static void SetTiming(Fx& fx, double duration, int trigger) {
        fx.timing->Accelerate_ = 0.1;
        fx.timing->Duration_ = duration;
        fx.timing->TriggerType_ = trigger;
        fx.timing->TriggerDelayTime_ = 0.5;
        fx.timing->Speed_ = 2;
    }
};

TEST_F(AnimationTransferTest, EffectsOfTheOldShapeMoveInPlace) {
    auto a = seq.Append(oldShape, 10);
    SetTiming(*a, 1.5, msoAnimTriggerOnPageClick);
    a->params->Direction_ = 4;
    a->params->color->RGB_ = 0x123456;
    auto b = seq.Append(other, 20);
    auto c = seq.Append(oldShape, 30);
    SetTiming(*c, 0.75, msoAnimTriggerAfterPrevious);
    c->Exit_ = true;

    TransferAnimation(seq, oldShape, newShape);

    ASSERT_EQ(seq.effects.size(), 3u);
    EXPECT_EQ(seq.effects[0]->shape, newShape);
    EXPECT_EQ(seq.effects[0]->type, 10);
    EXPECT_DOUBLE_EQ(seq.effects[0]->timing->Duration_, 1.5);
    EXPECT_EQ(seq.effects[0]->timing->TriggerType_, msoAnimTriggerOnPageClick);
    EXPECT_DOUBLE_EQ(seq.effects[0]->timing->Speed_, 2);
    EXPECT_EQ(seq.effects[0]->params->Direction_, 4);
    EXPECT_EQ(seq.effects[0]->params->color->RGB_, 0x123456);
    EXPECT_FALSE(seq.effects[0]->Exit_);
    EXPECT_EQ(seq.effects[1], b);
    EXPECT_EQ(seq.effects[2]->shape, newShape);
    EXPECT_EQ(seq.effects[2]->timing->TriggerType_, msoAnimTriggerAfterPrevious);
    EXPECT_TRUE(seq.effects[2]->Exit_) << "an exit effect stays an exit effect";
}

TEST_F(AnimationTransferTest, ShapesSharingTheNameBothMove) {
    auto twin = std::make_shared<fake::Shape>(world, "Picture 1", msoPicture);
    seq.Append(twin, 1);
    seq.Append(oldShape, 2);
    TransferAnimation(seq, oldShape, newShape);
    EXPECT_EQ(seq.effects[0]->shape, newShape);
    EXPECT_EQ(seq.effects[1]->shape, newShape);
}

TEST_F(AnimationTransferTest, ShapeWithoutAnimationLeavesTheSequence) {
    auto b = seq.Append(other, 20);
    TransferAnimation(seq, oldShape, newShape);
    ASSERT_EQ(seq.effects.size(), 1u);
    EXPECT_EQ(seq.effects[0], b);
}

TEST_F(AnimationTransferTest, EachTimingMemberIsCopiedOnItsOwn) {
    auto a = seq.Append(oldShape, 10);
    SetTiming(*a, 3, msoAnimTriggerWithPrevious);
    faults.setters = {"SetDuration", "SetDirection", "SetRGB"};
    a->params->Amount_ = 7;
    a->params->Size_ = 9;
    a->params->color->TintAndShade_ = 0.25;
    TransferAnimation(seq, oldShape, newShape);
    ASSERT_EQ(seq.effects.size(), 1u);
    const auto& fx = *seq.effects[0];
    EXPECT_DOUBLE_EQ(fx.timing->Duration_, 0) << "refused";
    EXPECT_DOUBLE_EQ(fx.timing->Accelerate_, 0.1) << "before the refused member";
    EXPECT_DOUBLE_EQ(fx.timing->Speed_, 2) << "after it";
    EXPECT_EQ(fx.timing->TriggerType_, msoAnimTriggerWithPrevious);
    EXPECT_DOUBLE_EQ(fx.params->Amount_, 7);
    EXPECT_DOUBLE_EQ(fx.params->Size_, 9);
    EXPECT_DOUBLE_EQ(fx.params->color->TintAndShade_, 0.25);
}

TEST_F(AnimationTransferTest, TypedCopyStopsAtItsFirstFailure) {
    seq.newBehaviorCount = 2;
    auto a = seq.Append(oldShape, 10, 2);
    auto& motion = *a->behaviors->items[0];
    motion.Type_ = msoAnimTypeMotion;
    motion.Accumulate_ = 2;
    motion.motion->ByX_ = 1;
    motion.motion->ByY_ = 2;
    motion.motion->FromX_ = 3;
    motion.motion->FromY_ = 4;
    motion.motion->ToY_ = 7;
    auto& property = *a->behaviors->items[1];
    property.Type_ = msoAnimTypeProperty;
    property.property->Property_ = 5;
    property.property->points->Smooth_ = true;
    for (double t : {0.0, 1.0}) {
        auto p = std::make_shared<Point>(faults);
        p->Time_ = t;
        p->Formula_ = "#ppt_x";
        property.property->points->items.push_back(p);
    }
    faults.setters = {"SetFromX"};

    TransferAnimation(seq, oldShape, newShape);

    ASSERT_EQ(seq.effects.size(), 1u);
    const auto& copied = seq.effects[0]->behaviors->items;
    EXPECT_EQ(copied[0]->Type_, msoAnimTypeMotion);
    EXPECT_EQ(copied[0]->Accumulate_, 2);
    EXPECT_DOUBLE_EQ(copied[0]->motion->ByX_, 1);
    EXPECT_DOUBLE_EQ(copied[0]->motion->ByY_, 2);
    EXPECT_DOUBLE_EQ(copied[0]->motion->FromY_, 0) << "nothing after the first failure";
    EXPECT_DOUBLE_EQ(copied[0]->motion->ToY_, 0);
    // The next behaviour's typed copy still runs; its points land after those it had.
    EXPECT_EQ(copied[1]->property->Property_, 5);
    EXPECT_TRUE(copied[1]->property->points->Smooth_);
    ASSERT_EQ(copied[1]->property->points->items.size(), 2u);
    EXPECT_DOUBLE_EQ(copied[1]->property->points->items[1]->Time_, 1.0);
    EXPECT_EQ(copied[1]->property->points->items[1]->Formula_, "#ppt_x");
}

TEST_F(AnimationTransferTest, BehaviourTheNewEffectLacksIsSkipped) {
    seq.newBehaviorCount = 1;
    auto a = seq.Append(oldShape, 10, 2);
    a->behaviors->items[0]->Additive_ = 1;
    a->behaviors->items[1]->Additive_ = 2;
    SetTiming(*a, 4, msoAnimTriggerOnPageClick);
    TransferAnimation(seq, oldShape, newShape);
    ASSERT_EQ(seq.effects.size(), 1u);
    EXPECT_EQ(seq.effects[0]->behaviors->items[0]->Additive_, 1);
    EXPECT_DOUBLE_EQ(seq.effects[0]->timing->Duration_, 4) << "timing still copied";
}

TEST_F(AnimationTransferTest, FailedAddEffectStillDeletesTheOldEffectAndGoesOn) {
    seq.Append(oldShape, 10);
    auto b = seq.Append(other, 20);
    seq.Append(oldShape, 30);
    faults.setters = {"AddEffect"};
    TransferAnimation(seq, oldShape, newShape);
    ASSERT_EQ(seq.effects.size(), 1u) << "both old effects deleted, none added";
    EXPECT_EQ(seq.effects[0], b);

    // With AddEffect working again after the first, the effect that moved up is not skipped.
    Seq again(faults);
    faults.setters.clear();
    again.Append(oldShape, 10);
    again.Append(oldShape, 30);
    TransferAnimation(again, oldShape, newShape);
    ASSERT_EQ(again.effects.size(), 2u);
    EXPECT_EQ(again.effects[0]->shape, newShape);
    EXPECT_EQ(again.effects[1]->type, 30);
    EXPECT_EQ(again.effects[1]->shape, newShape);
}

TEST_F(AnimationTransferTest, RefusedDeleteDoesNotMoveAnEffectTwice) {
    seq.Append(oldShape, 10);
    seq.Append(other, 20);
    faults.setters = {"Delete"};
    TransferAnimation(seq, oldShape, newShape);
    ASSERT_EQ(seq.effects.size(), 3u);
    EXPECT_EQ(seq.effects[0]->shape, newShape);
    EXPECT_EQ(seq.effects[1]->shape, oldShape);
    EXPECT_EQ(seq.effects[2]->shape, other);
}

TEST(LegacyAnimationTransfer, EveryPropertyOnItsOwn) {
    fake::World world;
    fake::Shape from(world, "Picture 1", msoPicture);
    fake::Shape to(world, "Picture 2", msoPicture);
    from.legacy->AdvanceMode_ = 2;
    from.legacy->EntryEffect_ = 3844;
    from.legacy->Animate_ = true;
    from.legacy->AnimationOrder_ = 3;
    from.legacy->DimColor_ = 0xFF;
    world.failing = {"SetEntryEffect"};
    engine::TransferLegacyAnimation(from, to);
    EXPECT_EQ(to.legacy->AdvanceMode_, 2);
    EXPECT_EQ(to.legacy->EntryEffect_, 0);
    EXPECT_TRUE(to.legacy->Animate_);
    EXPECT_EQ(to.legacy->AnimationOrder_, 3);
    EXPECT_EQ(to.legacy->DimColor_, 0xFF);
}

TEST(ActionSettingCopy, PartsEndAtTheirFirstFailureOwnPropertiesDoNot) {
    fake::World world;
    auto fromPtr = std::make_shared<fake::ActionSetting>(world);
    auto toPtr = std::make_shared<fake::ActionSetting>(world);
    auto& from = *fromPtr;
    auto& to = *toPtr;
    from.address = "https://example.org/";
    from.emailSubject = "subject";
    from.screenTip = "tip";
    from.textToDisplay = "text";
    from.soundName = "click.wav";
    from.soundType = ppSoundFile;
    from.action = ppActionHyperlink;
    from.animateAction = true;
    from.run = "macro";
    from.slideShowName = "show";
    world.failing = {"SetEmailSubject", "SetAction"};

    engine::CopyActionSetting(from, to);

    EXPECT_EQ(to.address, "https://example.org/");
    EXPECT_EQ(to.screenTip, "") << "the hyperlink part ended at the subject";
    EXPECT_EQ(to.textToDisplay, "");
    EXPECT_EQ(to.soundName, "click.wav");
    EXPECT_EQ(to.soundType, ppSoundFile);
    EXPECT_EQ(to.action, 0);
    EXPECT_TRUE(to.animateAction);
    EXPECT_EQ(to.run, "macro");
    EXPECT_EQ(to.slideShowName, "show");

    auto quietPtr = std::make_shared<fake::ActionSetting>(world);
    auto& quiet = *quietPtr;
    world.failing = {"Sound.SetName"};
    engine::CopyActionSetting(from, quiet);
    EXPECT_EQ(quiet.soundType, 0) << "the sound part ended at the name";
    EXPECT_EQ(quiet.screenTip, "tip");
}

class ConnectorTest : public ::testing::Test {
protected:
    ConnectorTest() : slide(std::make_shared<fake::Slide>(world)) {
        pic = slide->Add("Picture 1", msoPicture, 0, 0, 10, 10);
        box = slide->Add("Rectangle 2", msoAutoShape, 0, 0, 10, 10);
        replacement = slide->Add("Picture 9", msoPicture, 0, 0, 10, 10);
    }
    std::shared_ptr<fake::Connector> Line(const std::string& name, fake::FakeShapePtr begin, int beginSite,
                                          fake::FakeShapePtr end, int endSite) {
        auto line = slide->Add(name, msoAutoShape, 0, 0, 10, 10);
        line->connector = std::make_shared<fake::Connector>(world);
        line->connector->begin = begin;
        line->connector->beginSite = beginSite;
        line->connector->end = end;
        line->connector->endSite = endSite;
        return line->connector;
    }
    fake::World world;
    std::shared_ptr<fake::Slide> slide;
    fake::FakeShapePtr pic, box, replacement;
};

TEST_F(ConnectorTest, EndsGluedToTheOldShapeMove) {
    auto both = Line("Connector 3", pic, 2, pic, 4);
    auto elsewhere = Line("Connector 4", box, 1, box, 3);
    auto twin = slide->Add("Picture 1", msoPicture, 50, 50, 10, 10); // same name as the old shape
    auto toTwin = Line("Connector 5", twin, 0, box, 1);
    engine::ReattachConnectors(*slide->Shapes(), *pic, replacement);
    EXPECT_EQ(both->begin, replacement);
    EXPECT_EQ(both->beginSite, 2);
    EXPECT_EQ(both->end, replacement);
    EXPECT_EQ(both->endSite, 4);
    EXPECT_EQ(elsewhere->begin, box);
    EXPECT_EQ(elsewhere->end, box);
    EXPECT_EQ(toTwin->begin, replacement) << "matched by name";
    EXPECT_EQ(toTwin->end, box);
}

TEST_F(ConnectorTest, FirstFailureEndsThePass) {
    auto first = Line("Connector 3", pic, 2, box, 1);
    auto second = Line("Connector 4", pic, 1, box, 1);
    world.failing = {"BeginConnect"};
    engine::ReattachConnectors(*slide->Shapes(), *pic, replacement);
    EXPECT_FALSE(first->BeginConnected()) << "disconnected before the refused connect";
    EXPECT_EQ(second->begin, pic) << "later connectors keep their old ends";
}

} // namespace
