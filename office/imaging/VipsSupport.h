#pragma once

// Shared plumbing between our picture code and libvips: one-time start-up, and moving pixels
// between Raster and VImage.

#include "office/imaging/Imaging.h"

#include <string_view>
#include <vips/vips8>

namespace office::imaging::detail {

// Starts libvips once per process (thread-safe) with a small operation cache: the engine handles
// one picture at a time, so a large cache only holds memory.
void EnsureVips();

// 8-bit sRGB, whatever the source interpretation (grey, CMYK, 16-bit, palette...): three bands,
// or four when the source has alpha.
vips::VImage ToSrgb(vips::VImage image);
// The same, always with an alpha band.
vips::VImage ToSrgbAlpha(vips::VImage image);

Raster ToRaster(const vips::VImage& rgba);
// The image's pixels, band-interleaved, as libvips computes them.
std::vector<std::uint8_t> PixelBytes(const vips::VImage& image);
// An image owning a copy of the raster's pixels.
vips::VImage FromRaster(const Raster& raster);
// An image reading the raster's pixels in place: only for work finished while the raster lives.
vips::VImage ViewOfRaster(const Raster& raster);

// Mirrors the raster in place.
void FlipRaster(Raster& raster, bool horizontal, bool vertical);

void CheckRaster(const Raster& raster, const char* what);

// The picture decoded, converted to sRGB, cropped and resampled to exactly the given size, not yet
// evaluated: libvips computes only what the caller then reads. Three bands, or four with alpha.
// keepCmyk: a CMYK picture stays CMYK unless the crop pads it. A colour change applies to the
// decoded pixels, before anything blends them.
vips::VImage DisplayedPicture(std::span<const std::uint8_t> bytes, const CropRect& crop, int pixelWidth,
                              int pixelHeight, bool keepCmyk = false,
                              const std::optional<ColourChange>& change = {});
// RenderShownPixelsInPlace, not yet evaluated; keepCmyk and change as above.
vips::VImage ShownPixelsInPlace(std::span<const std::uint8_t> bytes, const CropRect& crop, bool keepCmyk,
                                const std::optional<ColourChange>& change = {});

// JPEG of an sRGB image of three or four bands; a fourth (alpha) band is flattened onto black.
std::vector<std::uint8_t> EncodeJpegImage(vips::VImage image, std::span<const std::uint8_t> iccProfile,
                                          bool again = false);

} // namespace office::imaging::detail
