#pragma once

// Carrying a replaced shape's links over to its replacement: the action settings (click and mouse
// over) and the connectors glued to it. No failure escapes either routine.

#include "automation/PowerPoint.h"

namespace engine {

// Hyperlink (ends at its first failing property), then sound (likewise), then the setting's own
// action, AnimateAction, Run and SlideShowName, each on its own.
void CopyActionSetting(automation::IActionSetting& source, automation::IActionSetting& target);

// Re-glues every connector end that is glued to a shape named like oldShape to newShape, at the
// same connection site. The first failure ends the pass over the connectors.
void ReattachConnectors(automation::IShapes& shapes, automation::IShape& oldShape,
                        automation::ShapePtr newShape);

} // namespace engine
