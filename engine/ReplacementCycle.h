#pragma once

// The replacement cycle of one shape: scaled copy, measurement in the scratch presentation, paste
// in the chosen format (with the transparency retry and an object's second conversion),
// measurement of the replacement, the acceptance test and the take-over.

#include "automation/PowerPoint.h"
#include "engine/EngineState.h"

#include <string>
#include <vector>

namespace engine {

// What the walk learnt about a shape before anything was changed.
struct ShapeFacts {
    std::string name;
    int type = 0;
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool treatAsPicture = false;
    std::string kind; // "Picture", or an object's application
};

// One call of the walk: the slide, whether it is the slide itself or an opened group, and the
// shapes handled so far (the source, its replacement, or the rebuilt group), which an opened group
// is rebuilt from. They are kept as objects, not names: a member may share its name with a shape
// outside the group, which must not be pulled into the rebuilt group.
struct WalkScope {
    EngineContext& ctx;
    automation::SlidePtr slide;
    bool topLevel = true;
    std::vector<automation::ShapePtr>& doneShapes;
};

// Runs the cycle for shp. It never throws: a failure leaves the source as it was (rotation
// restored, a replacement pasted for it deleted), and it goes into doneShapes.
void RunReplacementCycle(WalkScope& scope, const automation::ShapePtr& shp, const ShapeFacts& facts);

// Moves from's animation to `to` by the mode's model: the main sequence in the newer mode, the
// per-shape settings in the older one.
void MoveAnimation(EngineContext& ctx, automation::ISlide& slide, const automation::ShapePtr& from,
                   const automation::ShapePtr& to);

// The walk's pauses; the state's Wait when set, else a real sleep unless the office application
// settles at once.
void Pause(EngineContext& ctx, int milliseconds);

} // namespace engine
