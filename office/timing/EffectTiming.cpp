// Timing of one effect, over the attributes of its p:cTn (durations in seconds here, ms in the XML).

#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "office/timing/EffectHandle.h"
#include "office/timing/TimingTree.h"
#include "office/timing/XmlUtil.h"

#include <cmath>
#include <cstring>

namespace office::timing {

using automation::AutomationError;

namespace {

constexpr double kPercent = 100000.0; // ST_Percentage: 1/1000 of a percent

bool Same(double a, double b) {
    return std::fabs(a - b) < 1e-9;
}

pugi::xml_node BehaviorCTn(pugi::xml_node behavior) {
    if (pugi::xml_node cTn = behavior.child("p:cBhvr").child("p:cTn"))
        return cTn;
    return behavior.child("p:cTn");
}

class EffectTiming final : public automation::ITiming {
public:
    explicit EffectTiming(EffectHandle handle) : handle_(std::move(handle)) {}

    double Accelerate() override {
        return xml::NumberAttr(CTn("Accelerate"), "accel").value_or(0) / kPercent;
    }
    void SetAccelerate(double v) override { SetFraction("Accelerate", "accel", v); }
    double Decelerate() override {
        return xml::NumberAttr(CTn("Decelerate"), "decel").value_or(0) / kPercent;
    }
    void SetDecelerate(double v) override { SetFraction("Decelerate", "decel", v); }

    bool AutoReverse() override { return xml::BoolAttr(CTn("AutoReverse"), "autoRev"); }
    void SetAutoReverse(bool v) override {
        if (v == AutoReverse())
            return;
        Edit("AutoReverse", [v](pugi::xml_node cTn) {
            if (v)
                xml::SetAttr(cTn, "autoRev", "1");
            else
                cTn.remove_attribute("autoRev");
        });
    }

    double Duration() override { return MsToSeconds(EstimateDurationMs(CTn("Duration"), false)); }
    void SetDuration(double seconds) override {
        if (!(seconds > 0))
            throw AutomationError("Duration", "the duration must be positive");
        if (std::fabs(SecondsToMs(seconds) - EstimateDurationMs(CTn("Duration"), false)) < 0.5)
            return;
        Edit("Duration", [seconds](pugi::xml_node cTn) { ScaleDuration(cTn, SecondsToMs(seconds)); });
    }

    int RepeatCount() override {
        pugi::xml_node cTn = CTn("RepeatCount");
        if (std::strcmp(cTn.attribute("repeatCount").value(), "indefinite") == 0)
            return -1;
        return static_cast<int>(std::lround(xml::NumberAttr(cTn, "repeatCount").value_or(1000) / 1000.0));
    }
    void SetRepeatCount(int v) override {
        if (v == RepeatCount())
            return;
        if (v == 0 || v < -1)
            throw AutomationError("RepeatCount", "invalid repeat count");
        Edit("RepeatCount", [v](pugi::xml_node cTn) {
            if (v == 1)
                cTn.remove_attribute("repeatCount");
            else
                xml::SetAttr(cTn, "repeatCount",
                             v == -1 ? std::string("indefinite") : std::to_string(v * 1000));
        });
    }

    double RepeatDuration() override {
        return MsToSeconds(xml::NumberAttr(CTn("RepeatDuration"), "repeatDur").value_or(0));
    }
    void SetRepeatDuration(double seconds) override {
        if (Same(seconds, RepeatDuration()))
            return;
        if (seconds < 0)
            throw AutomationError("RepeatDuration", "negative duration");
        Edit("RepeatDuration", [seconds](pugi::xml_node cTn) {
            if (seconds == 0)
                cTn.remove_attribute("repeatDur");
            else
                xml::SetAttr(cTn, "repeatDur", xml::FormatNumber(std::round(SecondsToMs(seconds))));
        });
    }

    // 1 always, 2 when not active, 3 never.
    int Restart() override {
        std::string value = CTn("Restart").attribute("restart").value();
        if (value == "whenNotActive")
            return 2;
        if (value == "never")
            return 3;
        return 1;
    }
    void SetRestart(int v) override {
        if (v == Restart())
            return;
        const char* names[] = {"always", "whenNotActive", "never"};
        if (v < 1 || v > 3)
            throw AutomationError("Restart", "invalid restart value");
        Edit("Restart", [&](pugi::xml_node cTn) { xml::SetAttr(cTn, "restart", names[v - 1]); });
    }

    bool RewindAtEnd() override {
        return std::strcmp(CTn("RewindAtEnd").attribute("fill").value(), "remove") == 0;
    }
    void SetRewindAtEnd(bool v) override {
        if (v == RewindAtEnd())
            return;
        Edit("RewindAtEnd", [v](pugi::xml_node cTn) { xml::SetAttr(cTn, "fill", v ? "remove" : "hold"); });
    }

    // A smooth start or end is an acceleration or deceleration phase; half the effect when made here.
    bool SmoothStart() override { return Accelerate() > 0; }
    void SetSmoothStart(bool v) override {
        if (v != SmoothStart())
            SetAccelerate(v ? 0.5 : 0);
    }
    bool SmoothEnd() override { return Decelerate() > 0; }
    void SetSmoothEnd(bool v) override {
        if (v != SmoothEnd())
            SetDecelerate(v ? 0.5 : 0);
    }

