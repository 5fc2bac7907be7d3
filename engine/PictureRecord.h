#pragma once

// The account of replaced pictures that the run's visual report shows, taken from a presentation that
// keeps one (automation::IReplacedPictures) when the run asks for it.

#include "automation/PowerPoint.h"
#include "automation/ReplacedPictures.h"
#include "engine/EngineState.h"

#include <vector>

namespace engine {

// Starts the account for a freshly opened deck when the run asks for one.
void StartPictureRecord(EngineContext& ctx, automation::IPresentation& deck);
// The replacements standing in the deck; empty when none were recorded.
std::vector<automation::ReplacedPicture> RecordedPictures(automation::IPresentation& deck);

} // namespace engine
