#pragma once

// Lossless JPEG repack: the DCT coefficients are written again with optimised Huffman tables, as a
// progressive or a baseline file, whichever is smaller. Every APPn and COM marker is kept in order, so
// ICC profiles, EXIF orientation and Adobe colour transforms survive; decoded pixels do not change.

#include "office/repack/Deflate.h"

#include <optional>

namespace office::repack {

// The smaller re-encoding, or nullopt when the input is not a JPEG the library reads, when no
// re-encoding is smaller, or when the re-encoded coefficients differ from the original's.
std::optional<Bytes> RepackJpeg(std::span<const std::uint8_t> jpeg);

} // namespace office::repack
