#pragma once

// Workbooks, documents and presentations embedded in a deck (chart data, pasted sheets, OLE
// packages) are packages of their own, often written at a fast deflate level with stored thumbnails.
// They are re-zipped in the profile of the deck's own writer, each picture inside in its smallest
// lossless form; every other entry keeps its bytes, so the embedding opens and edits as before.

#include "office/package/Package.h"

#include <optional>
#include <span>

namespace office::package::detail {

// The smaller package, or nullopt when the bytes are not a clean, unencrypted package this reader
// takes without doubt (the caller then keeps them byte for byte) or when nothing smaller came out.
std::optional<Bytes> RepackEmbeddedPackage(std::span<const std::uint8_t> zip);

} // namespace office::package::detail
