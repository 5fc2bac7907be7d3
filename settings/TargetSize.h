#pragma once

// The size goal as the person writes it: a positive number with KB or MB (1024-based, as the log
// prints sizes), e.g. "500KB", "10MB", "9.5MB"; case and blanks around it do not matter.

#include <cstdint>
#include <optional>
#include <string>

namespace settings {

// Bytes; nothing for anything else (no unit, another unit, zero, a negative or absurd number).
std::optional<std::uint64_t> ParseTargetSize(const std::string& text);

} // namespace settings
