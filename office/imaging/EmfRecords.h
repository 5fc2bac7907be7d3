#pragma once

// The EMF record types and raster operations that the metafile reader, the masked-bitmap reader
// and the EMF writer share.

#include <cstdint>

namespace office::imaging::emf {

inline constexpr std::uint32_t kEmrHeader = 1;
inline constexpr std::uint32_t kEmrEof = 14;
inline constexpr std::uint32_t kEmrSetStretchBltMode = 21;
inline constexpr std::uint32_t kEmrBitBlt = 76;
inline constexpr std::uint32_t kEmrStretchBlt = 77;
inline constexpr std::uint32_t kEmrStretchDibits = 81;
inline constexpr std::uint32_t kEmrAlphaBlend = 114;

inline constexpr std::uint32_t kSrcCopy = 0x00CC0020;
inline constexpr std::uint32_t kSrcAnd = 0x008800C6;
inline constexpr std::uint32_t kSrcInvert = 0x00660046;
inline constexpr std::uint32_t kSrcPaint = 0x00EE0086;

} // namespace office::imaging::emf
