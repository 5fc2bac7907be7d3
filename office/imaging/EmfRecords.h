#pragma once

// The EMF record types and raster operations that the metafile reader, the masked-bitmap reader
// and the EMF writer share.

#include "office/imaging/Imaging.h"

#include <cstdint>
#include <span>

namespace office::imaging::emf {

// Little-endian fields; one that reaches past the end means the metafile is cut short.
inline std::uint32_t ReadU32(std::span<const std::uint8_t> b, std::size_t at) {
    if (at > b.size() || b.size() - at < 4) {
        throw ImagingError("metafile is truncated");
    }
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
inline std::uint16_t ReadU16(std::span<const std::uint8_t> b, std::size_t at) {
    if (at > b.size() || b.size() - at < 2) {
        throw ImagingError("metafile is truncated");
    }
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

inline constexpr std::uint32_t kEmrHeader = 1;
inline constexpr std::uint32_t kEmrEof = 14;
inline constexpr std::uint32_t kEmrSetStretchBltMode = 21;
inline constexpr std::uint32_t kEmrComment = 70;
inline constexpr std::uint32_t kEmrBitBlt = 76;
inline constexpr std::uint32_t kEmrStretchBlt = 77;
inline constexpr std::uint32_t kEmrStretchDibits = 81;
inline constexpr std::uint32_t kEmrAlphaBlend = 114;

inline constexpr std::uint32_t kSrcCopy = 0x00CC0020;
inline constexpr std::uint32_t kSrcAnd = 0x008800C6;
inline constexpr std::uint32_t kSrcInvert = 0x00660046;
inline constexpr std::uint32_t kSrcPaint = 0x00EE0086;

// EMF+ records ride in comments that start with this signature ("EMF+").
inline constexpr std::uint32_t kEmfPlusSignature = 0x2B464D45;
inline constexpr std::uint16_t kPlusHeader = 0x4001;
inline constexpr std::uint16_t kPlusEndOfFile = 0x4002;
inline constexpr std::uint16_t kPlusObject = 0x4008;
inline constexpr std::uint16_t kPlusDrawImage = 0x401A;
inline constexpr std::uint16_t kPlusSetPageTransform = 0x4030;
// Object record flags: the object continues in the next record; its type; its table index.
inline constexpr std::uint16_t kPlusContinued = 0x8000;
inline constexpr int kPlusObjectTypeShift = 8;
inline constexpr std::uint16_t kPlusObjectTypeMask = 0x7F00;
inline constexpr std::uint16_t kPlusObjectImage = 5;
inline constexpr std::uint16_t kPlusObjectImageAttributes = 8;
inline constexpr std::uint32_t kPlusImageBitmap = 1;
inline constexpr std::uint32_t kPlusBitmapCompressed = 1;

} // namespace office::imaging::emf
