#pragma once

// Reading enhanced and old-style metafiles: their declared size, and rasterising them through SVG.

#include "office/imaging/Imaging.h"

#include <optional>
#include <string>
#include <vips/vips8>

namespace office::imaging::detail {

// The bitmap of an EMF that holds nothing but one bitmap drawn over the whole picture (what
// WrapInEmf writes); empty for any other EMF.
std::optional<Raster> BitmapOnlyEmf(std::span<const std::uint8_t> emf);

// SVG text for a metafile, at the metafile's natural size.
std::string MetafileToSvg(std::span<const std::uint8_t> metafile, PictureKind kind);

// The metafile rasterised to exactly width x height, straight RGBA, transparent where nothing is drawn.
// With a clip, only its top-left clipWidth x clipHeight part is drawn and returned.
vips::VImage RasteriseMetafile(std::span<const std::uint8_t> metafile, PictureKind kind, int width,
                               int height, int clipWidth = 0, int clipHeight = 0);

} // namespace office::imaging::detail
