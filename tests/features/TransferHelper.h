#pragma once

// The engine's way of moving effects from one shape to another (add at the old position, copy, delete),
// written out here so the feature objects are exercised the way the engine drives them.

#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "automation/PowerPoint.h"

#include <functional>

namespace features_test {

inline void Attempt(const std::function<void()>& step) {
    try {
        step();
    } catch (const automation::AutomationError&) {
    }
}

inline void CopyEffect(automation::IEffect& from, automation::IEffect& to) {
    auto p = from.EffectParameters();
    auto q = to.EffectParameters();
    Attempt([&] { q->SetAmount(p->Amount()); });
    Attempt([&] { q->SetDirection(p->Direction()); });
    Attempt([&] { q->SetFontName(p->FontName()); });
    Attempt([&] { q->SetRelative(p->Relative()); });
    Attempt([&] { q->SetSize(p->Size()); });
    Attempt([&] { q->Color2()->SetRGB(p->Color2()->RGB()); });
    int behaviors = from.Behaviors()->Count();
    for (int j = 1; j <= behaviors; ++j) {
        Attempt([&] {
            auto a = from.Behaviors()->Item(j);
            auto b = to.Behaviors()->Item(j);
            Attempt([&] { b->SetAccumulate(a->Accumulate()); });
            Attempt([&] { b->SetAdditive(a->Additive()); });
            Attempt([&] { b->SetType(a->Type()); });
            Attempt([&] {
                if (a->Type() == automation::msoAnimTypeMotion) {
                    auto m = a->MotionEffect(), n = b->MotionEffect();
                    n->SetPath(m->Path());
                }
            });
            Attempt([&] {
                if (a->Type() == automation::msoAnimTypeRotation)
                    b->RotationEffect()->SetBy(a->RotationEffect()->By());
            });
        });
    }
    auto s = from.Timing();
    auto t = to.Timing();
    Attempt([&] { t->SetAccelerate(s->Accelerate()); });
    Attempt([&] { t->SetAutoReverse(s->AutoReverse()); });
    Attempt([&] { t->SetDecelerate(s->Decelerate()); });
    Attempt([&] { t->SetDuration(s->Duration()); });
    Attempt([&] { t->SetRepeatCount(s->RepeatCount()); });
    Attempt([&] { t->SetRepeatDuration(s->RepeatDuration()); });
    Attempt([&] { t->SetRestart(s->Restart()); });
    Attempt([&] { t->SetRewindAtEnd(s->RewindAtEnd()); });
    Attempt([&] { t->SetSmoothEnd(s->SmoothEnd()); });
    Attempt([&] { t->SetSmoothStart(s->SmoothStart()); });
    Attempt([&] { t->SetSpeed(s->Speed()); });
    Attempt([&] { t->SetTriggerDelayTime(s->TriggerDelayTime()); });
    Attempt([&] { t->SetTriggerType(s->TriggerType()); });
    Attempt([&] { to.SetExit(from.Exit()); });
}

// Moves every main-sequence effect of the shape named like `oldShape` to `newShape`.
inline void TransferEffects(automation::ITimeLine& timeline, automation::IShape& oldShape,
                            const automation::ShapePtr& newShape) {
    auto sequence = timeline.MainSequence();
    int count = sequence->Count();
    for (int i = 1; i <= count; ++i) {
        Attempt([&] {
            auto old = sequence->Item(i);
            if (old->Shape()->Name() != oldShape.Name())
                return;
            std::shared_ptr<automation::IEffect> created;
            Attempt([&] { created = sequence->AddEffect(newShape, old->EffectType(), old->Index()); });
            if (created)
                CopyEffect(*old, *created);
            old->Delete();
        });
    }
}

// Copies one action setting the way the engine does: hyperlink properties until one fails, then the
// sound until one fails, then each remaining property on its own.
inline void CopyActionSetting(automation::IActionSetting& from, automation::IActionSetting& to) {
    Attempt([&] {
        auto a = from.Hyperlink();
        auto b = to.Hyperlink();
        b->SetAddress(a->Address());
        b->SetEmailSubject(a->EmailSubject());
        b->SetScreenTip(a->ScreenTip());
        b->SetShowAndReturn(a->ShowAndReturn());
        b->SetSubAddress(a->SubAddress());
        b->SetTextToDisplay(a->TextToDisplay());
    });
    Attempt([&] {
        auto a = from.SoundEffect();
        auto b = to.SoundEffect();
        b->SetName(a->Name());
        b->SetType(a->Type());
    });
    Attempt([&] { to.SetAction(from.Action()); });
    Attempt([&] { to.SetAnimateAction(from.AnimateAction()); });
    Attempt([&] { to.SetRun(from.Run()); });
    Attempt([&] { to.SetSlideShowName(from.SlideShowName()); });
}

// Re-glues every connector end that held the old shape (matched by name) to the new one, at its site.
inline void ReattachConnectors(automation::IShapes& shapes, automation::IShape& oldShape,
                               const automation::ShapePtr& newShape) {
    int count = shapes.Count();
    for (int i = 1; i <= count; ++i) {
        auto shape = shapes.Item(i);
        if (!shape->Connector())
            continue;
        auto format = shape->ConnectorFormat();
        if (format->BeginConnected() && format->BeginConnectedShape()->Name() == oldShape.Name()) {
            int site = format->BeginConnectionSite();
            format->BeginDisconnect();
            format->BeginConnect(newShape, site);
        }
        if (format->EndConnected() && format->EndConnectedShape()->Name() == oldShape.Name()) {
            int site = format->EndConnectionSite();
            format->EndDisconnect();
            format->EndConnect(newShape, site);
        }
    }
}

} // namespace features_test
