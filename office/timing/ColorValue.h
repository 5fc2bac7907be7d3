#pragma once

// Colours of the object model (0x00BBGGRR numbers) against a:srgbClr hex texts.

#include <optional>
#include <string>

namespace office::timing {

std::optional<int> RgbOfHex(const std::string& hex); // "RRGGBB" -> 0xBBGGRR
std::string HexOfRgb(int rgb);                       // 0xBBGGRR -> "RRGGBB"

} // namespace office::timing
