#pragma once

// Icons in enhanced metafiles are drawn in two steps: a monochrome mask ANDed onto the page, then
// the colours XORed over it. The SVG converter draws every bitmap as a plain copy, which shows the
// mask as a black square around the icon; merging each pair into one bitmap with transparency
// first lets it draw what an office suite draws.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace office::imaging::detail {

// The EMF with every mask-and-colours pair drawn at the same place turned into one 32-bit bitmap
// with transparency; nothing when it holds no such pair or cannot be read that far.
std::optional<std::vector<std::uint8_t>> WithMaskedBitmapsMerged(std::span<const std::uint8_t> emf);

} // namespace office::imaging::detail
