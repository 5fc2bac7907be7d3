#pragma once

// Small text helpers shared by the stores, the settings record and the windows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace settings {

// The text with every NUL, LF, CR and blank removed wherever it stands; other characters stay.
std::string StripBlanks(std::string_view text);
// Blanks (code 32 only) removed at both ends.
std::string TrimBlanks(std::string_view text);
// A decimal integer with optional sign and surrounding blanks that fits 32 bits; nullopt otherwise.
std::optional<std::int32_t> ParseInt32(std::string_view text);
// As ParseInt32, and the value must also fit 16 bits.
std::optional<std::int16_t> ParseInt16(std::string_view text);
// Lower-cases every letter, not only ASCII ones.
std::string ToLowerText(std::string_view text);

} // namespace settings
