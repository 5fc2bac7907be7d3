#pragma once

// The WMF reader allocates what a metafile declares (its largest record, a bitmap's palette and
// pixels) before it reads whether the bytes are there. Checked before it sees one.

#include <cstdint>
#include <span>

namespace office::imaging::detail {

// Throws ImagingError unless the largest record the header declares, every record up to the
// end-of-file record, and every device-independent bitmap in them (its header, palette and, when
// uncompressed, its pixels) fit in the metafile and their records.
void CheckWmfRecordBounds(std::span<const std::uint8_t> wmf);

} // namespace office::imaging::detail
