#pragma once

// The EMF converter walks records by the sizes they declare (comments, and the EMF+ records inside
// them, by their data sizes) without holding them against the bytes it was given, and reads past the
// end of a metafile that lies about them. Checked before it sees one.

#include <cstdint>
#include <span>

namespace office::imaging::detail {

// Throws ImagingError unless every record up to the end-of-file record lies inside the metafile,
// the header's description inside the header, every comment's data inside its comment and every
// EMF+ record inside its comment's data.
void CheckEmfRecordBounds(std::span<const std::uint8_t> emf);

} // namespace office::imaging::detail
