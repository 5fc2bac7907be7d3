#pragma once

// Moving a shape's animation onto the shape that replaces it. Call after the new shape is placed
// and before the old one is deleted; neither routine deletes a shape, and no failure escapes.

#include "automation/PowerPoint.h"

namespace engine {

// Rebuilds every main-sequence effect whose shape bears the old shape's name on the new shape, at
// the same position and with the same parameters, behaviours and timing, then deletes the old effect.
void TransferAnimation(automation::ITimeLine& timeline, automation::ShapePtr oldShape,
                       automation::ShapePtr newShape);

// Copies the older model's per-shape animation settings from the old shape to the new one.
void TransferLegacyAnimation(automation::IShape& oldShape, automation::IShape& newShape);

} // namespace engine
