#pragma once

#include "engine/EngineState.h"

namespace engine {

inline constexpr int kSlideTabControlId = 6015;

// Leaves the left pane of the source presentation's window on the slide thumbnails: a temporary
// control of the standard command bar switches it when the pane shows the outline. Failures are
// ignored; the view only helps the person watching.
void SetSlideTab(EngineContext& ctx);

} // namespace engine
