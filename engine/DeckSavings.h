#pragma once

// The savings the user opts into because they limit later editing: embedded fonts cut down to the
// characters the deck uses, layouts and masters no slide uses removed. Run once per deck, after
// the slide walk and before the save.

#include "automation/PowerPoint.h"
#include "engine/EngineState.h"

#include <vector>

namespace engine {

struct DeckSavings {
    std::vector<automation::EmbeddedFontSaving> fonts; // empty when not asked for or none embedded
    automation::LayoutRemovalCount layouts;
};

// Logs one line per embedded font and one for the layouts; true when the deck changed.
bool ApplyDeckSavings(EngineContext& ctx, automation::IPresentation& deck, DeckSavings& savings);

} // namespace engine
