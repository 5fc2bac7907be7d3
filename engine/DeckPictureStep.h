#pragma once

// After the shape walk: the backend's deck-wide picture pass, when the setting asks for it and the
// backend has one. Logs one line per recompressed picture part.

#include "automation/DeckPictures.h"
#include "engine/EngineState.h"

#include <string>
#include <vector>

namespace engine {

// "\t" W "x" H " ﾋﾟｸｾﾙの" PLACE "画像を" FORMAT "に圧縮 (" BEFORE "→" AFTER ")"
std::string DeckPictureLogLine(const automation::DeckPictureResult& result);

// Runs the pass over SourcePresentation; sets PresentationChanged when a part was replaced.
std::vector<automation::DeckPictureResult> CompressDeckPictures(EngineContext& ctx);

} // namespace engine
