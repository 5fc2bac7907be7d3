#pragma once

// Palette pictures in an order of their own. A quantiser orders its palette by how it weighs the
// colours, in floating point, so two builds of the same version (one per system) can list the same
// colours in another order, or one colour twice, and store different bytes for the same pixels.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace office::imaging {

// The palette PNG with its entries ordered translucent first, then each part by RGBA value; equal
// entries merged and unused ones dropped; every pixel keeps its colour and alpha, clear ones too.
// Other chunks a picture carries (profile, resolution) stay. Row filters:
// adaptive, else none; deflate at zlib's level 6, as the encoder writes PNGs. Nullopt when the
// PNG is not an uninterlaced palette picture that decodes without error.
std::optional<std::vector<std::uint8_t>> WithCanonicalPalette(std::span<const std::uint8_t> png,
                                                              bool adaptiveFilter);

} // namespace office::imaging