    double Speed() override { return xml::NumberAttr(CTn("Speed"), "spd").value_or(kPercent) / kPercent; }
    void SetSpeed(double v) override {
        if (Same(v, Speed()))
            return;
        if (!(v > 0))
            throw AutomationError("Speed", "the speed must be positive");
        Edit("Speed", [v](pugi::xml_node cTn) {
            if (Same(v, 1.0))
                cTn.remove_attribute("spd");
            else
                xml::SetAttr(cTn, "spd", xml::FormatNumber(std::round(v * kPercent)));
        });
    }

    double TriggerDelayTime() override { return MsToSeconds(StartDelayMs(CTn("TriggerDelayTime"))); }
    void SetTriggerDelayTime(double seconds) override {
        if (Same(seconds, TriggerDelayTime()))
            return;
        if (seconds < 0)
            throw AutomationError("TriggerDelayTime", "negative delay");
        Edit("TriggerDelayTime",
             [seconds](pugi::xml_node cTn) { SetStartDelayMs(cTn, std::round(SecondsToMs(seconds))); });
    }

    int TriggerType() override {
        int position = handle_.Position("TriggerType");
        std::vector<pugi::xml_node> timings = TimingBranches(handle_.Slide().SlideRoot());
        switch (MainEffects(timings.front())[static_cast<std::size_t>(position)].trigger) {
        case Trigger::OnClick:
            return automation::msoAnimTriggerOnPageClick;
        case Trigger::WithPrevious:
            return automation::msoAnimTriggerWithPrevious;
        case Trigger::AfterPrevious:
            return automation::msoAnimTriggerAfterPrevious;
        }
        return automation::msoAnimTriggerOnPageClick;
    }
    void SetTriggerType(int v) override {
        if (v == TriggerType())
            return;
        Trigger trigger;
        if (v == automation::msoAnimTriggerOnPageClick)
            trigger = Trigger::OnClick;
        else if (v == automation::msoAnimTriggerWithPrevious)
            trigger = Trigger::WithPrevious;
        else if (v == automation::msoAnimTriggerAfterPrevious)
            trigger = Trigger::AfterPrevious;
        else
            throw AutomationError("TriggerType",
                                  "the main sequence takes click, with and after triggers only");
        std::vector<pugi::xml_node> effects = handle_.Branches("TriggerType");
        std::vector<pugi::xml_node> timings = TimingBranches(handle_.Slide().SlideRoot());
        for (pugi::xml_node effect : effects)
            xml::SetAttr(EffectCTn(effect), "nodeType", TriggerNodeType(trigger));
        for (pugi::xml_node timing : timings)
            Regroup(timing);
        handle_.Slide().MarkModified();
    }

private:
    pugi::xml_node CTn(const char* member) const { return EffectCTn(handle_.Primary(member)); }

    void Edit(const char* member, const std::function<void(pugi::xml_node)>& edit) {
        handle_.ForEachBranch(member, [&](pugi::xml_node effect) { edit(EffectCTn(effect)); });
    }

    void SetFraction(const char* member, const char* attr, double v) {
        if (v < 0 || v > 1)
            throw AutomationError(member, "the value must lie between 0 and 1");
        if (Same(v, xml::NumberAttr(CTn(member), attr).value_or(0) / kPercent))
            return;
        Edit(member, [&](pugi::xml_node cTn) {
            if (v == 0)
                cTn.remove_attribute(attr);
            else
                xml::SetAttr(cTn, attr, xml::FormatNumber(std::round(v * kPercent)));
        });
    }

    // An effect's length is the span of its behaviours: each behaviour's start and length are scaled.
    static void ScaleDuration(pugi::xml_node cTn, double targetMs) {
        if (xml::NumberAttr(cTn, "dur")) {
            xml::SetAttr(cTn, "dur", xml::FormatNumber(std::round(targetMs)));
            return;
        }
        double current = EstimateDurationMs(cTn, false);
        for (pugi::xml_node behavior : cTn.child("p:childTnLst").children()) {
            pugi::xml_node inner = BehaviorCTn(behavior);
            if (!inner)
                continue;
            if (current <= 0) {
                xml::SetAttr(inner, "dur", xml::FormatNumber(std::round(targetMs)));
                continue;
            }
            double factor = targetMs / current;
            auto dur = xml::NumberAttr(inner, "dur");
            if (dur && *dur > 1)
                xml::SetAttr(inner, "dur", xml::FormatNumber(std::round(*dur * factor)));
            double delay = StartDelayMs(inner);
            if (delay > 0)
                SetStartDelayMs(inner, std::round(delay * factor));
        }
    }

    EffectHandle handle_;
};

} // namespace

std::shared_ptr<automation::ITiming> MakeEffectTiming(EffectHandle effect) {
    return std::make_shared<EffectTiming>(std::move(effect));
}

} // namespace office::timing
