#pragma once

// What the walk reads of a shape before it changes anything, and which shapes it re-creates: shared
// by the walk and by the forecast of its copies.

#include "automation/PowerPoint.h"
#include "engine/EngineState.h"
#include "engine/ReplacementCycle.h"

#include <optional>

namespace engine {

// The log's text after "W x H" for a picture another place keeps.
inline constexpr const char* kKeptElsewhereLog =
    " ﾋﾟｸｾﾙの画像は他の場所でも使われているため、ここでは置き換えません";

// Nothing when the shape's name or geometry cannot be read (such a shape is left alone). An object's
// application is recognised, which enters it in the object list.
std::optional<ShapeFacts> ReadShapeFacts(EngineContext& ctx, automation::IShape& shape);
// The same without recognising objects: changes nothing anywhere.
std::optional<ShapeFacts> ReadPictureFacts(automation::IShape& shape);

// A picture, or an application object the settings convert; never a movie or sound.
bool IsReplacementCandidate(EngineContext& ctx, const ShapeFacts& facts);

// A picture whose stored part another place keeps would only gain a second part by a replacement; the
// deck-wide pass recompresses such a part in place for all its places where it may.
bool PictureKeptElsewhere(EngineContext& ctx, automation::IShape& shape);

} // namespace engine
