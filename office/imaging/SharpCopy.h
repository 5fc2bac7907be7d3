#pragma once

// Small graphics with hard edges get more pixels than the quality setting asks for: a renderer that
// reduces a picture by a whole ratio keeps every edge on a pixel boundary, where a reduction of 1.4
// spreads it over two pixels and softens it (a mascot shown 131 pixels wide, copied at 1.4 times,
// left its slide a worst 32-pixel tile of 0.875). The setting's resolution is the least a picture
// gets; this is chosen only where it costs little.

#include "office/imaging/Imaging.h"

#include <cstddef>
#include <optional>

namespace office::imaging {

// The sharp copy has this many times the pixels it is shown with.
inline constexpr double kSharpReduction = 2.0;
// Small: shown no wider or higher than this many pixels (96 dpi). Beyond it the extra pixels cost
// more than a few KB.
inline constexpr int kSharpMaxShownSide = 320;

// The size of a sharp copy of a picture copied at `copied` pixels and shown at shownWidth x
// shownHeight pixels, never past the source's own visible pixels (sourceWidth x sourceHeight; 0
// for a vector source). Nothing when the picture is not small or the copy already has as many.
std::optional<PixelSize> SharpSize(PixelSize copied, double shownWidth, double shownHeight,
                                   double sourceWidth, double sourceHeight);

// Hard edges: alpha mostly fully clear or fully opaque with some of it clear (a cut-out), or few
// colours (a flat drawing, its anti-aliasing included), judged on the copy at the chosen size.
bool HasHardEdges(const Raster& copy);

// Whether the sharp pixels cost (as PNG, whatever format the paste then takes) only a few KB more
// than those at the chosen size, and a small share of the stored picture: far below the share a
// replacement may take at all.
bool SharpIsCheap(const Raster& atChosenSize, const Raster& sharp, std::size_t storedBytes);

} // namespace office::imaging
