#pragma once

// Tells the presentation engine, before the slides are walked, which pictures the walk will copy and
// paste and how: an engine that can make their encodings on other cores starts on them while the
// walk does its serial work. Nothing here changes what the walk does or what it writes.

#include "engine/EngineState.h"

namespace engine {

// The pictures on the slides themselves (a group's members are copied only once it is opened) that the
// walk re-creates under the current settings, in its order.
void ForecastPictureCopies(EngineContext& ctx, automation::IPresentation& presentation);
// The walk is over: forecasts left are dropped.
void EndPictureForecast(automation::IPresentation& presentation);

} // namespace engine
