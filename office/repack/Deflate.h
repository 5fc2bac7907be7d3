#pragma once

// DEFLATE encoders for the repack: libdeflate's strongest levels, with zopfli for small inputs where
// its extra few percent cost little time.

#include <cstdint>
#include <span>
#include <vector>

namespace office::repack {

using Bytes = std::vector<std::uint8_t>;

// Raw DEFLATE (ZIP method 8) of the data. Level 1-12 (libdeflate's scale; 12 is the strongest).
Bytes DeflateRaw(std::span<const std::uint8_t> data, int level);
// zlib-wrapped DEFLATE, as a PNG's IDAT stream carries it.
Bytes DeflateZlib(std::span<const std::uint8_t> data, int level);
// zopfli's raw or zlib DEFLATE with the given number of iterations (slow: for small inputs only).
Bytes ZopfliRaw(std::span<const std::uint8_t> data, int iterations);
Bytes ZopfliZlib(std::span<const std::uint8_t> data, int iterations);
std::uint32_t Crc32(std::span<const std::uint8_t> data);

} // namespace office::repack
