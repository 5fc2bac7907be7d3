#pragma once

// A small, bounds-checked reader for Windows bitmaps (1/4/8-bit palette, 16, 24 and 32-bit),
// since our libvips build reads them only through an optional module.

#include "office/imaging/Imaging.h"

namespace office::imaging::detail {

PixelSize MeasureBmp(std::span<const std::uint8_t> bytes);
Raster DecodeBmp(std::span<const std::uint8_t> bytes);

// The same for a bare device-independent bitmap: BITMAPINFO followed by the bits, as metafiles
// and the clipboard hold them. Bits start at bitsOffset within the span.
Raster DecodeDib(std::span<const std::uint8_t> dib, std::size_t infoOffset, std::size_t bitsOffset,
                 bool premultipliedAlpha);

} // namespace office::imaging::detail
