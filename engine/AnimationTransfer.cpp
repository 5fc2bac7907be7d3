#include "engine/AnimationTransfer.h"

#include "automation/Constants.h"
#include "engine/Attempt.h"

namespace engine {

namespace {

using automation::IAnimationBehavior;
using automation::IEffect;

// Copies one property: a failing read or write skips just this property.
#define COPY_EACH(from, to, Prop) Attempt([&] { (to)->Set##Prop((from)->Prop()); })

void CopyEffectParameters(IEffect& oldEffect, IEffect& newEffect) {
    const auto from = AttemptValue([&] { return oldEffect.EffectParameters(); });
    const auto to = AttemptValue([&] { return newEffect.EffectParameters(); });
    if (!from || !to || !*from || !*to)
        return;
    COPY_EACH(*from, *to, Amount);
    COPY_EACH(*from, *to, Direction);
    COPY_EACH(*from, *to, FontName);
    COPY_EACH(*from, *to, Relative);
    COPY_EACH(*from, *to, Size);
    const auto fromColor = AttemptValue([&] { return (*from)->Color2(); });
    const auto toColor = AttemptValue([&] { return (*to)->Color2(); });
    if (!fromColor || !toColor || !*fromColor || !*toColor)
        return;
    COPY_EACH(*fromColor, *toColor, RGB);
    COPY_EACH(*fromColor, *toColor, SchemeColor);
    COPY_EACH(*fromColor, *toColor, TintAndShade);
}

// The typed copies stop at their first failing property (one Attempt around each).
void CopyColor(IAnimationBehavior& from, IAnimationBehavior& to) {
    Attempt([&] {
        auto f = Need(from.ColorEffect(), "ColorEffect");
        auto t = Need(to.ColorEffect(), "ColorEffect");
        t->SetBy(f->By());
        t->SetFrom(f->From());
        t->SetTo(f->To());
    });
}

void CopyCommand(IAnimationBehavior& from, IAnimationBehavior& to) {
    Attempt([&] {
        auto f = Need(from.CommandEffect(), "CommandEffect");
        auto t = Need(to.CommandEffect(), "CommandEffect");
        t->SetCommand(f->Command());
        t->SetType(f->Type());
    });
}

void CopyMotion(IAnimationBehavior& from, IAnimationBehavior& to) {
    Attempt([&] {
        auto f = Need(from.MotionEffect(), "MotionEffect");
        auto t = Need(to.MotionEffect(), "MotionEffect");
        t->SetByX(f->ByX());
        t->SetByY(f->ByY());
        t->SetFromX(f->FromX());
        t->SetFromY(f->FromY());
        t->SetPath(f->Path());
        t->SetToX(f->ToX());
        t->SetToY(f->ToY());
    });
}

void CopyProperty(IAnimationBehavior& from, IAnimationBehavior& to) {
    Attempt([&] {
        auto f = Need(from.PropertyEffect(), "PropertyEffect");
        auto t = Need(to.PropertyEffect(), "PropertyEffect");
        t->SetFrom(f->From());
        t->SetProperty(f->Property());
        t->SetTo(f->To());
        auto fromPoints = Need(f->Points(), "Points");
        auto toPoints = Need(t->Points(), "Points");
        toPoints->SetSmooth(fromPoints->Smooth());
        const int count = fromPoints->Count();
        for (int k = 1; k <= count; ++k) {
            auto oldPoint = Need(fromPoints->Item(k), "Item");
            auto newPoint = Need(toPoints->Add(), "Add");
            newPoint->SetFormula(oldPoint->Formula());
            newPoint->SetTime(oldPoint->Time());
            newPoint->SetValue(oldPoint->Value());
        }
    });
}

void CopyRotation(IAnimationBehavior& from, IAnimationBehavior& to) {
    Attempt([&] {
        auto f = Need(from.RotationEffect(), "RotationEffect");
        auto t = Need(to.RotationEffect(), "RotationEffect");
        t->SetBy(f->By());
        t->SetFrom(f->From());
        t->SetTo(f->To());
    });
}

void CopyScale(IAnimationBehavior& from, IAnimationBehavior& to) {
    Attempt([&] {
        auto f = Need(from.ScaleEffect(), "ScaleEffect");
        auto t = Need(to.ScaleEffect(), "ScaleEffect");
        t->SetByX(f->ByX());
        t->SetByY(f->ByY());
        t->SetFromX(f->FromX());
        t->SetFromY(f->FromY());
        t->SetToX(f->ToX());
        t->SetToY(f->ToY());
    });
}

void CopyBehaviors(IEffect& oldEffect, IEffect& newEffect) {
    const auto oldBehaviors = AttemptValue([&] { return oldEffect.Behaviors(); });
    const auto newBehaviors = AttemptValue([&] { return newEffect.Behaviors(); });
    if (!oldBehaviors || !newBehaviors || !*oldBehaviors || !*newBehaviors)
        return;
    const auto count = AttemptValue([&] { return (*oldBehaviors)->Count(); });
    if (!count)
        return;
    for (int j = 1; j <= *count; ++j) {
        const auto from = AttemptValue([&] { return (*oldBehaviors)->Item(j); });
        const auto to = AttemptValue([&] { return (*newBehaviors)->Item(j); });
        if (!from || !to || !*from || !*to)
            continue;
        COPY_EACH(*from, *to, Accumulate);
        COPY_EACH(*from, *to, Additive);
        COPY_EACH(*from, *to, Type);
        // Each typed copy looks at the old behaviour's kind itself; at most one matches.
        auto isType = [&](int type) { return AttemptValue([&] { return (*from)->Type(); }) == type; };
        if (isType(automation::msoAnimTypeColor))
            CopyColor(**from, **to);
        if (isType(automation::msoAnimTypeCommand))
            CopyCommand(**from, **to);
        // Filter and set behaviours carry nothing beyond the common properties.
        if (isType(automation::msoAnimTypeMotion))
            CopyMotion(**from, **to);
        if (isType(automation::msoAnimTypeProperty))
            CopyProperty(**from, **to);
        if (isType(automation::msoAnimTypeRotation))
            CopyRotation(**from, **to);
        if (isType(automation::msoAnimTypeScale))
            CopyScale(**from, **to);
    }
}

void CopyTiming(IEffect& oldEffect, IEffect& newEffect) {
    const auto from = AttemptValue([&] { return oldEffect.Timing(); });
    const auto to = AttemptValue([&] { return newEffect.Timing(); });
    if (!from || !to || !*from || !*to)
        return;
    COPY_EACH(*from, *to, Accelerate);
    COPY_EACH(*from, *to, AutoReverse);
    COPY_EACH(*from, *to, Decelerate);
    COPY_EACH(*from, *to, Duration);
    COPY_EACH(*from, *to, RepeatCount);
    COPY_EACH(*from, *to, RepeatDuration);
    COPY_EACH(*from, *to, Restart);
    COPY_EACH(*from, *to, RewindAtEnd);
    COPY_EACH(*from, *to, SmoothEnd);
    COPY_EACH(*from, *to, SmoothStart);
    COPY_EACH(*from, *to, Speed);
    COPY_EACH(*from, *to, TriggerDelayTime);
    COPY_EACH(*from, *to, TriggerType);
}

// Rebuilds one effect on the new shape. Returns by how many effects the sequence grew.
int MoveEffect(automation::ISequence& sequence, IEffect& oldEffect, const automation::ShapePtr& newShape) {
    std::shared_ptr<IEffect> newEffect;
    Attempt([&] {
        const int effectType = oldEffect.EffectType();
        const int index = oldEffect.Index();
        newEffect = sequence.AddEffect(newShape, effectType, index);
    });
    if (newEffect) {
        CopyEffectParameters(oldEffect, *newEffect);
        CopyBehaviors(oldEffect, *newEffect);
        CopyTiming(oldEffect, *newEffect);
        COPY_EACH(&oldEffect, newEffect, Exit);
    }
    // The old effect would vanish with the old shape anyway.
    const bool deleted = Attempt([&] { oldEffect.Delete(); });
    return (newEffect ? 1 : 0) - (deleted ? 1 : 0);
}

} // namespace

void TransferAnimation(automation::ITimeLine& timeline, automation::ShapePtr oldShape,
                       automation::ShapePtr newShape) {
    const auto sequence = AttemptValue([&] { return timeline.MainSequence(); });
    const auto oldName = AttemptValue([&] { return oldShape->Name(); });
    if (!sequence || !*sequence || !oldName)
        return;
    const auto counted = AttemptValue([&] { return (*sequence)->Count(); });
    if (!counted)
        return;
    int count = *counted;
    for (int i = 1; i <= count; ++i) {
        const auto effect = AttemptValue([&] { return (*sequence)->Item(i); });
        if (!effect || !*effect)
            continue;
        const auto name = AttemptValue([&] { return Need((*effect)->Shape(), "Shape")->Name(); });
        if (!name || *name != *oldName)
            continue;
        // Normally one for one; otherwise keep the walk on the effects that were there.
        const int grown = MoveEffect(**sequence, **effect, newShape);
        i += grown;
        count += grown;
    }
}

void TransferLegacyAnimation(automation::IShape& oldShape, automation::IShape& newShape) {
    const auto from = AttemptValue([&] { return oldShape.AnimationSettings(); });
    const auto to = AttemptValue([&] { return newShape.AnimationSettings(); });
    if (!from || !to || !*from || !*to)
        return;
    COPY_EACH(*from, *to, AdvanceMode);
    COPY_EACH(*from, *to, AdvanceTime);
    COPY_EACH(*from, *to, AfterEffect);
    COPY_EACH(*from, *to, AnimateBackground);
    COPY_EACH(*from, *to, AnimateTextInReverse);
    COPY_EACH(*from, *to, TextLevelEffect);
    COPY_EACH(*from, *to, TextUnitEffect);
    COPY_EACH(*from, *to, DimColor);
    COPY_EACH(*from, *to, EntryEffect);
    COPY_EACH(*from, *to, Animate);
    COPY_EACH(*from, *to, AnimationOrder);
}

#undef COPY_EACH

} // namespace engine
