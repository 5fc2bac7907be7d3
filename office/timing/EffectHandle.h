#pragma once

// How the effect objects find their XML: the effect's p:par in the first timing branch, and the
// effect at the same position in every other branch (mc:Choice and mc:Fallback are kept in step).

#include "automation/Animation.h"
#include "office/model/SlideContext.h"

#include <functional>
#include <memory>
#include <pugixml.hpp>
#include <vector>

namespace office::timing {

class EffectHandle {
public:
    EffectHandle(std::shared_ptr<SlideContext> slide, pugi::xml_node primary)
        : slide_(std::move(slide)), primary_(primary) {}

    SlideContext& Slide() const { return *slide_; }
    const std::shared_ptr<SlideContext>& SlidePtr() const { return slide_; }

    // 0-based position in the main sequence; throws AutomationError(member) once the effect is gone.
    int Position(const char* member) const;
    pugi::xml_node Primary(const char* member) const;
    // The effect in every branch, the first branch first.
    std::vector<pugi::xml_node> Branches(const char* member) const;
    void ForEachBranch(const char* member, const std::function<void(pugi::xml_node)>& edit) const;

private:
    std::shared_ptr<SlideContext> slide_;
    pugi::xml_node primary_;
};

std::shared_ptr<automation::ITiming> MakeEffectTiming(EffectHandle effect);
std::shared_ptr<automation::IEffectParameters> MakeEffectParameters(EffectHandle effect);
std::shared_ptr<automation::IAnimationBehaviors> MakeBehaviors(EffectHandle effect);
std::shared_ptr<automation::IEffect> MakeEffect(EffectHandle effect);
std::shared_ptr<automation::ISequence> MakeMainSequence(std::shared_ptr<SlideContext> slide);

// Seconds in the object model, milliseconds in the XML.
inline double MsToSeconds(double ms) {
    return ms / 1000.0;
}
inline double SecondsToMs(double seconds) {
    return seconds * 1000.0;
}

} // namespace office::timing
