#pragma once

// The shape walk of one slide: walks the shapes (opening groups large enough), replaces every
// qualifying picture or application object by a smaller re-pasted picture and hands the old
// shape's geometry, stacking, rotation, animation, links and connector ends to it.

#include "automation/PowerPoint.h"
#include "engine/EngineState.h"

#include <string>

namespace engine {

// With topLevel the whole slide is walked and the result is empty. Otherwise group (a group shape
// on container) is opened, walked and rebuilt, and the result is the rebuilt group's name.
std::string CompressShapes(EngineContext& ctx, automation::SlidePtr container, automation::ShapePtr group,
                           bool topLevel);

} // namespace engine
