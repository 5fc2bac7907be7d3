#pragma once

// DEFLATE encoders for the repack: libdeflate's levels up to 12 (near-optimal parsing). zopfli is not
// used: on corpus decks it took seconds per small screenshot for a few percent.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace office::repack {

using Bytes = std::vector<std::uint8_t>;

// Raw DEFLATE (ZIP method 8) of the data. Level 1-12 (libdeflate's scale; 12 is the strongest).
Bytes DeflateRaw(std::span<const std::uint8_t> data, int level);
// zlib-wrapped DEFLATE, as a PNG's IDAT stream carries it.
Bytes DeflateZlib(std::span<const std::uint8_t> data, int level);
// Inflates raw DEFLATE data that must come out at exactly `size` bytes; nullopt otherwise.
std::optional<Bytes> InflateRaw(std::span<const std::uint8_t> data, std::size_t size);
std::uint32_t Crc32(std::span<const std::uint8_t> data);

} // namespace office::repack
