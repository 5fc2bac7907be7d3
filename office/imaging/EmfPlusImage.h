#pragma once

// The picture an EMF+ player draws from a dual metafile that holds one compressed image: EMF+
// players (the office suites) draw it instead of the GDI records.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace office::imaging::detail {

// The encoded bytes (PNG, JPEG...) of the metafile's first EMF+ image object, reassembled when it
// spans several records; nothing when there is none or its records do not add up.
std::optional<std::vector<std::uint8_t>> EmfPlusImageBytes(std::span<const std::uint8_t> emf);

} // namespace office::imaging::detail
