#pragma once

// Embedded OpenType containers as presentations store them: decoding (MicroType Express and XOR
// included) through libeot, and writing an uncompressed container back around a new sfnt.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace office::fonts {

using Bytes = std::vector<std::uint8_t>;

struct EotFont {
    Bytes header;            // the original bytes before FontData, copied verbatim on rewrite
    Bytes sfnt;              // decoded TrueType/OpenType font
    std::uint32_t flags = 0; // EOT Flags
    std::uint16_t fsType = 0;
    std::string familyName; // UTF-8, without the trailing NUL some writers add
    std::string styleName;
};

// Decodes an EOT; nullopt when libeot rejects it or the header is not one we can rewrite.
std::optional<EotFont> ReadEot(const Bytes& eot);

// An uncompressed, unencrypted EOT holding `sfnt` behind `original`'s header: sizes, flags (subset
// set, compression and XOR cleared), checksum adjustment and OS/2 ranges updated from `sfnt`.
Bytes WriteEot(const EotFont& original, const Bytes& sfnt);

// A fresh version 0x00020001 EOT for an sfnt, its fields taken from the font's OS/2, head and name
// tables; for fonts that arrive as plain TrueType.
Bytes BuildEot(const Bytes& sfnt);

// Whether the font's licence lets us ship a subset: not restricted, subsetting and outlines allowed.
bool SubsettingAllowed(std::uint16_t fsType);

} // namespace office::fonts
