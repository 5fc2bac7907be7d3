#pragma once

// Cuts an sfnt font down to the glyphs a set of characters needs (HarfBuzz subsetter). Layout
// tables (GSUB/GPOS) and TrueType hinting are kept, so text shapes and renders as with the full font.

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace office::fonts {

// nullopt when HarfBuzz cannot read or subset the font.
std::optional<std::vector<std::uint8_t>> SubsetSfnt(const std::vector<std::uint8_t>& sfnt,
                                                    const std::set<char32_t>& characters);

} // namespace office::fonts
