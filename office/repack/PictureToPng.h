#pragma once

// TIFF and BMP pictures as lossless PNGs: the same pixels (and colour profile, and resolution when
// the file states one) in a fraction of the bytes.

#include "office/repack/Deflate.h"

#include <optional>

namespace office::repack {

// nullopt when the picture is of a kind kept as it is: several pages, an orientation other than the
// default, premultiplied alpha, CMYK/Lab and other colour spaces PNG cannot hold, or damaged data.
std::optional<Bytes> TiffToPng(std::span<const std::uint8_t> tiff);
std::optional<Bytes> BmpToPng(std::span<const std::uint8_t> bmp);

} // namespace office::repack
