#pragma once

// Animation members of the object model: the slide's timeline with its main sequence, effects,
// behaviours and timing, and the per-shape settings of the older animation model.
// Colours are the object model's colour numbers (0x00BBGGRR).

#include "automation/Variant.h"

#include <memory>
#include <string>

namespace automation {

class IShape;

class IColorFormat {
public:
    virtual ~IColorFormat() = default;
    virtual int RGB() = 0;
    virtual void SetRGB(int rgb) = 0;
    virtual int SchemeColor() = 0;
    virtual void SetSchemeColor(int schemeColor) = 0;
    virtual double TintAndShade() = 0;
    virtual void SetTintAndShade(double value) = 0;
};

class IEffectParameters {
public:
    virtual ~IEffectParameters() = default;
    virtual double Amount() = 0;
    virtual void SetAmount(double value) = 0;
    virtual int Direction() = 0;
    virtual void SetDirection(int value) = 0;
    virtual std::string FontName() = 0;
    virtual void SetFontName(const std::string& value) = 0;
    virtual bool Relative() = 0;
    virtual void SetRelative(bool value) = 0;
    virtual double Size() = 0;
    virtual void SetSize(double value) = 0;
    virtual std::shared_ptr<IColorFormat> Color2() = 0;
};

class IMotionEffect {
public:
    virtual ~IMotionEffect() = default;
    virtual double ByX() = 0;
    virtual void SetByX(double v) = 0;
    virtual double ByY() = 0;
    virtual void SetByY(double v) = 0;
    virtual double FromX() = 0;
    virtual void SetFromX(double v) = 0;
    virtual double FromY() = 0;
    virtual void SetFromY(double v) = 0;
    virtual std::string Path() = 0;
    virtual void SetPath(const std::string& v) = 0;
    virtual double ToX() = 0;
    virtual void SetToX(double v) = 0;
    virtual double ToY() = 0;
    virtual void SetToY(double v) = 0;
};

class IColorEffect {
public:
    virtual ~IColorEffect() = default;
    virtual int By() = 0;
    virtual void SetBy(int rgb) = 0;
    virtual int From() = 0;
    virtual void SetFrom(int rgb) = 0;
    virtual int To() = 0;
    virtual void SetTo(int rgb) = 0;
};

class IScaleEffect {
public:
    virtual ~IScaleEffect() = default;
    virtual double ByX() = 0;
    virtual void SetByX(double v) = 0;
    virtual double ByY() = 0;
    virtual void SetByY(double v) = 0;
    virtual double FromX() = 0;
    virtual void SetFromX(double v) = 0;
    virtual double FromY() = 0;
    virtual void SetFromY(double v) = 0;
    virtual double ToX() = 0;
    virtual void SetToX(double v) = 0;
    virtual double ToY() = 0;
    virtual void SetToY(double v) = 0;
};

class IRotationEffect {
public:
    virtual ~IRotationEffect() = default;
    virtual double By() = 0;
    virtual void SetBy(double v) = 0;
    virtual double From() = 0;
    virtual void SetFrom(double v) = 0;
    virtual double To() = 0;
    virtual void SetTo(double v) = 0;
};

class IAnimationPoint {
public:
    virtual ~IAnimationPoint() = default;
    virtual std::string Formula() = 0;
    virtual void SetFormula(const std::string& v) = 0;
    virtual double Time() = 0;
    virtual void SetTime(double v) = 0;
    virtual Variant Value() = 0;
    virtual void SetValue(const Variant& v) = 0;
};

class IAnimationPoints {
public:
    virtual ~IAnimationPoints() = default;
    virtual int Count() = 0;
    virtual std::shared_ptr<IAnimationPoint> Item(int index) = 0;
    // Appends a point at the end.
    virtual std::shared_ptr<IAnimationPoint> Add() = 0;
    virtual bool Smooth() = 0;
    virtual void SetSmooth(bool v) = 0;
};

class IPropertyEffect {
public:
    virtual ~IPropertyEffect() = default;
    virtual Variant From() = 0;
    virtual void SetFrom(const Variant& v) = 0;
    virtual int Property() = 0;
    virtual void SetProperty(int v) = 0;
    virtual Variant To() = 0;
    virtual void SetTo(const Variant& v) = 0;
    virtual std::shared_ptr<IAnimationPoints> Points() = 0;
};

class ICommandEffect {
public:
    virtual ~ICommandEffect() = default;
    virtual std::string Command() = 0;
    virtual void SetCommand(const std::string& v) = 0;
    virtual int Type() = 0;
    virtual void SetType(int v) = 0;
};

class IAnimationBehavior {
public:
    virtual ~IAnimationBehavior() = default;
    virtual int Accumulate() = 0;
    virtual void SetAccumulate(int v) = 0;
    virtual int Additive() = 0;
    virtual void SetAdditive(int v) = 0;
    virtual int Type() = 0;
    virtual void SetType(int v) = 0;
    // Each throws AutomationError when the behaviour is not of that kind.
    virtual std::shared_ptr<IMotionEffect> MotionEffect() = 0;
    virtual std::shared_ptr<IColorEffect> ColorEffect() = 0;
    virtual std::shared_ptr<IScaleEffect> ScaleEffect() = 0;
    virtual std::shared_ptr<IRotationEffect> RotationEffect() = 0;
    virtual std::shared_ptr<IPropertyEffect> PropertyEffect() = 0;
    virtual std::shared_ptr<ICommandEffect> CommandEffect() = 0;
};

class IAnimationBehaviors {
public:
    virtual ~IAnimationBehaviors() = default;
    virtual int Count() = 0;
    virtual std::shared_ptr<IAnimationBehavior> Item(int index) = 0;
};

class ITiming {
public:
    virtual ~ITiming() = default;
    virtual double Accelerate() = 0;
    virtual void SetAccelerate(double v) = 0;
    virtual bool AutoReverse() = 0;
    virtual void SetAutoReverse(bool v) = 0;
    virtual double Decelerate() = 0;
    virtual void SetDecelerate(double v) = 0;
    virtual double Duration() = 0;
    virtual void SetDuration(double v) = 0;
    virtual int RepeatCount() = 0;
    virtual void SetRepeatCount(int v) = 0;
    virtual double RepeatDuration() = 0;
    virtual void SetRepeatDuration(double v) = 0;
    virtual int Restart() = 0;
    virtual void SetRestart(int v) = 0;
    virtual bool RewindAtEnd() = 0;
    virtual void SetRewindAtEnd(bool v) = 0;
    virtual bool SmoothEnd() = 0;
    virtual void SetSmoothEnd(bool v) = 0;
    virtual bool SmoothStart() = 0;
    virtual void SetSmoothStart(bool v) = 0;
    virtual double Speed() = 0;
    virtual void SetSpeed(double v) = 0;
    virtual double TriggerDelayTime() = 0;
    virtual void SetTriggerDelayTime(double v) = 0;
    virtual int TriggerType() = 0;
    virtual void SetTriggerType(int v) = 0;
};

class IEffect {
public:
    virtual ~IEffect() = default;
    virtual std::shared_ptr<IShape> Shape() = 0;
    virtual int EffectType() = 0;
    virtual int Index() = 0;
    virtual std::shared_ptr<IEffectParameters> EffectParameters() = 0;
    virtual std::shared_ptr<IAnimationBehaviors> Behaviors() = 0;
    virtual std::shared_ptr<ITiming> Timing() = 0;
    virtual bool Exit() = 0;
    virtual void SetExit(bool v) = 0;
    virtual void Delete() = 0;
};

class ISequence {
public:
    virtual ~ISequence() = default;
    virtual int Count() = 0;
    virtual std::shared_ptr<IEffect> Item(int index) = 0;
    // index -1 appends at the end; otherwise the new effect takes that 1-based position.
    virtual std::shared_ptr<IEffect> AddEffect(std::shared_ptr<IShape> shape, int effectId,
                                               int index = -1) = 0;
};

class ITimeLine {
public:
    virtual ~ITimeLine() = default;
    virtual std::shared_ptr<ISequence> MainSequence() = 0;
};

// Per-shape animation of the older object model (one entry effect and an order number).
class IAnimationSettings {
public:
    virtual ~IAnimationSettings() = default;
    virtual int AdvanceMode() = 0;
    virtual void SetAdvanceMode(int v) = 0;
    virtual double AdvanceTime() = 0;
    virtual void SetAdvanceTime(double v) = 0;
    virtual int AfterEffect() = 0;
    virtual void SetAfterEffect(int v) = 0;
    virtual bool AnimateBackground() = 0;
    virtual void SetAnimateBackground(bool v) = 0;
    virtual bool AnimateTextInReverse() = 0;
    virtual void SetAnimateTextInReverse(bool v) = 0;
    virtual int TextLevelEffect() = 0;
    virtual void SetTextLevelEffect(int v) = 0;
    virtual int TextUnitEffect() = 0;
    virtual void SetTextUnitEffect(int v) = 0;
    virtual int DimColor() = 0;
    virtual void SetDimColor(int rgb) = 0;
    virtual int EntryEffect() = 0;
    virtual void SetEntryEffect(int v) = 0;
    virtual bool Animate() = 0;
    virtual void SetAnimate(bool v) = 0;
    virtual int AnimationOrder() = 0;
    virtual void SetAnimationOrder(int v) = 0;
};

} // namespace automation
